// Sequential text files as the handlers use them: numbered input files read line by line.
// Whole-file writes live in safewrite.h, included here for the callers that use both.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "platform/fileidentity.h"
#include "platform/safewrite.h"

namespace dotreel {

// How a line of a text file ended.
enum class LineEnd : uint8_t { CrLf, Cr, Lf, None };

struct SplitLine {
    std::string_view text;  // without its end
    LineEnd end;
    size_t next;  // where the next line starts
};

// The line that starts at `pos` (below content.size()): it ends at CR LF, at a lone CR or at a
// lone LF; the last line needs no end. The one line rule of every reader of the program's files.
inline SplitLine splitLine(std::string_view content, size_t pos) {
    const size_t size = content.size();
    size_t end = pos;
    while (end < size && content[end] != '\r' && content[end] != '\n') ++end;
    const std::string_view text = content.substr(pos, end - pos);
    if (end == size) return {text, LineEnd::None, size};
    if (content[end] == '\n') return {text, LineEnd::Lf, end + 1};
    if (end + 1 < size && content[end + 1] == '\n') return {text, LineEnd::CrLf, end + 2};
    return {text, LineEnd::Cr, end + 1};
}

// The largest input file read: a frame file is half a megabyte, so anything near this is no file
// of the program, and reading it would only cost memory and time.
inline constexpr int64_t kLargestInputFile = int64_t{64} << 20;

// Open input files by number, as the handlers keep them in intFileNo.
class FileTable {
public:
    // The lowest file number not in use (1, 2, ...).
    int16_t freeFile() const;

    // Opens a file for sequential input. Throws PlatformError when it is missing, a folder on
    // its path is missing, or it cannot be read; when it is no regular file (NotAFile, without
    // waiting on a FIFO) or larger than kLargestInputFile (TooLarge, before reading a byte). The
    // whole file is read here, so later reads only walk through memory.
    void openForInput(int16_t fileNo, const std::string& path);

    // Reads the next line into `line`, without its line end. A line ends at CR, at CR LF or at
    // a lone LF; the last line needs no line end. Throws PlatformError(EndOfFile) when no line
    // is left.
    void lineInput(int16_t fileNo, std::string& line);
    // The same read without a copy: `line` views the file's contents and stays valid until the
    // file is closed.
    void lineInput(int16_t fileNo, std::string_view& line);

    // The whole contents of an open file, as read when it was opened; valid until it is closed.
    // Throws PlatformError when the number is not open.
    std::string_view contents(int16_t fileNo);

    // What the file was when it was opened (before its contents were read). Throws
    // PlatformError when the number is not open.
    FileIdentity identity(int16_t fileNo);

    void close(int16_t fileNo);
    bool isOpen(int16_t fileNo) const { return files_.count(fileNo) != 0; }
    size_t openCount() const { return files_.size(); }

private:
    struct InputFile {
        std::string path;
        std::string content;
        size_t position = 0;
        FileIdentity identity;
    };
    InputFile& file(int16_t fileNo);
    std::map<int16_t, InputFile> files_;
    // The file found last: a frame file is 131072 reads of one number in a row. A copied or
    // moved table starts without it, as it would point into the other table.
    struct LastFile {
        int16_t fileNo = 0;
        InputFile* file = nullptr;
        LastFile() = default;
        LastFile(const LastFile&) {}
        LastFile& operator=(const LastFile& other) {
            if (this != &other) {
                fileNo = 0;
                file = nullptr;
            }
            return *this;
        }
    };
    LastFile last_;
};

// The path of `name` in `folder`, the name matched without regard to letter case ("data.txt"
// finds "Data.txt"); when several names match, every spelling gives the byte-wise smallest of
// them. Without a match, `folder` + `name`. `folder` ends in "/".
std::string resolveFileName(const std::string& folder, const std::string& name);

}  // namespace dotreel
