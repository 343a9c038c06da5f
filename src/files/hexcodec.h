// The text form of a byte in the frame files: two hexadecimal digits, high digit first.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/frame.h"

namespace dotreel {

// The digit value of each byte: 0..15 for "0".."9", "a".."f" and "A".."F", -1 for every other.
inline constexpr std::array<int8_t, 256> kHexDigitValues = [] {
    std::array<int8_t, 256> values{};
    for (int c = 0; c < 256; ++c) {
        int v = -1;
        if (c >= '0' && c <= '9') v = c - '0';
        if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
        if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
        values[static_cast<size_t>(c)] = static_cast<int8_t>(v);
    }
    return values;
}();

inline int hexDigitValue(char c) { return kHexDigitValues[static_cast<unsigned char>(c)]; }

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

}  // namespace dotreel
