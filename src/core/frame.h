// The frame memory and the LCD's own byte order: 268 frames of 488 bytes, each two controller
// halves of four 8-row pages of 61 columns, one byte per column of a page, bit 0 at the top.
#pragma once

#include <array>
#include <cstdint>

namespace dotreel {

inline constexpr int kFrameBytes = 488;  // 2 halves x 4 pages x 61 columns
inline constexpr int kFrameCount = 268;  // frames 0..267
inline constexpr int kLastFrame = kFrameCount - 1;
inline constexpr int kStoreBytes = 131072;   // loaded and saved: two 24C512 EEPROMs
inline constexpr int kMemoryBytes = 131073;  // indexes 0..131072; the last is never stored
inline constexpr int kDotCount = 3904;       // 122 x 32
inline constexpr int kDotStateSize = 3905;   // indexes 0..3904; the last is never used
inline constexpr int kColumns = 122;
inline constexpr int kRows = 32;
inline constexpr int kHalfColumns = 61;
inline constexpr int kPages = 4;
inline constexpr int kHalfBytes = 244;  // 4 pages x 61 columns

using FrameMemory = std::array<uint8_t, kMemoryBytes>;

// The dot index: the bit of a frame that a dot stands for, 8 x byte + bit.
constexpr int dotIndex(int half, int page, int columnInHalf, int rowInPage) {
    return (half * 4 + page) * kFrameBytes + columnInHalf * 8 + rowInPage;
}

constexpr int dotHalf(int index) { return (index / 8) / kHalfBytes; }
constexpr int dotPage(int index) { return ((index / 8) % kHalfBytes) / kHalfColumns; }
constexpr int dotColumnInHalf(int index) { return (index / 8) % kHalfColumns; }
constexpr int dotRowInPage(int index) { return index % 8; }

// Screen position of a dot: column 0..121 from the left, row 0..31 from the top.
constexpr int dotColumn(int index) {
    return dotHalf(index) * kHalfColumns + dotColumnInHalf(index);
}
constexpr int dotRow(int index) { return dotPage(index) * 8 + dotRowInPage(index); }

constexpr int dotIndexAt(int row, int column) {
    return dotIndex(column / kHalfColumns, row / 8, column % kHalfColumns, row % 8);
}

static_assert(dotIndexAt(0, 1) == 8);
static_assert(dotIndexAt(8, 0) == 488);
static_assert(dotIndexAt(0, 61) == 1952);
static_assert(dotIndexAt(31, 121) == 3903);
static_assert(dotColumn(3903) == 121 && dotRow(3903) == 31);

}  // namespace dotreel
