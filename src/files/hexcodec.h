// The text form of a byte in the frame files: two hexadecimal digits, high digit first.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/frame.h"

namespace dotreel {

// Decodes the first two characters of a line (UTF-8 characters, not bytes): the first is the
// high digit, the second the low one; either may be missing or no hexadecimal digit. Empty when the
// first has no digit value and there is no second digit; so "5" gives 80, "" gives nothing, "G1"
// gives 1, "0x12" gives 0.
std::optional<int16_t> funHexDecChange(std::string_view text);

// funHexDecChange converted to a byte, an empty result giving 0.
uint8_t hexLineToByte(std::string_view text);

// The two upper-case hexadecimal digits of a byte: 0 -> "00", 10 -> "0A", 255 -> "FF".
std::string funDHChange(uint8_t value);

// The whole frame file for bytes 0..131071: 131072 lines of funDHChange, each ended by CR LF,
// exactly 524288 bytes.
std::string formatFrameFile(const FrameMemory& bytFrameData);

// The part of a line that funHexDecChange looks at: its first two characters, counted as
// funHexDecChange counts them (at most 8 bytes). Decoding it gives what decoding the whole line
// gives.
std::string_view hexLineHead(std::string_view text);

// A frame file's lines as decoding needs them: of each line only its hexLineHead is kept, so the
// 131072 lines of a frame file take under a megabyte instead of 131072 string objects.
class FrameLines {
public:
    void reserve(size_t count);
    // Keeps hexLineHead(line). Inline: start-up keeps 131072 lines in a row.
    void push_back(std::string_view line) {
        // The usual line begins with two ASCII characters: its first two bytes.
        if (line.size() >= 2 && static_cast<unsigned char>(line[0]) < 0x80 &&
            static_cast<unsigned char>(line[1]) < 0x80) {
            heads_.push_back(line[0]);
            heads_.push_back(line[1]);
        } else {
            heads_ += hexLineHead(line);
        }
        ends_.push_back(static_cast<uint32_t>(heads_.size()));
    }
    size_t size() const { return ends_.size(); }
    // The kept part of line k.
    std::string_view operator[](size_t k) const {
        const size_t begin = k == 0 ? 0 : ends_[k - 1];
        return std::string_view(heads_.data() + begin, ends_[k] - begin);
    }
    void clear();  // no lines, and their memory given back

private:
    std::string heads_;           // the kept parts, one after the other
    std::vector<uint32_t> ends_;  // where the kept part of each line ends in heads_
};

// Decodes lines 0..131071 of a frame file into `target` (bytes 0..131071 only). Fewer lines
// throw PlatformError(OutOfRange) and leave `target` as it was.
void decodeFrameLines(const std::vector<std::string>& lines, FrameMemory& target);
void decodeFrameLines(const FrameLines& lines, FrameMemory& target);

// The settings file: the three texts, each ended by CR LF, exactly as they stand.
std::string formatSettingsFile(const std::string& start, const std::string& end,
                               const std::string& interval);

}  // namespace dotreel
