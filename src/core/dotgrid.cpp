#include "core/dotgrid.h"

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

void Bit_Convert(const FrameMemory& bytFrameData, DotGrid& grid, int32_t frame) {
    const int64_t base = frameBase(frame);
    for (int j = 0; j < kFrameBytes; ++j) {
        unsigned b = bytFrameData[static_cast<size_t>(base + j)];
        for (int i = 0; i < 8; ++i) {
            grid.put(8 * j + i, (b & 1u) != 0);
            b >>= 1;
        }
    }
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
