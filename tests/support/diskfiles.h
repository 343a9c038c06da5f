// Real files in temporary folders for the tests of whole-file writes: contents, modes, owners,
// the entries a folder holds (hidden ones included, so a left-over temporary file shows), a
// write run in a child process, also as another user, and a rewrite that hides its own time.
#pragma once

#include <QDir>
#include <QStringList>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace support {

inline void writeRaw(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

inline std::string readRaw(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline struct stat statOf(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st;
}

inline mode_t modeOf(const std::string& path) { return statOf(path).st_mode & 07777; }

inline QStringList entriesOf(const QString& folder) {
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// The user id of "nobody", which owns nothing the tests make.
inline constexpr uid_t kOtherUser = 65534;

// Runs `body` in a child process, as kOtherUser when `asOtherUser` (the caller must be root),
// and gives its exit code, or -1 when it did not exit normally. A child keeps a failure (or
// a changed id) away from the test program itself.
inline int exitCodeOfChild(const std::function<int()>& body, bool asOtherUser = false) {
    const pid_t child = ::fork();
    if (child < 0) return -1;
    if (child == 0) {
        if (asOtherUser && (::setgroups(0, nullptr) != 0 || ::setgid(kOtherUser) != 0 ||
                            ::setuid(kOtherUser) != 0))
            ::_exit(99);
        int code = 98;
        try {
            code = body();
        } catch (...) {
        }
        ::_exit(code);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// Rewrites the file at `path` in place (the same inode) with `content` and puts its access and
// modification times back, as `touch -r` after an edit does: only the status-change time, which
// no program can set, still tells that it changed. Waits first until the clock that stamps files
// has passed the file's present status-change time, so the rewrite cannot share it. True when
// device, inode, size and modification time came out as before (`content` of the old size).
inline bool rewriteKeepingTimes(const std::string& path, const std::string& content) {
    const struct stat before = statOf(path);
    for (;;) {
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
        if (now.tv_sec > before.st_ctim.tv_sec ||
            (now.tv_sec == before.st_ctim.tv_sec && now.tv_nsec > before.st_ctim.tv_nsec))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) return false;
    const bool written =
        ::write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
    ::close(fd);
    const timespec times[2] = {before.st_atim, before.st_mtim};
    if (!written || ::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) return false;
    const struct stat after = statOf(path);
    return after.st_dev == before.st_dev && after.st_ino == before.st_ino &&
           after.st_size == before.st_size && after.st_mtim.tv_sec == before.st_mtim.tv_sec &&
           after.st_mtim.tv_nsec == before.st_mtim.tv_nsec;
}

}  // namespace support
