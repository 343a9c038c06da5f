// Whole-file replacement through a temporary file and a rename.
#include "platform/safewrite.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <random>
#include <system_error>

#include "platform/errors.h"

namespace dotreel {
namespace {

constexpr int kMaxLinkHops = 40;  // as the kernel's own limit for a path
constexpr size_t kSuffixLength = 6;
constexpr std::string_view kSuffixLetters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

bool isSuffixLetter(char c) { return kSuffixLetters.find(c) != std::string_view::npos; }

// The file that `path` finally names: links are followed one by one, so that a link to a file
// that does not exist yet gives the path where it is to be created.
std::string finalTarget(const std::string& path) {
    std::filesystem::path current(path);
    for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current.string();
        std::string link(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        ssize_t n = 0;
        for (;;) {
            n = ::readlink(current.c_str(), link.data(), link.size());
            if (n < 0) throw fileError(errno, path);
            if (static_cast<size_t>(n) < link.size()) break;
            link.resize(link.size() * 2);  // the link changed since lstat
        }
        link.resize(static_cast<size_t>(n));
        const std::filesystem::path next(link);
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    throw fileError(ELOOP, path);
}

PlatformError notARegularFile(const std::string& path) {
    return PlatformError(ErrorKind::PermissionDenied,
                         "通常のファイルではありません。(" + path + ")");
}

// A file left by a write that was killed or lost its power before the rename: nobody else
// makes names of this shape, and only regular files are removed.
void removeStaleTemporaries(const std::filesystem::path& folder, const std::string& name) {
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        if (!isTemporaryNameFor(it->path().filename().string(), name)) continue;
        struct stat st {};
        if (::lstat(it->path().c_str(), &st) == 0 && S_ISREG(st.st_mode))
            ::unlink(it->path().c_str());
    }
}

// Creates a new temporary file "<prefix>XXXXXX" for writing. Created with 0666 so that the
// umask decides a new file's permissions, as for any file the user makes.
int createTemporary(const std::string& prefix, std::string& tmpPath) {
    static std::mt19937_64 random{std::random_device{}()};
    std::uniform_int_distribution<size_t> pick(0, kSuffixLetters.size() - 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        tmpPath = prefix;
        for (size_t i = 0; i < kSuffixLength; ++i) tmpPath += kSuffixLetters[pick(random)];
        const int fd = ::open(tmpPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

// Gives the temporary file the replaced file's owner, group and permission bits. Another
// user's ids cannot be given without privileges: the file then becomes ours, which is what
// any editor's save does. The mode is set last, as a change of owner clears set-id bits.
int keepOwnerAndMode(int fd, const struct stat& old) {
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
        if (errno != EPERM && errno != EINVAL) return errno;
        if (::fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0 && errno != EPERM &&
            errno != EINVAL)
            return errno;
    }
    return ::fchmod(fd, old.st_mode & 07777) == 0 ? 0 : errno;
}

int writeAll(int fd, std::string_view data) {
    size_t written = 0;
    while (written < data.size()) {
        const ssize_t n = ::write(fd, data.data() + written, data.size() - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        written += static_cast<size_t>(n);
    }
    return 0;
}

}  // namespace

bool isTemporaryNameFor(std::string_view entry, std::string_view fileName) {
    if (entry.size() != fileName.size() + 2 + kSuffixLength) return false;
    if (entry[0] != '.' || entry.substr(1, fileName.size()) != fileName ||
        entry[1 + fileName.size()] != '.')
        return false;
    for (const char c : entry.substr(entry.size() - kSuffixLength))
        if (!isSuffixLetter(c)) return false;
    return true;
}

PathKind pathKind(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return PathKind::Missing;
    if (S_ISREG(st.st_mode)) return PathKind::RegularFile;
    return S_ISDIR(st.st_mode) ? PathKind::Folder : PathKind::Other;
}

FileIdentity writeFileAtomically(const std::string& path, std::string_view data, bool flush) {
    const std::filesystem::path target(finalTarget(path));
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (!exists && errno != ENOENT) throw fileError(errno, path);
    if (exists) {
        if (S_ISDIR(old.st_mode)) throw fileError(EISDIR, path);
        if (!S_ISREG(old.st_mode)) throw notARegularFile(path);
        // The effective ids decide, as for an open. Root may write any file, so a file without
        // a single write bit, which the user made read-only on purpose, is refused by its mode.
        if ((old.st_mode & 0222) == 0 ||
            ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
            throw fileError(EACCES, path);
    }

    const std::filesystem::path folder =
        target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path();
    // Opened before anything is written, so a folder that cannot be synced fails the write
    // while the old file is still in place.
    int dirfd = -1;
    if (flush) {
        dirfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dirfd < 0) throw fileError(errno, path);
    }
    auto closeFolder = [&] {
        if (dirfd >= 0) ::close(dirfd);
        dirfd = -1;
    };

    const std::string name = target.filename().string();
    removeStaleTemporaries(folder, name);
    // Built by appending: GCC 12 at -O3 warns falsely (-Wrestrict) about "." + std::string.
    std::string hiddenName = ".";
    hiddenName += name;
    hiddenName += ".";
    std::string tmpPath;
    const int fd = createTemporary((target.parent_path() / hiddenName).string(), tmpPath);
    if (fd < 0) {
        const int err = errno;
        closeFolder();
        throw fileError(err, path);
    }
    auto fail = [&](int err, bool open) {
        if (open) ::close(fd);
        ::unlink(tmpPath.c_str());
        closeFolder();
        return fileError(err, path);
    };

    if (exists) {
        if (const int err = keepOwnerAndMode(fd, old)) throw fail(err, true);
    }
    if (const int err = writeAll(fd, data)) throw fail(err, true);
    if (flush && ::fsync(fd) != 0) throw fail(errno, true);
    struct stat written {};
    if (::fstat(fd, &written) != 0) throw fail(errno, true);
    if (::close(fd) != 0) throw fail(errno, false);
    if (::rename(tmpPath.c_str(), target.c_str()) != 0) throw fail(errno, false);
    // The rename moves the file's status-change time on, so the identity is taken again from
    // the name, as long as it still holds the file written; should another program have put
    // its own there already, the identity from before the rename tells a later look so.
    struct stat placed {};
    if (::stat(target.c_str(), &placed) == 0 && placed.st_dev == written.st_dev &&
        placed.st_ino == written.st_ino)
        written = placed;
    if (flush) {
        // The rename reaches the disk only with the folder's entry; until then a power loss
        // can bring back the old file, so a failure here is reported, not taken as saved.
        // EINVAL: the file system has no sync for folders, and nothing more can be done.
        const int err = ::fsync(dirfd) == 0 ? 0 : errno;
        closeFolder();
        if (err != 0 && err != EINVAL)
            throw FolderSyncError(fileError(err, path), fileIdentity(written));
    }
    return fileIdentity(written);
}

}  // namespace dotreel
