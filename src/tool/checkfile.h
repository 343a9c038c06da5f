// What `check` finds in a frame file or in "animation.txt": the file read once through the
// editor's own readers, its errors (the editor cannot load it, or reads it differently from what
// it says) and its warnings (it differs from what the editor writes, but reads the same).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "files/framefile.h"
#include "files/lineends.h"
#include "files/settingsfile.h"

namespace dotreel::tool {

inline constexpr size_t kListedBadLines = kListedLines;
// A line is shown cut to its first bytes: a binary file's "line" may be megabytes long.
inline constexpr size_t kShownLineBytes = 40;

struct BadLine {
    long number;       // 1-based
    std::string text;  // the line as read, cut to kShownLineBytes
    size_t length;     // the whole line's length in bytes
};

struct CheckReport {
    std::string path;
    bool settings = false;  // checked as "animation.txt"
    long lineCount = 0;     // lines as the editor's reader counts them
    LineEndCounts ends;
    long badLineCount = 0;               // lines that are not exactly two hexadecimal digits
    std::vector<BadLine> firstBadLines;  // the first few of them
    std::vector<std::string> errors;     // sentences; empty when the editor reads it as meant
    std::vector<std::string> warnings;
};

// Reads `path` and reports. A file that cannot be read at all yields one error naming why.
// Files named "animation.txt" (any letter case) are checked as settings, all others as frame
// files.
CheckReport checkFile(const std::string& path);

// The report as the command prints it: a first line "PATH: ok ..." or "PATH: N errors", then
// one indented line per error and per warning.
std::string formatReport(const CheckReport& report);

// A line shown safely in a report: control and non-ASCII bytes as \xNN, in double quotes; a
// line longer than kShownLineBytes cut there, with its whole length.
std::string quoteLine(std::string_view text);

// What is wrong with a settings line or box text, as an English phrase: "\"abc\" is not a
// number", "0 is outside 1..1000"; empty for none.
std::string describeSettingsProblem(const SettingsVerdict& verdict, std::string_view text);

}  // namespace dotreel::tool
