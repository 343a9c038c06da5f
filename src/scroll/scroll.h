// Moving the whole picture on the dot grid by one dot, and the frame-number step that the same
// buttons perform in frame mode.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/dotgrid.h"

namespace dotreel {

enum class ScrollDirection : int16_t { Up = 0, Down = 1, Left = 2, Right = 3 };

struct ScrollOptions {
    bool rotate = true;  // carry the outgoing line to the opposite edge
    bool fill = false;   // shift only: light the vacated line instead of clearing it
};

// Moves every dot one place in `direction`, in place. Each dot takes its neighbour's state as
// stored and its neighbour's look as shown; the line entering at the far edge is either the
// outgoing line (rotate: any non-zero state counts as lit) or a cleared or lit line (shift).
// Vertical scrolls treat each half on its own; horizontal ones cross from column 60 to 61.
void scrollPicture(DotGrid& grid, ScrollDirection direction, ScrollOptions options);

void scrollUp(DotGrid& grid, ScrollOptions options);
void scrollDown(DotGrid& grid, ScrollOptions options);
void scrollLeft(DotGrid& grid, ScrollOptions options);
void scrollRight(DotGrid& grid, ScrollOptions options);

// Frame mode's "UP" and "DOWN": one frame on or back, wrapping between 267 and 0.
int16_t nextFrameNumber(int16_t frame);
int16_t previousFrameNumber(int16_t frame);

// The scroll group's mode lives only in the mode button's caption.
inline constexpr std::string_view kImageModeCaption = "Image";
inline constexpr std::string_view kFrameModeCaption = "Frame";
// Image mode exactly when the caption is "Image" (case-sensitive); anything else is frame mode.
inline bool isImageMode(std::string_view caption) { return caption == kImageModeCaption; }

}  // namespace dotreel
