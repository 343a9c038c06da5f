#include "platform/fileidentity.h"

#include <sys/stat.h>

namespace dotreel {

FileIdentity fileIdentity(const struct stat& st) {
    FileIdentity id;
    id.exists = true;
    id.device = static_cast<uint64_t>(st.st_dev);
    id.inode = static_cast<uint64_t>(st.st_ino);
    id.size = static_cast<int64_t>(st.st_size);
    id.modifiedSeconds = static_cast<int64_t>(st.st_mtim.tv_sec);
    id.modifiedNanoseconds = static_cast<int64_t>(st.st_mtim.tv_nsec);
    id.changedSeconds = static_cast<int64_t>(st.st_ctim.tv_sec);
    id.changedNanoseconds = static_cast<int64_t>(st.st_ctim.tv_nsec);
    return id;
}

FileIdentity fileIdentity(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};
    return fileIdentity(st);
}

}  // namespace dotreel
