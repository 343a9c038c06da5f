#include "draw/hittest.h"

#include <algorithm>

#include "core/frame.h"
#include "platform/number.h"

namespace dotreel {

std::optional<int> dotAtTwips(float X, float Y) {
    // Widening to double is exact, and so is the subtraction of a whole-twip edge below.
    const double x = X;
    const double y = Y;

    int half = 0;
    int halfEdge = 0;
    if (x >= kGridLeftTwips && x < kGridLeftTwips + kHalfWidthTwips) {
        half = 0;
        halfEdge = kGridLeftTwips;
    } else if (x >= kGridLeftTwips + kHalfWidthTwips && x < kGridRightTwips) {
        half = 1;
        halfEdge = kGridLeftTwips + kHalfWidthTwips;
    } else {
        return std::nullopt;  // also NaN, which fails every comparison
    }

    int page = -1;
    int pageTop = 0;
    for (int p = 0; p < kPages; ++p) {
        const int top = kGridTopTwips + kPageHeightTwips * p;
        if (y >= top && y < top + kPageHeightTwips) {
            page = p;
            pageTop = top;
            break;
        }
    }
    if (page < 0) return std::nullopt;

    // Both offsets are below 6405 here, so the rounded values fit an int.
    const int column = static_cast<int>(roundHalfEven(x - halfEdge)) / kDotPitchTwips;
    const int row = static_cast<int>(roundHalfEven(y - pageTop)) / kDotPitchTwips;
    return dotIndex(half, page, std::clamp(column, 0, kHalfColumns - 1), std::clamp(row, 0, 7));
}

}  // namespace dotreel
