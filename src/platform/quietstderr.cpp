#include "platform/quietstderr.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace dotreel {

QuietStderr::QuietStderr() {
    std::fflush(stderr);
    char name[] = "/tmp/dotreel-stderr-XXXXXX";
    file_ = ::mkstemp(name);
    if (file_ < 0) return;
    ::unlink(name);
    saved_ = ::dup(STDERR_FILENO);
    if (saved_ < 0 || ::dup2(file_, STDERR_FILENO) < 0) {
        if (saved_ >= 0) ::close(saved_);
        ::close(file_);
        saved_ = file_ = -1;
    }
}

QuietStderr::~QuietStderr() {
    if (saved_ < 0) return;
    std::fflush(stderr);
    ::dup2(saved_, STDERR_FILENO);
    ::close(saved_);
    ::close(file_);
}

std::string QuietStderr::caught() const {
    if (file_ < 0) return {};
    std::fflush(stderr);
    std::string text(65536, '\0');
    const ssize_t n = ::pread(file_, text.data(), text.size(), 0);
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return text;
}

}  // namespace dotreel
