// Failures of the run-time services (files, number conversion, ranges), carried as one
// exception type so that a handler's step runner can report any of them the same way.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace dotreel {

enum class ErrorKind {
    FileNotFound,
    PathNotFound,
    EndOfFile,
    PermissionDenied,
    DiskFull,
    IoError,
    TypeMismatch,
    Overflow,
    OutOfRange,
    NotAFile,  // a device, a FIFO or a socket where a file was expected
    TooLarge,  // far larger than any file of the program can be
    OutOfMemory,
};

// The description is shown to the user on the second line of the step-failure dialog.
class PlatformError : public std::runtime_error {
public:
    PlatformError(ErrorKind kind, const std::string& description, int64_t size = -1)
        : std::runtime_error(description), kind_(kind), size_(size) {}
    ErrorKind kind() const { return kind_; }
    std::string description() const { return what(); }
    // For TooLarge: the file's size in bytes, so that every language can name it.
    int64_t size() const { return size_; }

private:
    ErrorKind kind_;
    int64_t size_;
};

// Builds the error for a failed file operation from errno, naming the file's full path.
PlatformError fileError(int errnoValue, const std::string& path);
PlatformError endOfFileError(const std::string& path);
PlatformError typeMismatchError();
PlatformError overflowError();
PlatformError outOfRangeError();
PlatformError notAFileError(const std::string& path);
PlatformError tooLargeError(const std::string& path, int64_t size, int64_t limit);
PlatformError outOfMemoryError();

}  // namespace dotreel
