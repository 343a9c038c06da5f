#include "draw/shapes.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/frame.h"
#include "draw/hittest.h"
#include "platform/number.h"

namespace dotreel {
namespace {

// Far enough off the grid for any window; keeps the line's arithmetic small.
constexpr double kFarTwips = 1.0e6;

int floorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

bool onGrid(LatticePoint p) {
    return p.column >= 0 && p.column < kColumns && p.row >= 0 && p.row < kRows;
}

}  // namespace

std::optional<LatticePoint> latticeAtTwips(float X, float Y) {
    if (const auto index = dotAtTwips(X, Y)) return LatticePoint{dotColumn(*index), dotRow(*index)};
    const double x = X;
    const double y = Y;
    if (!(std::abs(x) < kFarTwips && std::abs(y) < kFarTwips)) return std::nullopt;  // NaN too
    // Off the grid the pitch goes on from the grid's edges, rounded as the hit test rounds.
    const int dx = static_cast<int>(roundHalfEven(x - kGridLeftTwips));
    const int dy = static_cast<int>(roundHalfEven(y - kGridTopTwips));
    return LatticePoint{floorDiv(dx, kDotPitchTwips), floorDiv(dy, kDotPitchTwips)};
}

std::vector<int> lineDots(LatticePoint from, LatticePoint to) {
    std::vector<int> dots;
    const int dx = std::abs(to.column - from.column);
    const int dy = -std::abs(to.row - from.row);
    const int sx = from.column < to.column ? 1 : -1;
    const int sy = from.row < to.row ? 1 : -1;
    int error = dx + dy;
    LatticePoint p = from;
    for (;;) {
        if (onGrid(p)) dots.push_back(dotIndexAt(p.row, p.column));
        if (p == to) break;
        const int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            p.column += sx;
        }
        if (twice <= dx) {
            error += dx;
            p.row += sy;
        }
    }
    return dots;
}

std::vector<int> rectangleDots(LatticePoint a, LatticePoint b) {
    const int left = std::min(a.column, b.column), right = std::max(a.column, b.column);
    const int top = std::min(a.row, b.row), bottom = std::max(a.row, b.row);
    std::vector<int> dots;
    auto add = [&dots](int column, int row) {
        if (onGrid({column, row})) dots.push_back(dotIndexAt(row, column));
    };
    // Only the part of the outline near the grid is walked, however far off a corner lies.
    const int fromColumn = std::max(left, -1), toColumn = std::min(right, kColumns);
    const int fromRow = std::max(top + 1, -1), toRow = std::min(bottom - 1, kRows);
    for (int column = fromColumn; column <= toColumn; ++column) {
        add(column, top);
        if (bottom != top) add(column, bottom);
    }
    for (int row = fromRow; row <= toRow; ++row) {
        add(left, row);
        if (right != left) add(right, row);
    }
    return dots;
}

ShapeStroke::ShapeStroke(DotGrid& grid, ShapeKind kind, bool pencil, LatticePoint start)
    : grid_(grid),
      kind_(kind),
      pencil_(pencil),
      start_(start),
      base_(grid.intDot.begin(), grid.intDot.end()) {
    moveTo(start);
}

void ShapeStroke::moveTo(LatticePoint end) {
    // The grid differs from the base outside the shape's dots only when something replaced it.
    std::vector<int16_t> expected = base_;
    for (const int index : shown_)
        expected[static_cast<size_t>(index)] = pencil_ ? kDotOn : kDotOff;
    if (!std::equal(expected.begin(), expected.end(), grid_.intDot.begin())) {
        base_.assign(grid_.intDot.begin(), grid_.intDot.end());
        shown_.clear();
    }
    std::vector<int> next =
        kind_ == ShapeKind::Line ? lineDots(start_, end) : rectangleDots(start_, end);
    std::vector<bool> inNext(kDotCount, false);
    for (const int index : next) inNext[static_cast<size_t>(index)] = true;
    for (const int index : shown_) {
        if (inNext[static_cast<size_t>(index)]) continue;
        grid_.put(index, base_[static_cast<size_t>(index)] != kDotOff);
        // put() writes -1 for any non-zero state: keep the state exactly as it was.
        grid_.intDot[static_cast<size_t>(index)] = base_[static_cast<size_t>(index)];
    }
    for (const int index : next) grid_.put(index, pencil_);
    shown_ = std::move(next);
}

}  // namespace dotreel
