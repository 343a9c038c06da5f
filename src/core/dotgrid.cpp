#include "core/dotgrid.h"

#include <array>
#include <bit>
#include <cstring>

#include "platform/errors.h"

namespace dotreel {
namespace {

// A frame's 488 bytes must lie within indexes 0..131072 of the frame memory.
int64_t frameBase(int32_t frame) {
    const int64_t base = static_cast<int64_t>(frame) * kFrameBytes;
    if (base < 0 || base + kFrameBytes - 1 > kMemoryBytes - 1) throw outOfRangeError();
    return base;
}

}  // namespace

bool DotGrid::viewMatchesState() const {
    for (int i = 0; i < kDotCount; ++i)
        if ((intDot[static_cast<size_t>(i)] == kDotOn) != (fillStyle(i) == kFillSolid))
            return false;
    return true;
}

namespace {

// For each byte value, the states and the looks of its eight dots, bit 0 first.
struct ByteDots {
    std::array<std::array<int16_t, 8>, 256> states{};
    std::array<uint64_t, 256> looks{};  // eight FillStyle bytes as one word, in memory order
};

const ByteDots& byteDots() {
    static const ByteDots table = [] {
        ByteDots t;
        for (unsigned b = 0; b < 256; ++b) {
            std::array<FillStyle, 8> looks{};
            for (unsigned i = 0; i < 8; ++i) {
                const bool on = ((b >> i) & 1u) != 0;
                t.states[b][i] = on ? kDotOn : kDotOff;
                looks[i] = on ? kFillSolid : kFillTransparent;
            }
            std::memcpy(&t.looks[b], looks.data(), sizeof(uint64_t));
        }
        return t;
    }();
    return table;
}

}  // namespace

void DotGrid::putFrame(std::span<const uint8_t, kFrameBytes> bytes) {
    // Playback runs this on every tick: eight dots at a time, and one report at the end.
    static_assert(sizeof(FillStyle) == 1);
    // The lowest set bit of a word must belong to the lowest address.
    static_assert(std::endian::native == std::endian::little);
    const ByteDots& table = byteDots();
    std::array<int, kDotCount> changed;
    size_t count = 0;
    for (size_t j = 0; j < kFrameBytes; ++j) {
        const uint8_t b = bytes[j];
        std::memcpy(&intDot[8 * j], table.states[b].data(), sizeof(table.states[b]));
        uint64_t was = 0;
        std::memcpy(&was, &fills_[8 * j], sizeof was);
        uint64_t differ = was ^ table.looks[b];
        if (differ == 0) continue;
        std::memcpy(&fills_[8 * j], &table.looks[b], sizeof was);
        // Each differing look differs in the low bit of its byte; lower addresses first.
        while (differ != 0) {
            const auto bit = static_cast<size_t>(std::countr_zero(differ));
            changed[count++] = static_cast<int>(8 * j + bit / 8);
            differ &= differ - 1;
        }
    }
    if (count != 0 && observer_ != nullptr) observer_->dotsChanged({changed.data(), count});
}

void Bit_Convert(const FrameMemory& bytFrameData, DotGrid& grid, int32_t frame) {
    const int64_t base = frameBase(frame);
    grid.putFrame(std::span<const uint8_t, kFrameBytes>(
        bytFrameData.data() + static_cast<size_t>(base), kFrameBytes));
}

std::array<uint8_t, kFrameBytes> gridFrameBytes(const DotGrid& grid) {
    std::array<uint8_t, kFrameBytes> bytes{};
    for (int j = 0; j < kFrameBytes; ++j) {
        unsigned b = 0;
        for (int i = 0; i < 8; ++i) {
            const int dot = 8 * j + i;
            if (grid.intDot[static_cast<size_t>(dot)] == kDotOn) b |= 1u << i;
        }
        bytes[static_cast<size_t>(j)] = static_cast<uint8_t>(b);
    }
    return bytes;
}

void Bit_Data_Set(FrameMemory& bytFrameData, const DotGrid& grid, int32_t frame) {
    const int64_t base = frameBase(frame);
    for (int j = 0; j < kFrameBytes; ++j) {
        unsigned b = 0;
        for (int i = 0; i < 8; ++i) {
            const int dot = 8 * j + i;
            if (grid.intDot[static_cast<size_t>(dot)] == kDotOn) b |= 1u << i;
        }
        bytFrameData[static_cast<size_t>(base + j)] = static_cast<uint8_t>(b);
    }
}

}  // namespace dotreel
