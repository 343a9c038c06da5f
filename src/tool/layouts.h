// A frame in the byte layouts of the display libraries that firmware uses besides our player,
// both ways: the store's own (488 bytes), the u8g2 full frame buffer of a 122 x 32 SED1520
// panel, XBM rows (least significant bit leftmost, for drawXBM) and Adafruit GFX rows (most
// significant bit leftmost, for drawBitmap). A 1 bit is always a lit dot.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/frame.h"

namespace dotreel::tool {

enum class Layout { Store, U8g2, Xbm, Gfx };

inline constexpr int kRowBytes = (kColumns + 7) / 8;  // 16: one XBM or GFX row
inline constexpr int kU8g2Columns = 128;              // u8g2 rounds the width up to 16 tiles

// The names used on the command line, in the order the help lists them.
inline constexpr std::string_view kLayoutNames[] = {"store", "u8g2", "xbm", "gfx"};

std::optional<Layout> layoutByName(std::string_view name);
std::string_view layoutName(Layout layout);

// Bytes of one frame: 488 for the store, 512 for the others.
int layoutFrameBytes(Layout layout);

// Frame `frame` of `store` in `layout`, layoutFrameBytes(layout) bytes written to `out`.
void encodeFrame(const FrameMemory& store, int frame, Layout layout, uint8_t* out);

// The layout's bytes back as the store's 488 bytes of one frame. Bits that stand for no dot
// (u8g2's columns 122..127, the 6 bits after column 121 in each XBM or GFX row) are dropped;
// the number of such bits that were 1 is returned, so that the caller can say so.
int decodeFrame(const uint8_t* in, Layout layout, uint8_t* frame);

// Bits of an XBM picture: `width` x `height` dots, rows of (width + 7) / 8 bytes, bit 0 of each
// byte the leftmost dot.
struct Bitmap {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> bits;
};

// The frames side by side, `columns` to a row, in 122 x 32 cells with no space between them
// (so that frame i sits at x = 122 * (i % columns), y = 32 * (i / columns)); one frame alone
// when `frames` holds one.
Bitmap framesBitmap(const FrameMemory& store, const std::vector<int>& frames, int columns);

// An XBM file: NAME_width, NAME_height and `static unsigned char NAME_bits[]`.
std::string formatXbm(const Bitmap& bitmap, std::string_view name);

// Reading back ------------------------------------------------------------------------------

// The numbers of the first initializer ("= { ... }") of a C file, in order, each 0..255,
// hexadecimal ("0x1F") or decimal; comments and preprocessor lines are skipped. Throws ToolError
// naming `what` and the line for anything else: a word that is no number, a number above 255,
// an empty initializer, no initializer at all.
std::vector<uint8_t> readCInitializer(std::string_view text, const std::string& what);

// An XBM file's size (its _width and _height defines) and bits. Throws ToolError when the
// defines are missing or the count of bytes does not match them.
Bitmap readXbm(std::string_view text, const std::string& what);

// The frames held by a bitmap made of whole 122 x 32 cells, row by row, each as the store's 488
// bytes; empty when the size is no whole number of cells.
std::vector<std::vector<uint8_t>> bitmapFrames(const Bitmap& bitmap);

// The frames of a C array in `layout`. Throws ToolError when the count of numbers is not a whole
// number of frames of that layout.
std::vector<std::vector<uint8_t>> arrayFrames(const std::vector<uint8_t>& numbers, Layout layout,
                                              const std::string& what, int& strayBits);

// --layout's value; UsageError for an unknown name.
Layout parseLayoutOption(const std::string& value);

// Files that import reads as arrays, told by their extension: .xbm, or C (.c, .h, .inc).
enum class ArrayKind { None, Xbm, C };
ArrayKind arrayKindOf(const std::string& path);

// What an array file holds: its frames (488 store bytes each) and the lit bits dropped for
// standing for no dot; `picture` when it is an XBM of another size than whole 122 x 32 cells,
// which is then read as a picture instead. Throws ToolError when the file cannot be read or
// used.
struct ArrayFile {
    std::vector<std::vector<uint8_t>> frames;
    int strayBits = 0;
    bool picture = false;
};
// A C file that dotreel-tool wrote names its layout in its comment: that layout is used when
// `layout` is not given, and a different one given is refused (ToolError) rather than read as
// scrambled dots.
ArrayFile readArrayFile(const std::string& path, ArrayKind kind, std::optional<Layout> layout);

// The layout a header of ours says it holds ("written by dotreel-tool", "Layout NAME:"); the
// store's when it is ours without such a line; nothing for any other file.
std::optional<Layout> statedLayout(std::string_view text);

}  // namespace dotreel::tool
