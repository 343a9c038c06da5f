// Frames in the frame file's own text form, for the clipboard: one byte a line as two hexadecimal
// digits, each line ended by CR LF, 488 lines a frame in the LCD's byte order. What one editor
// copies another pastes, and a frame file's lines pasted from a text editor read the same.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace dotreel {

// The lines of `bytes` (a whole number of frames), upper-case digits, CR LF after each.
std::string formatFrameText(std::span<const uint8_t> bytes);

// The bytes of a text of whole frames: every line exactly two hexadecimal digits (either case),
// ended by CR LF or LF (the last line end may be missing), one to 268 frames of 488 lines.
// Nothing for any other text: a word, a line of three digits, 487 lines, a blank line inside.
std::optional<std::vector<uint8_t>> parseFrameText(std::string_view text);

}  // namespace dotreel
