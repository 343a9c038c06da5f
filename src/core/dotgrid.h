// The dot state intDot, the view's fill state of every dot kept beside it, and the two transfers
// between a frame of the frame memory and the grid.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "core/frame.h"

namespace dotreel {

// A dot's look: solid fill shows it on, transparent fill shows it off.
enum FillStyle : uint8_t { kFillSolid = 0, kFillTransparent = 1 };

inline constexpr int16_t kDotOn = -1;
inline constexpr int16_t kDotOff = 0;

// Told of every dot whose fill style changes, so that a view can repaint just those dots.
class DotObserver {
public:
    virtual ~DotObserver() = default;
    virtual void dotChanged(int index) = 0;
    // Several dots at once, in ascending order: a whole-frame transfer reports all its changes in
    // one call instead of one call per dot.
    virtual void dotsChanged(std::span<const int> indexes) {
        for (const int index : indexes) dotChanged(index);
    }
};

class DotGrid {
public:
    DotGrid() { fills_.fill(kFillTransparent); }

    // -1 on, 0 off; written directly by the editing commands, as the dot state.
    std::array<int16_t, kDotStateSize> intDot{};

    FillStyle fillStyle(int index) const { return fills_[static_cast<size_t>(index)]; }
    void setFillStyle(int index, FillStyle style) {
        auto& f = fills_[static_cast<size_t>(index)];
        if (f == style) return;
        f = style;
        if (observer_ != nullptr) observer_->dotChanged(index);
    }

    // Writes the state and then the look of one dot.
    void put(int index, bool on) {
        intDot[static_cast<size_t>(index)] = on ? kDotOn : kDotOff;
        setFillStyle(index, on ? kFillSolid : kFillTransparent);
    }

    // Writes the state and the look of all dots from a frame's bytes (dot 8 x byte + bit is on
    // when the bit is 1), then reports the dots whose look changed in one call.
    void putFrame(std::span<const uint8_t, kFrameBytes> bytes);

    // True when every dot's look is solid exactly where its state is -1.
    bool viewMatchesState() const;

    void setObserver(DotObserver* observer) { observer_ = observer; }

private:
    std::array<FillStyle, kDotCount> fills_{};
    DotObserver* observer_ = nullptr;
};

// Loads frame `frame` into intDot and the view, all 3904 dots in ascending order. A frame whose
// bytes lie outside the frame memory throws PlatformError(OutOfRange) before anything changes.
void Bit_Convert(const FrameMemory& bytFrameData, DotGrid& grid, int32_t frame);

// The 488 bytes that Bit_Data_Set would store for the grid as it stands (only -1 counts as on).
std::array<uint8_t, kFrameBytes> gridFrameBytes(const DotGrid& grid);

// Rebuilds the 488 bytes of frame `frame` from intDot; only -1 counts as on. Same range check.
void Bit_Data_Set(FrameMemory& bytFrameData, const DotGrid& grid, int32_t frame);

}  // namespace dotreel
