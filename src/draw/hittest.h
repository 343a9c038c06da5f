// Which dot of the grid lies under a mouse position given in twips of the window's client area.
#pragma once

#include <optional>

namespace dotreel {

// Grid geometry in twips: origin (420, 420), a 105-twip pitch, two halves of 61 columns and
// four pages of 8 rows.
inline constexpr int kGridLeftTwips = 420;
inline constexpr int kGridTopTwips = 420;
inline constexpr int kDotPitchTwips = 105;
inline constexpr int kHalfWidthTwips = 61 * kDotPitchTwips;                    // 6405
inline constexpr int kPageHeightTwips = 8 * kDotPitchTwips;                    // 840
inline constexpr int kGridRightTwips = kGridLeftTwips + 2 * kHalfWidthTwips;   // 13230, exclusive
inline constexpr int kGridBottomTwips = kGridTopTwips + 4 * kPageHeightTwips;  // 3780, exclusive

// The dot index under (X, Y), or nothing off the grid. Half and page are chosen on the exact
// coordinates; the offset inside them is rounded (halves to even) before dividing by the pitch,
// and then kept inside its half and page, so that a position a fraction of a twip below a
// half's or page's far edge still names a dot of that half or page.
std::optional<int> dotAtTwips(float X, float Y);

}  // namespace dotreel
