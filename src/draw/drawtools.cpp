#include "draw/drawtools.h"

#include <cstddef>

#include "draw/hittest.h"

namespace dotreel {

void toggleDot(DotGrid& grid, int index) {
    grid.put(index, grid.intDot[static_cast<size_t>(index)] == 0);
}

void penDot(DotGrid& grid, int index) { grid.put(index, true); }

void eraseDot(DotGrid& grid, int index) { grid.put(index, false); }

bool drawOnPress(DotGrid& grid, uint8_t drawMode, float X, float Y) {
    if (drawMode != kDrawClick) return false;
    const auto index = dotAtTwips(X, Y);
    if (!index) return false;
    toggleDot(grid, *index);
    return true;
}

bool drawOnMove(DotGrid& grid, uint8_t drawMode, float X, float Y) {
    if (drawMode != kDrawPencil && drawMode != kDrawEraser) return false;
    const auto index = dotAtTwips(X, Y);
    if (!index) return false;
    if (drawMode == kDrawPencil)
        penDot(grid, *index);
    else
        eraseDot(grid, *index);
    return true;
}

uint8_t nextDrawMode(uint8_t drawMode) {
    switch (drawMode) {
        case kDrawClick:
            return kDrawPencil;
        case kDrawPencil:
            return kDrawEraser;
        default:
            return kDrawClick;
    }
}

const char* drawModeCaption(uint8_t drawMode) {
    switch (drawMode) {
        case kDrawPencil:
            return "鉛  筆";
        case kDrawEraser:
            return "消しゴム";
        default:
            return "クリック";
    }
}

}  // namespace dotreel
