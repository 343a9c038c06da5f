// A small BDF font written by the tests, its glyphs drawn here so that every expected dot can be
// checked by eye; and a frame's dots as rows of '#' and '.'.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "core/frame.h"
#include "diskfiles.h"

namespace support {

struct TestGlyph {
    int code;
    int advance;
    int xOffset;  // BBX offsets: the bitmap's lower-left corner from the pen on the baseline
    int yOffset;
    std::vector<std::string> rows;  // '#' lit, top row first
};

// Ascent 5, descent 2: a line is 7 rows. Advances differ ('i' is 2, 'A' 4), 'g' hangs below the
// baseline, 'W' stands one column right of the pen and high up, 'L' reaches left of the pen.
inline const std::vector<TestGlyph>& testGlyphs() {
    static const std::vector<TestGlyph> glyphs = {
        {' ', 3, 0, 0, {"."}},
        {'A', 4, 0, 0, {".#.", "#.#", "###", "#.#", "#.#"}},
        {'i', 2, 0, 0, {"#", ".", "#", "#", "#"}},
        {'g', 4, 0, -2, {"###", "#.#", "###", "..#", "###"}},
        {'W', 4, 1, 3, {"##", "##"}},
        {'L', 3, -1, 0, {"#..", "#..", "###"}},
    };
    return glyphs;
}

inline std::string testFontBdf(const std::vector<TestGlyph>& glyphs = testGlyphs()) {
    std::string s =
        "STARTFONT 2.1\nFONT -dotreel-test-medium-r-normal--7-70-75-75-p-40-ISO10646-1\n"
        "SIZE 7 75 75\nFONTBOUNDINGBOX 4 7 -1 -2\nSTARTPROPERTIES 4\nFONT_ASCENT 5\n"
        "FONT_DESCENT 2\nCHARSET_REGISTRY \"ISO10646\"\nCHARSET_ENCODING \"1\"\nENDPROPERTIES\n";
    s += "CHARS " + std::to_string(glyphs.size()) + "\n";
    for (const auto& g : glyphs) {
        const int w = static_cast<int>(g.rows.front().size());
        const int h = static_cast<int>(g.rows.size());
        s += "STARTCHAR c" + std::to_string(g.code) + "\nENCODING " + std::to_string(g.code) +
             "\nSWIDTH 500 0\nDWIDTH " + std::to_string(g.advance) + " 0\nBBX " +
             std::to_string(w) + " " + std::to_string(h) + " " + std::to_string(g.xOffset) + " " +
             std::to_string(g.yOffset) + "\nBITMAP\n";
        for (const auto& row : g.rows) {
            unsigned bits = 0;
            for (size_t i = 0; i < row.size(); ++i)
                if (row[i] == '#') bits |= 0x80U >> i;
            const char* hex = "0123456789ABCDEF";
            s += hex[bits >> 4];
            s += hex[bits & 15];
            s += "\n";
        }
        s += "ENDCHAR\n";
    }
    return s + "ENDFONT\n";
}

inline std::string writeTestFont(const std::string& path) {
    writeRaw(path, testFontBdf());
    return path;
}

// Rows `top`..`top + rows - 1`, columns `left`..`left + columns - 1` of a frame, '#' lit.
inline std::vector<std::string> framePicture(std::span<const uint8_t, dotreel::kFrameBytes> frame,
                                             int top, int left, int rows, int columns) {
    std::vector<std::string> out;
    for (int r = top; r < top + rows; ++r) {
        std::string line;
        for (int c = left; c < left + columns; ++c) {
            const int index = dotreel::dotIndexAt(r, c);
            line += ((frame[static_cast<size_t>(index / 8)] >> (index % 8)) & 1) != 0 ? '#' : '.';
        }
        out.push_back(line);
    }
    return out;
}

inline bool frameDot(std::span<const uint8_t, dotreel::kFrameBytes> frame, int row, int column) {
    const int index = dotreel::dotIndexAt(row, column);
    return ((frame[static_cast<size_t>(index / 8)] >> (index % 8)) & 1) != 0;
}

inline int litCount(std::span<const uint8_t, dotreel::kFrameBytes> frame) {
    int n = 0;
    for (const uint8_t b : frame) n += __builtin_popcount(b);
    return n;
}

}  // namespace support
