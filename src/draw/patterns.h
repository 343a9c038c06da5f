// The whole-grid patterns of the pattern buttons: clear, fill, invert.
#pragma once

#include <cstdint>

#include "core/dotgrid.h"

namespace dotreel {

enum class ScreenPattern : int16_t { Erase = 0, Fill = 1, Invert = 2 };

// Visits dots 0..3903 in ascending order, writing each dot's state and then its look. Invert
// turns exactly -1 off and every other state, 0 included, on. The frame memory is not involved.
void applyPattern(DotGrid& grid, ScreenPattern pattern);

}  // namespace dotreel
