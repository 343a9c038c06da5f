// Whole-file replacement: the new content goes into a temporary file beside the old one and is
// renamed over it, so the file is always either the old one or the new one, never a mix. The
// replacement keeps what the user set on the file: its permissions, owner and group, and a
// symbolic link stays a link to the file it names.
#pragma once

#include <string>
#include <string_view>

#include "platform/errors.h"
#include "platform/fileidentity.h"

namespace dotreel {

// A write whose new file is in place under its name, but whose folder could not be synced, so
// that a power cut may still bring back the old file. Carries the identity of the file put there.
class FolderSyncError : public PlatformError {
public:
    FolderSyncError(const PlatformError& error, const FileIdentity& written)
        : PlatformError(error), written_(written) {}
    const FileIdentity& written() const { return written_; }

private:
    FileIdentity written_;
};

// Writes `data` as the whole content of `path`: into a temporary file in the folder of the file
// replaced (the file a symbolic link names, the link kept), flushed to disk together with the
// folder (unless `flush` is false), then renamed over the old file. A replaced file keeps its
// permission bits, and its owner and group where this process may set them; a new file gets
// the permissions the umask gives. Temporary files that an interrupted write of the same file
// left behind are removed first. A file this user may not write, a file without any write
// permission (also for root), and anything that is not a regular file are refused. On any
// failure the temporary file is removed, the old file is left exactly as it was, and
// PlatformError is thrown; a failure to sync the folder comes after the rename and throws
// FolderSyncError, the new file then in place. Returns the identity of
// the new file as it stands under its name once renamed, so that a later change by anyone shows.
FileIdentity writeFileAtomically(const std::string& path, std::string_view data, bool flush = true);

// What a path names, symbolic links followed, found without opening it: opening a FIFO would
// wait for the other end. A path that cannot be examined counts as missing.
enum class PathKind { Missing, RegularFile, Folder, Other };
PathKind pathKind(const std::string& path);

// True for the temporary names of writes to `fileName`: "." + fileName + "." + six letters or
// digits, the shape writeFileAtomically gives them.
bool isTemporaryNameFor(std::string_view entry, std::string_view fileName);

}  // namespace dotreel
