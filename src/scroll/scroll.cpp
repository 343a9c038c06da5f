#include "scroll/scroll.h"

#include <array>
#include <cstddef>

#include "core/frame.h"

namespace dotreel {
namespace {

constexpr int kLastColumnInHalf = kHalfColumns - 1;  // 60
constexpr int kLastPage = kPages - 1;                // 3

// Entries 0..60 serve a vertical scroll (one per column of a half), 0..31 a horizontal one
// (one per screen row).
using EdgeLine = std::array<bool, 62>;

// The destination takes the source's state as stored and the source's look as shown.
void move(DotGrid& grid, int destination, int source) {
    grid.intDot[static_cast<size_t>(destination)] = grid.intDot[static_cast<size_t>(source)];
    grid.setFillStyle(destination, grid.fillStyle(source));
}

bool edgeValue(const DotGrid& grid, int index, ScrollOptions options) {
    if (options.rotate) return grid.intDot[static_cast<size_t>(index)] != 0;
    return options.fill;
}

}  // namespace

void scrollUp(DotGrid& grid, ScrollOptions options) {
    for (int half = 0; half < 2; ++half) {
        EdgeLine edge{};
        for (int c = 0; c <= kLastColumnInHalf; ++c)
            edge[static_cast<size_t>(c)] = edgeValue(grid, dotIndex(half, 0, c, 0), options);
        for (int p = 0; p <= kLastPage; ++p) {
            for (int c = 0; c <= kLastColumnInHalf; ++c)
                for (int b = 0; b <= 6; ++b)
                    move(grid, dotIndex(half, p, c, b), dotIndex(half, p, c, b + 1));
            if (p < kLastPage)
                for (int c = 0; c <= kLastColumnInHalf; ++c)
                    move(grid, dotIndex(half, p, c, 7), dotIndex(half, p + 1, c, 0));
        }
        for (int c = 0; c <= kLastColumnInHalf; ++c)
            grid.put(dotIndex(half, kLastPage, c, 7), edge[static_cast<size_t>(c)]);
    }
}

void scrollDown(DotGrid& grid, ScrollOptions options) {
    for (int half = 0; half < 2; ++half) {
        EdgeLine edge{};
        for (int c = 0; c <= kLastColumnInHalf; ++c)
            edge[static_cast<size_t>(c)] =
                edgeValue(grid, dotIndex(half, kLastPage, c, 7), options);
        for (int p = kLastPage; p >= 0; --p) {
            for (int c = 0; c <= kLastColumnInHalf; ++c)
                for (int b = 7; b >= 1; --b)
                    move(grid, dotIndex(half, p, c, b), dotIndex(half, p, c, b - 1));
            if (p > 0)
                for (int c = 0; c <= kLastColumnInHalf; ++c)
                    move(grid, dotIndex(half, p, c, 0), dotIndex(half, p - 1, c, 7));
        }
        for (int c = 0; c <= kLastColumnInHalf; ++c)
            grid.put(dotIndex(half, 0, c, 0), edge[static_cast<size_t>(c)]);
    }
}

void scrollLeft(DotGrid& grid, ScrollOptions options) {
    EdgeLine edge{};
    size_t n = 0;
    for (int p = 0; p <= kLastPage; ++p)
        for (int b = 0; b < 8; ++b) edge[n++] = edgeValue(grid, dotIndex(0, p, 0, b), options);
    for (int p = 0; p <= kLastPage; ++p) {
        for (int c = 0; c < kLastColumnInHalf; ++c)
            for (int b = 0; b < 8; ++b) move(grid, dotIndex(0, p, c, b), dotIndex(0, p, c + 1, b));
        // Column 60 takes column 61 across the boundary between the halves.
        for (int b = 0; b < 8; ++b)
            move(grid, dotIndex(0, p, kLastColumnInHalf, b), dotIndex(1, p, 0, b));
        for (int c = 0; c < kLastColumnInHalf; ++c)
            for (int b = 0; b < 8; ++b) move(grid, dotIndex(1, p, c, b), dotIndex(1, p, c + 1, b));
    }
    n = 0;
    for (int p = 0; p <= kLastPage; ++p)
        for (int b = 0; b < 8; ++b) grid.put(dotIndex(1, p, kLastColumnInHalf, b), edge[n++]);
}

void scrollRight(DotGrid& grid, ScrollOptions options) {
    EdgeLine edge{};
    size_t n = 0;
    for (int p = 0; p <= kLastPage; ++p)
        for (int b = 0; b < 8; ++b)
            edge[n++] = edgeValue(grid, dotIndex(1, p, kLastColumnInHalf, b), options);
    for (int p = 0; p <= kLastPage; ++p) {
        for (int c = kLastColumnInHalf; c >= 1; --c)
            for (int b = 0; b < 8; ++b) move(grid, dotIndex(1, p, c, b), dotIndex(1, p, c - 1, b));
        // Column 61 takes column 60 across the boundary between the halves.
        for (int b = 0; b < 8; ++b)
            move(grid, dotIndex(1, p, 0, b), dotIndex(0, p, kLastColumnInHalf, b));
        for (int c = kLastColumnInHalf; c >= 1; --c)
            for (int b = 0; b < 8; ++b) move(grid, dotIndex(0, p, c, b), dotIndex(0, p, c - 1, b));
    }
    n = 0;
    for (int p = 0; p <= kLastPage; ++p)
        for (int b = 0; b < 8; ++b) grid.put(dotIndex(0, p, 0, b), edge[n++]);
}

void scrollPicture(DotGrid& grid, ScrollDirection direction, ScrollOptions options) {
    switch (direction) {
        case ScrollDirection::Up:
            scrollUp(grid, options);
            break;
        case ScrollDirection::Down:
            scrollDown(grid, options);
            break;
        case ScrollDirection::Left:
            scrollLeft(grid, options);
            break;
        case ScrollDirection::Right:
            scrollRight(grid, options);
            break;
    }
}

int16_t nextFrameNumber(int16_t frame) {
    if (frame >= kLastFrame) return 0;
    return static_cast<int16_t>(frame + 1);
}

int16_t previousFrameNumber(int16_t frame) {
    if (frame <= 0) return static_cast<int16_t>(kLastFrame);
    return static_cast<int16_t>(frame - 1);
}

}  // namespace dotreel
