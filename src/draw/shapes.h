// Straight lines and rectangle outlines drawn with a press, a drag and the release (pencil and
// eraser modes, with Shift or Ctrl+Shift): the dots of a shape on the lattice, and the stroke
// that shows the shape on the grid while the pointer moves and leaves it there on release.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/dotgrid.h"

namespace dotreel {

// A place on the dot lattice: column and row, which may lie off the grid (a drag that leaves it).
struct LatticePoint {
    int column = 0;
    int row = 0;
    bool operator==(const LatticePoint&) const = default;
};

// The lattice place under (X, Y) in twips: the grid's own hit test on the grid, and the same
// pitch carried on beyond it. Nothing for a position that is not a number or absurdly far off.
std::optional<LatticePoint> latticeAtTwips(float X, float Y);

// The dots of the line from `from` to `to` (Bresenham: one dot per step along the longer axis,
// both ends included), in order from `from`, as dot indexes; places off the grid are left out.
std::vector<int> lineDots(LatticePoint from, LatticePoint to);

// The outline of the rectangle with corners `a` and `b`, each dot once; off the grid left out.
std::vector<int> rectangleDots(LatticePoint a, LatticePoint b);

enum class ShapeKind : uint8_t { Line, Rectangle };

// One press-drag-release. While it lasts, the grid shows the shape drawn over the grid as it was
// at the press: each move puts back the dots the previous shape covered and draws the new one.
// If something else replaced the grid meanwhile (a playback tick, a frame shown), the grid as it
// now is becomes the base, so nothing of the old frame comes back.
class ShapeStroke {
public:
    // `pencil`: the shape lights its dots; otherwise it clears them (eraser).
    ShapeStroke(DotGrid& grid, ShapeKind kind, bool pencil, LatticePoint start);
    void moveTo(LatticePoint end);
    ShapeKind kind() const { return kind_; }

private:
    DotGrid& grid_;
    ShapeKind kind_;
    bool pencil_;
    LatticePoint start_;
    std::vector<int16_t> base_;  // intDot at the press (or when the grid was last replaced)
    std::vector<int> shown_;     // the dots the shape now on the grid covers
};

}  // namespace dotreel
