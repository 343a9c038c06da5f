#include "tool/checkfile.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>

#include "core/frame.h"
#include "files/hexcodec.h"
#include "platform/errors.h"
#include "platform/number.h"
#include "platform/textfile.h"
#include "tool/store.h"

namespace dotreel::tool {
namespace {

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The line ends, walked by the same rule as the editor's reader: a line ends at CR LF, at a lone
// CR or at a lone LF; a last line without an end still counts.
LineEnds scanLineEnds(const std::string& content) {
    LineEnds ends;
    long line = 0;
    size_t pos = 0;
    while (pos < content.size()) {
        ++line;
        size_t end = content.find_first_of("\r\n", pos);
        bool usual = false;
        if (end == std::string::npos) {
            ends.lastOpen = true;
            pos = content.size();
        } else if (content[end] == '\r' && end + 1 < content.size() && content[end + 1] == '\n') {
            ++ends.crlf;
            usual = true;
            pos = end + 2;
        } else {
            ++(content[end] == '\r' ? ends.cr : ends.lf);
            pos = end + 1;
        }
        if (!usual && ends.firstOddLine == 0) ends.firstOddLine = line;
    }
    return ends;
}

std::string plural(long n, const std::string& one, const std::string& many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

void reportLineEnds(CheckReport& r) {
    const LineEnds& e = r.ends;
    if (e.firstOddLine == 0) return;
    std::string text = "line ends: " + std::to_string(e.crlf) + " CR LF";
    if (e.lf != 0) text += ", " + std::to_string(e.lf) + " lone LF";
    if (e.cr != 0) text += ", " + std::to_string(e.cr) + " lone CR";
    if (e.lastOpen) text += ", the last line has none";
    text += " (first at line " + std::to_string(e.firstOddLine) +
            "); the editor ends every line with CR LF";
    r.problems.push_back(text);
}

void checkFrameLines(CheckReport& r, const std::vector<std::string>& lines) {
    const long needed = kStoreBytes;
    if (r.lineCount == 0) {
        r.problems.push_back("the file is empty; a frame file has " + std::to_string(needed) +
                             " lines");
    } else if (r.lineCount < needed) {
        r.problems.push_back(plural(r.lineCount, "line", "lines") + "; a frame file needs " +
                             std::to_string(needed) + ", so the editor cannot load it");
    } else if (r.lineCount > needed) {
        r.problems.push_back(plural(r.lineCount, "line", "lines") +
                             "; the editor reads the first " + std::to_string(needed) +
                             " and ignores the other " + std::to_string(r.lineCount - needed));
    }
    const size_t checked = std::min(lines.size(), static_cast<size_t>(needed));
    for (size_t k = 0; k < checked; ++k) {
        const std::string& t = lines[k];
        if (t.size() == 2 && isHexDigit(t[0]) && isHexDigit(t[1])) continue;
        ++r.badLineCount;
        if (r.firstBadLines.size() < kListedBadLines)
            r.firstBadLines.push_back({static_cast<long>(k) + 1, t});
    }
    if (r.badLineCount != 0) {
        std::string text = plural(r.badLineCount, "line is", "lines are") +
                           " not two hexadecimal digits (the editor reads them as shown):";
        for (const auto& bad : r.firstBadLines)
            text += "\n      line " + std::to_string(bad.number) + ": " + quoteLine(bad.text) +
                    " reads as 0x" + funDHChange(hexLineToByte(bad.text));
        if (r.badLineCount > static_cast<long>(r.firstBadLines.size()))
            text += "\n      and " +
                    std::to_string(r.badLineCount - static_cast<long>(r.firstBadLines.size())) +
                    " more";
        r.problems.push_back(text);
    }
}

void checkSettingsLines(CheckReport& r, const std::vector<std::string>& lines) {
    if (r.lineCount < 3)
        r.problems.push_back(plural(r.lineCount, "line", "lines") +
                             "; the settings need 3 (start frame, end frame, interval), so the " +
                             "editor's start-up fails");
    if (r.lineCount > 3)
        r.problems.push_back(plural(r.lineCount, "line", "lines") +
                             "; the editor reads the first 3 and ignores the other " +
                             std::to_string(r.lineCount - 3));
    struct Field {
        const char* name;
        int low;
        int high;
        const char* outside;
    };
    const Field fields[3] = {
        {"start frame", 0, kLastFrame, "playback cannot reach it"},
        {"end frame", 0, kLastFrame, "playback cannot reach it"},
        {"interval", 1, 1000, "the editor's start-up fails"},
    };
    for (size_t i = 0; i < 3 && i < lines.size(); ++i) {
        const std::string where = "line " + std::to_string(i + 1) + " (" + fields[i].name + "): ";
        int16_t value = 0;
        try {
            value = toInteger16(lines[i]);
        } catch (const PlatformError& e) {
            const std::string why =
                e.kind() == ErrorKind::Overflow ? " is outside -32768..32767" : " is not a number";
            std::string problem = where;
            problem += quoteLine(lines[i]);
            problem += why;
            problem += ", so the editor's start-up fails";
            r.problems.push_back(std::move(problem));
            continue;
        }
        if (value < fields[i].low || value > fields[i].high)
            r.problems.push_back(where + std::to_string(value) + " is outside " +
                                 std::to_string(fields[i].low) + ".." +
                                 std::to_string(fields[i].high) + "; " + fields[i].outside);
    }
}

bool isSettingsName(const std::string& path) {
    std::string name = std::filesystem::path(path).filename().string();
    for (char& c : name)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return name == "animation.txt";
}

}  // namespace

std::string quoteLine(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out = "\"";
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c >= 0x7F || c == '"' || c == '\\') {
            if (c == '"' || c == '\\') {
                out.push_back('\\');
                out.push_back(ch);
            } else {
                out += "\\x";
                out.push_back(kHex[c >> 4]);
                out.push_back(kHex[c & 15]);
            }
        } else {
            out.push_back(ch);
        }
    }
    return out + "\"";
}

CheckReport checkFile(const std::string& path) {
    CheckReport r;
    r.path = path;
    r.settings = isSettingsName(path);

    // The lines exactly as the editor's reader hands them out.
    FileTable files;
    const int16_t fileNo = files.freeFile();
    try {
        files.openForInput(fileNo, path);
    } catch (const PlatformError& e) {
        r.problems.push_back("cannot read " + describeFailure(e, path));
        return r;
    }
    std::vector<std::string> lines;
    for (;;) {
        std::string line;
        try {
            files.lineInput(fileNo, line);
        } catch (const PlatformError&) {
            break;
        }
        lines.push_back(std::move(line));
    }
    files.close(fileNo);
    r.lineCount = static_cast<long>(lines.size());

    std::ifstream in(path, std::ios::binary);
    const std::string content{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    r.ends = scanLineEnds(content);

    if (r.settings)
        checkSettingsLines(r, lines);
    else
        checkFrameLines(r, lines);
    reportLineEnds(r);
    return r;
}

std::string formatReport(const CheckReport& r) {
    std::string out = r.path + ": ";
    if (r.problems.empty()) {
        out += std::string("ok (") + (r.settings ? "settings" : "frame file") + ", " +
               plural(r.lineCount, "line", "lines") + ", CR LF)\n";
        return out;
    }
    out += plural(static_cast<long>(r.problems.size()), "problem", "problems") + "\n";
    for (const auto& p : r.problems) out += "  - " + p + "\n";
    return out;
}

}  // namespace dotreel::tool
