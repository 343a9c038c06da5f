// Files that no reader should trust, put where a frame or settings file is expected: a FIFO
// without a writer (an open that waits would hang the test), a link to a device that never ends,
// a sparse file of gigabytes that takes no disk space.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <string>

namespace support {

enum class Hostile { Fifo, LinkToDevZero, Sparse2G, SparseOverLimit, SparseAtLimit };

inline constexpr int64_t kHostileLimit = int64_t{64} << 20;

inline int64_t hostileSize(Hostile kind) {
    switch (kind) {
        case Hostile::Sparse2G:
            return int64_t{2} << 30;
        case Hostile::SparseOverLimit:
            return kHostileLimit + 1;
        case Hostile::SparseAtLimit:
            return kHostileLimit;
        default:
            return -1;
    }
}

// Makes `path` the hostile kind of file; false when the system refused.
inline bool makeHostile(const std::string& path, Hostile kind) {
    ::unlink(path.c_str());
    switch (kind) {
        case Hostile::Fifo:
            return ::mkfifo(path.c_str(), 0644) == 0;
        case Hostile::LinkToDevZero:
            return ::symlink("/dev/zero", path.c_str()) == 0;
        default: {
            const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            if (fd < 0) return false;
            const bool sized = ::ftruncate(fd, static_cast<off_t>(hostileSize(kind))) == 0;
            ::close(fd);
            return sized;
        }
    }
}

}  // namespace support
