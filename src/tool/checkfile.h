// What `check` finds in a frame file or in "animation.txt": the lines as the editor reads them,
// the line ends, and every line the editor would read differently from what it says.
#pragma once

#include <string>
#include <vector>

namespace dotreel::tool {

struct LineEnds {
    long crlf = 0;          // CR LF, as the editor writes
    long cr = 0;            // a lone CR
    long lf = 0;            // a lone LF
    bool lastOpen = false;  // the last line has no line end at all
    long firstOddLine = 0;  // 1-based number of the first line not ended by CR LF; 0 for none
};

struct BadLine {
    long number;       // 1-based
    std::string text;  // the line as read, without its end
};

struct CheckReport {
    std::string path;
    bool settings = false;  // checked as "animation.txt"
    long lineCount = 0;     // lines as the editor's reader counts them
    LineEnds ends;
    long badLineCount = 0;               // lines that are not exactly two hexadecimal digits
    std::vector<BadLine> firstBadLines;  // the first few of them
    std::vector<std::string> problems;   // sentences; empty when the file is clean
};

inline constexpr size_t kListedBadLines = 10;

// Reads `path` and reports. A file that cannot be read at all yields one problem naming why.
// Files named "animation.txt" (any letter case) are checked as settings, all others as frame
// files.
CheckReport checkFile(const std::string& path);

// The report as the command prints it: a first line "PATH: ok ..." or "PATH: N problems", then
// one indented line per problem.
std::string formatReport(const CheckReport& report);

// A line shown safely in a report: control and non-ASCII bytes as \xNN, in double quotes.
std::string quoteLine(const std::string& text);

}  // namespace dotreel::tool
