// Keeping what libraries write straight to the standard error stream (file descriptor 2, below
// any message handler) off the terminal for a while, and handing it over as text instead.
#pragma once

#include <string>

namespace dotreel {

class QuietStderr {
public:
    // From here on, whatever is written to descriptor 2 goes to a temporary file. When that
    // cannot be arranged, nothing changes.
    QuietStderr();
    // Restores descriptor 2; what was caught is dropped unless taken.
    ~QuietStderr();
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

    // Everything written to descriptor 2 so far (at most the first 64 KiB).
    std::string caught() const;

private:
    int saved_ = -1;
    int file_ = -1;
};

}  // namespace dotreel
