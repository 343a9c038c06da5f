#include "draw/patterns.h"

#include <cstddef>

namespace dotreel {

void applyPattern(DotGrid& grid, ScreenPattern pattern) {
    for (int i = 0; i < kDotCount; ++i) {
        switch (pattern) {
            case ScreenPattern::Erase:
                grid.put(i, false);
                break;
            case ScreenPattern::Fill:
                grid.put(i, true);
                break;
            case ScreenPattern::Invert:
                grid.put(i, grid.intDot[static_cast<size_t>(i)] != kDotOn);
                break;
        }
    }
}

}  // namespace dotreel
