// Real files in temporary folders for the tests of whole-file writes: contents, modes, owners,
// the entries a folder holds (hidden ones included, so a left-over temporary file shows), and a
// write run in a child process, also as another user.
#pragma once

#include <QDir>
#include <QStringList>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

}  // namespace support
