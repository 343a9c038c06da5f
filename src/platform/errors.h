// Failures of the run-time services (files, number conversion, ranges), carried as one
// exception type so that a handler's step runner can report any of them the same way.
#pragma once

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
};

// The description is shown to the user on the second line of the step-failure dialog.
class PlatformError : public std::runtime_error {
public:
    PlatformError(ErrorKind kind, const std::string& description)
        : std::runtime_error(description), kind_(kind) {}
    ErrorKind kind() const { return kind_; }
    std::string description() const { return what(); }

private:
    ErrorKind kind_;
};

// Builds the error for a failed file operation from errno, naming the file's full path.
PlatformError fileError(int errnoValue, const std::string& path);
PlatformError endOfFileError(const std::string& path);
PlatformError typeMismatchError();
PlatformError overflowError();
PlatformError outOfRangeError();

}  // namespace dotreel
