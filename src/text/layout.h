// Text laid out in a font and put into frames: a stamp at a pen position, or a marquee that
// carries the text across the panel from one edge to the other, a few dots a frame.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/frame.h"
#include "text/font.h"

namespace dotreel::text {

// The code points of UTF-8 text; throws TextError naming the first byte that is not UTF-8.
std::u32string decodeUtf8(std::string_view text);

// The lit dots of a text, measured from the pen's start (x 0) and the top of the first line
// (y 0, the font's ascent above the first baseline).
struct TextBlock {
    int left = 0;  // the box that holds every lit dot
    int top = 0;
    int width = 0;  // 0: no dot is lit
    int height = 0;
    int layoutWidth = 0;        // the widest line's advance
    int layoutHeight = 0;       // lines x the font's height
    std::vector<uint8_t> dots;  // width x height, row by row; 1 lit

    bool lit(int x, int y) const {
        const int cx = x - left;
        const int cy = y - top;
        return cx >= 0 && cy >= 0 && cx < width && cy < height &&
               dots[static_cast<size_t>(cy) * static_cast<size_t>(width) +
                    static_cast<size_t>(cx)] != 0;
    }
};

// A line break (LF, or CR LF) starts a line one font height lower, at the pen's start again.
TextBlock layOut(Font& font, std::u32string_view text);

// How the text's dots meet the frame: alone on a cleared frame (or, inverted, dark on a lit
// one), or over what the frame holds.
struct Paint {
    bool over = false;
    bool invert = false;
};

// Columns and rows of the text's box that lie off the panel.
struct Clipping {
    int columns = 0;
    int rows = 0;
    bool any() const { return columns != 0 || rows != 0; }
};

// Where the pen starts when no position is given: the layout box centred on the panel, or at
// column or row 0 when it does not fit (the start of the text stays in sight).
int centredX(const TextBlock& block);
int centredY(const TextBlock& block);

// The text with its pen at column x and its first line's top at row y, into one frame's bytes.
Clipping stamp(const TextBlock& block, int x, int y, Paint paint,
               std::span<uint8_t, kFrameBytes> frame);

enum class Direction { Left, Right, Up, Down };
std::optional<Direction> directionByName(std::string_view name);
bool horizontal(Direction direction);

// A marquee: the text enters at one edge and leaves at the opposite one, `step` dots a frame.
// The first frame shows the first `step` columns (rows) of the text at the edge it enters by,
// the last frame the last of its dots at the edge it leaves by; no frame of a pass is blank.
struct Marquee {
    Direction direction = Direction::Left;
    int step = 1;
    int across = 0;  // the pen's row (left, right) or column (up, down), which stays put
};

// The frames of one pass; 0 when the text lights no dot.
int passLength(const TextBlock& block, const Marquee& marquee);
// The pen (x, y) of frame k of the pass.
std::pair<int, int> marqueePen(const TextBlock& block, const Marquee& marquee, int k);
// The largest step of a direction: the panel's width or height, so the first frame shows text.
int largestStep(Direction direction);

}  // namespace dotreel::text
