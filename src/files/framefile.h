// Reading a frame file from its contents in memory: lines split by the one line rule, lines
// 0..131071 decoded by the hex codec straight from the buffer, and, for a checker, what it met on
// the way. The editor, the tool and `check` all read frame files through this.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/frame.h"
#include "files/lineends.h"

namespace dotreel {

// The decoded lines 0..131071 of a frame file, before they go anywhere.
using FrameBytes = std::array<uint8_t, kStoreBytes>;

// Bytes 0..131071 of `target` from a complete read; the last byte of the frame memory, which
// no file holds, keeps its value.
void storeFrameBytes(const FrameBytes& bytes, FrameMemory& target);

class FrameFileReader {
public:
    // `content` is the whole file and must outlive the reader; `path` names the file in the
    // end-of-file error. Decoded lines go to `bytes`. `lineCount` is how many lines make a
    // complete file: always 131072 for real files; fewer (at most 131072) let the fuzz target
    // reach every end-of-file case with short inputs.
    FrameFileReader(std::string_view content, std::string path, FrameBytes& bytes,
                    size_t lineCount = kStoreBytes);

    // Reads and decodes the lines not read yet, up to line 131071. At the first missing line
    // throws PlatformError(EndOfFile); the lines before it stay read, so a further call tries
    // the missing line again. Lines after 131071 are never looked at.
    void readLines();

    size_t linesRead() const { return lines_; }
    bool complete() const { return lines_ == lineCount_; }

private:
    std::string_view content_;
    std::string path_;
    FrameBytes& bytes_;
    size_t lineCount_;
    size_t position_ = 0;
    size_t lines_ = 0;
};

// A frame file's line as a checker lists it: its number and the line as read.
struct ListedLine {
    long number;  // 1-based
    std::string_view text;
};

inline constexpr size_t kListedLines = 10;

// What a checker wants to know beyond the bytes.
struct FrameFileFindings {
    long lineCount = 0;  // every line of the file, also those after the 131072nd
    LineEndCounts ends;
    // Of lines 1..131072: those that are not exactly two hexadecimal digits, the first few of
    // them listed.
    long badLineCount = 0;
    std::vector<ListedLine> firstBadLines;
    // Of lines 1..131072: two hexadecimal digits with a lower-case one among them.
    long lowerCaseCount = 0;
    long firstLowerCaseLine = 0;
};

// Reads the whole of `content` once, as FrameFileReader does, and reports what it met: lines
// 0..131071 decoded into `bytes` (those beyond a short file's end are left as they were), every
// line counted, every line end tallied. The listed texts view `content`. `lineCount` as for
// FrameFileReader: the lines decoded and checked, the rest only counted.
FrameFileFindings inspectFrameFile(std::string_view content, FrameBytes& bytes,
                                   size_t lineCount = kStoreBytes);

}  // namespace dotreel
