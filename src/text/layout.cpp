// Laying text out glyph by glyph at the font's own advances, and writing it into frames.
#include "text/layout.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>

namespace dotreel::text {

std::u32string decodeUtf8(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    size_t i = 0;
    const auto bad = [&](size_t at) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02X", static_cast<unsigned char>(text[at]));
        return TextError("the text is not UTF-8: byte " + std::string(hex) + " at byte " +
                         std::to_string(at + 1));
    };
    while (i < text.size()) {
        const auto b0 = static_cast<unsigned char>(text[i]);
        int length = 0;
        char32_t c = 0;
        char32_t lowest = 0;
        if (b0 < 0x80) {
            length = 1;
            c = b0;
        } else if (b0 >= 0xC2 && b0 <= 0xDF) {
            length = 2;
            c = b0 & 0x1FU;
            lowest = 0x80;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            length = 3;
            c = b0 & 0x0FU;
            lowest = 0x800;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            length = 4;
            c = b0 & 0x07U;
            lowest = 0x10000;
        } else {
            throw bad(i);
        }
        for (int k = 1; k < length; ++k) {
            if (i + static_cast<size_t>(k) >= text.size()) throw bad(i);
            const auto b = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
            if ((b & 0xC0U) != 0x80) throw bad(i + static_cast<size_t>(k));
            c = (c << 6) | (b & 0x3FU);
        }
        // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
        if (c < lowest || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) throw bad(i);
        out += c;
        i += static_cast<size_t>(length);
    }
    return out;
}

TextBlock layOut(Font& font, std::u32string_view text) {
    struct Placed {
        const Glyph* glyph;
        int x;
        int baseline;
    };
    std::vector<Placed> placed;
    int pen = 0;
    int line = 0;
    int widest = 0;
    int lines = 1;
    int left = INT_MAX;
    int top = INT_MAX;
    int right = INT_MIN;
    int bottom = INT_MIN;
    for (size_t i = 0; i < text.size(); ++i) {
        const char32_t c = text[i];
        if (c == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n') continue;
        if (c == U'\n') {
            widest = std::max(widest, pen);
            pen = 0;
            line += font.height();
            ++lines;
            continue;
        }
        const Glyph& g = font.glyph(c);
        const int baseline = line + font.ascent();
        placed.push_back({&g, pen, baseline});
        for (int y = 0; y < g.rows; ++y)
            for (int x = 0; x < g.width; ++x)
                if (g.dots[static_cast<size_t>(y) * static_cast<size_t>(g.width) +
                           static_cast<size_t>(x)] != 0) {
                    left = std::min(left, pen + g.left + x);
                    right = std::max(right, pen + g.left + x);
                    top = std::min(top, baseline - g.top + y);
                    bottom = std::max(bottom, baseline - g.top + y);
                }
        pen += g.advance;
    }
    TextBlock block;
    block.layoutWidth = std::max(widest, pen);
    block.layoutHeight = lines * font.height();
    if (right < left) return block;
    // Far wider than any marquee of 268 frames can carry across, or taller than many panels.
    constexpr int64_t kLargestBlock = int64_t{1} << 24;
    if (int64_t{right - left + 1} * (bottom - top + 1) > kLargestBlock)
        throw TextError("the text is too large: " + std::to_string(right - left + 1) + " x " +
                        std::to_string(bottom - top + 1) + " dots");
    block.left = left;
    block.top = top;
    block.width = right - left + 1;
    block.height = bottom - top + 1;
    block.dots.assign(static_cast<size_t>(block.width) * static_cast<size_t>(block.height), 0);
    for (const Placed& p : placed) {
        const Glyph& g = *p.glyph;
        for (int y = 0; y < g.rows; ++y)
            for (int x = 0; x < g.width; ++x)
                if (g.dots[static_cast<size_t>(y) * static_cast<size_t>(g.width) +
                           static_cast<size_t>(x)] != 0) {
                    const int bx = p.x + g.left + x - left;
                    const int by = p.baseline - g.top + y - top;
                    block.dots[static_cast<size_t>(by) * static_cast<size_t>(block.width) +
                               static_cast<size_t>(bx)] = 1;
                }
    }
    return block;
}

int centredX(const TextBlock& block) { return std::max(0, (kColumns - block.layoutWidth) / 2); }
int centredY(const TextBlock& block) { return std::max(0, (kRows - block.layoutHeight) / 2); }

namespace {

// How many of the `length` places from `first` on lie outside 0..size-1.
int outside(int first, int length, int size) {
    if (length == 0) return 0;
    const int last = first + length - 1;
    const int inFirst = std::max(first, 0);
    const int inLast = std::min(last, size - 1);
    return length - std::max(0, inLast - inFirst + 1);
}

void putDot(std::span<uint8_t, kFrameBytes> frame, int row, int column, bool on) {
    const int index = dotIndexAt(row, column);
    uint8_t& byte = frame[static_cast<size_t>(index / 8)];
    const auto bit = static_cast<uint8_t>(1U << (index % 8));
    byte = on ? static_cast<uint8_t>(byte | bit) : static_cast<uint8_t>(byte & ~bit);
}

}  // namespace

Clipping stamp(const TextBlock& block, int x, int y, Paint paint,
               std::span<uint8_t, kFrameBytes> frame) {
    if (!paint.over) std::fill(frame.begin(), frame.end(), paint.invert ? 0xFF : 0x00);
    const int firstColumn = x + block.left;
    const int firstRow = y + block.top;
    for (int by = 0; by < block.height; ++by) {
        const int row = firstRow + by;
        if (row < 0 || row >= kRows) continue;
        for (int bx = 0; bx < block.width; ++bx) {
            const int column = firstColumn + bx;
            if (column < 0 || column >= kColumns) continue;
            if (block.dots[static_cast<size_t>(by) * static_cast<size_t>(block.width) +
                           static_cast<size_t>(bx)] != 0)
                putDot(frame, row, column, !paint.invert);
        }
    }
    return {outside(firstColumn, block.width, kColumns), outside(firstRow, block.height, kRows)};
}

std::optional<Direction> directionByName(std::string_view name) {
    if (name == "left") return Direction::Left;
    if (name == "right") return Direction::Right;
    if (name == "up") return Direction::Up;
    if (name == "down") return Direction::Down;
    return std::nullopt;
}

bool horizontal(Direction direction) {
    return direction == Direction::Left || direction == Direction::Right;
}

int largestStep(Direction direction) { return horizontal(direction) ? kColumns : kRows; }

int passLength(const TextBlock& block, const Marquee& marquee) {
    if (block.width == 0) return 0;
    const int extent =
        horizontal(marquee.direction) ? kColumns + block.width : kRows + block.height;
    // Frame k shows dots while step x (k + 1) < extent.
    return (extent + marquee.step - 1) / marquee.step - 1;
}

std::pair<int, int> marqueePen(const TextBlock& block, const Marquee& marquee, int k) {
    const int moved = marquee.step * (k + 1);
    switch (marquee.direction) {
        case Direction::Left:
            return {kColumns - moved - block.left, marquee.across};
        case Direction::Right:
            return {moved - block.width - block.left, marquee.across};
        case Direction::Up:
            return {marquee.across, kRows - moved - block.top};
        case Direction::Down:
            return {marquee.across, moved - block.height - block.top};
    }
    return {0, 0};
}

}  // namespace dotreel::text
