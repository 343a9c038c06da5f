// Text arguments through the layout, and font files as FreeType reads them. The first byte
// chooses: even, the rest is TEXT (any bytes: UTF-8, invalid sequences, long lines) laid out in
// a small BDF, 5x7 or ja12 and put into frames as a stamp and a marquee, which must keep their
// promises; odd, the rest is a BDF file of its own, which must either work or be a TextError.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/frame.h"
#include "fuzzsupport.h"
#include "text/font.h"
#include "text/layout.h"

using namespace dotreel;
using namespace dotreel::text;
using fuzzsupport::check;

namespace {

using Frame = std::array<uint8_t, kFrameBytes>;

const char kSmallBdf[] =
    "STARTFONT 2.1\nFONT -fuzz-small-medium-r-normal--7-70-75-75-p-40-ISO10646-1\n"
    "SIZE 7 75 75\nFONTBOUNDINGBOX 3 7 0 -2\nSTARTPROPERTIES 2\nFONT_ASCENT 5\n"
    "FONT_DESCENT 2\nENDPROPERTIES\nCHARS 3\n"
    "STARTCHAR space\nENCODING 32\nSWIDTH 500 0\nDWIDTH 3 0\nBBX 1 1 0 0\nBITMAP\n00\nENDCHAR\n"
    "STARTCHAR A\nENCODING 65\nSWIDTH 500 0\nDWIDTH 4 0\nBBX 3 5 0 0\nBITMAP\n40\nA0\nE0\nA0\nA0\n"
    "ENDCHAR\n"
    "STARTCHAR g\nENCODING 103\nSWIDTH 500 0\nDWIDTH 4 0\nBBX 3 5 0 -2\nBITMAP\nE0\nA0\nE0\n20\n"
    "E0\nENDCHAR\nENDFONT\n";

Font& font(int which) {
    static const std::string path = [] {
        const std::string p = fuzzsupport::scratchFolder() + "small.bdf";
        fuzzsupport::writeWholeFile(p, kSmallBdf);
        return p;
    }();
    static auto small = Font::open(path);
    static auto fixed = Font::open("5x7");
    static auto japanese = Font::open("ja12");
    return which == 0 ? *small : which == 1 ? *fixed : *japanese;
}

int lit(const Frame& frame) {
    int n = 0;
    for (const uint8_t b : frame) n += __builtin_popcount(b);
    return n;
}

int litInBlock(const TextBlock& block) {
    int n = 0;
    for (const uint8_t d : block.dots) n += d;
    return n;
}

void layText(const uint8_t* data, size_t size) {
    if (size < 4) return;
    const int which = data[0] % 3;
    const int x = static_cast<int8_t>(data[1]);
    const int y = static_cast<int8_t>(data[2]) / 4;
    const auto direction = static_cast<Direction>(data[3] % 4);
    const std::string_view words(reinterpret_cast<const char*>(data + 4), size - 4);
    TextBlock block;
    try {
        block = layOut(font(which), decodeUtf8(words));
    } catch (const TextError&) {
        return;  // not UTF-8, or a character the font lacks: refused, not drawn
    }
    check(block.dots.size() == static_cast<size_t>(block.width) * static_cast<size_t>(block.height),
          "a text block whose dots are not width x height");
    Frame frame{};
    const Clipping clipping = stamp(block, x, y, {}, frame);
    check(lit(frame) <= litInBlock(block), "a stamp lit more dots than the text has");
    check(clipping.any() || lit(frame) == litInBlock(block),
          "a stamp inside the panel lost dots without saying so");
    Frame inverted{};
    stamp(block, x, y, {false, true}, inverted);
    check(lit(inverted) == kDotCount - lit(frame), "an inverted stamp is not the stamp inverted");

    const int step = 1 + data[3] / 4 % largestStep(direction);
    const Marquee marquee{direction, step, y};
    const int pass = passLength(block, marquee);
    check((pass == 0) == (block.width == 0), "a marquee without frames for a visible text");
    if (pass == 0 || pass > 4 * kFrameCount) return;
    for (const int k : {0, pass - 1}) {
        const auto [px, py] = marqueePen(block, marquee, k);
        Frame f{};
        const Clipping c = stamp(block, px, py, {}, f);
        const bool across = horizontal(direction) ? c.columns < block.width : c.rows < block.height;
        check(across, "a marquee frame with the whole text off the panel");
    }
    const auto [nx, ny] = marqueePen(block, marquee, pass);
    Frame after{};
    const Clipping gone = stamp(block, nx, ny, {}, after);
    check(horizontal(direction) ? gone.columns == block.width : gone.rows == block.height,
          "the frame after a pass still shows the text");
}

void readFontFile(const uint8_t* data, size_t size) {
    static const std::string path = fuzzsupport::scratchFolder() + "input.bdf";
    fuzzsupport::writeWholeFile(path, std::string_view(reinterpret_cast<const char*>(data), size));
    try {
        auto f = Font::open(path);
        check(f->height() >= 0, "a font of negative height");
        layOut(*f, U"Ag ");
    } catch (const TextError&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    if (data[0] % 2 == 0)
        layText(data + 1, size - 1);
    else
        readFontFile(data + 1, size - 1);
    return 0;
}
