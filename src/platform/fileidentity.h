// What identifies a file as it stands: its device and inode, size, modification time and
// status-change time. Two looks at a path that give the same identity saw the same, unchanged
// file; a file replaced by a rename, or rewritten in place, gives another. The status-change
// time is what tells a rewrite whose modification time was put back (`touch -r`): no program
// can set it, every write, rename, chmod or new link moves it on.
#pragma once

#include <cstdint>
#include <string>

struct stat;

namespace dotreel {

struct FileIdentity {
    bool exists = false;  // false: nothing was there (every other field 0)
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t modifiedSeconds = 0;
    int64_t modifiedNanoseconds = 0;
    int64_t changedSeconds = 0;  // st_ctim
    int64_t changedNanoseconds = 0;

    bool operator==(const FileIdentity&) const = default;
};

// The identity of what `path` names, symbolic links followed; `exists` false when it cannot be
// examined.
FileIdentity fileIdentity(const std::string& path);

// The identity from a stat record already taken.
FileIdentity fileIdentity(const struct stat& st);

}  // namespace dotreel
