// The line ends of a text file, counted the way a checker reports them.
#pragma once

#include "platform/textfile.h"

namespace dotreel {

struct LineEndCounts {
    long crlf = 0;          // CR LF, as the program writes
    long cr = 0;            // a lone CR
    long lf = 0;            // a lone LF
    bool lastOpen = false;  // the last line has no end at all
    long firstOddLine = 0;  // 1-based number of the first line not ended by CR LF; 0 for none

    void add(LineEnd end, long lineNumber) {
        switch (end) {
            case LineEnd::CrLf:
                ++crlf;
                return;
            case LineEnd::Cr:
                ++cr;
                break;
            case LineEnd::Lf:
                ++lf;
                break;
            case LineEnd::None:
                lastOpen = true;
                break;
        }
        if (firstOddLine == 0) firstOddLine = lineNumber;
    }
};

}  // namespace dotreel
