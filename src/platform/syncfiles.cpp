#include "platform/syncfiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <set>

#include "platform/errors.h"

namespace dotreel {
namespace {

void syncOne(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) throw fileError(errno, path);
    if (::fsync(fd) != 0) {
        const int err = errno;
        ::close(fd);
        throw fileError(err, path);
    }
    ::close(fd);
}

}  // namespace

void syncFiles(const std::vector<std::string>& paths) {
    std::set<std::string> folders;
    for (const auto& path : paths) {
        syncOne(path, O_RDONLY);
        const std::string folder = std::filesystem::path(path).parent_path().string();
        folders.insert(folder.empty() ? std::string(".") : folder);
    }
    // A rename reaches the disk only with its folder's entry.
    for (const auto& folder : folders) syncOne(folder, O_RDONLY | O_DIRECTORY);
}

}  // namespace dotreel
