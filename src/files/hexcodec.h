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

// Decodes lines 0..131071 of a frame file into `target` (bytes 0..131071 only). Fewer lines
// throw PlatformError(OutOfRange) and leave `target` as it was.
void decodeFrameLines(const std::vector<std::string>& lines, FrameMemory& target);

// The settings file: the three texts, each ended by CR LF, exactly as they stand.
std::string formatSettingsFile(const std::string& start, const std::string& end,
                               const std::string& interval);

}  // namespace dotreel
