// Mouse edits of single dots and the draw-mode cycle of the mode button.
#pragma once

#include <cstdint>

#include "core/dotgrid.h"

namespace dotreel {

inline constexpr uint8_t kDrawClick = 0;
inline constexpr uint8_t kDrawPencil = 1;
inline constexpr uint8_t kDrawEraser = 2;

// Click mode: any non-zero state counts as on and becomes off; off becomes on.
void toggleDot(DotGrid& grid, int index);
// Pencil sets and eraser clears, writing the dot even when it already has that state.
void penDot(DotGrid& grid, int index);
void eraseDot(DotGrid& grid, int index);

// A mouse press at (X, Y) in twips: toggles the dot under it in click mode, nothing otherwise.
// Returns whether a dot was edited.
bool drawOnPress(DotGrid& grid, uint8_t drawMode, float X, float Y);
// A mouse move to (X, Y), held button or not: pencil sets and eraser clears the dot under it;
// click mode does nothing. Returns whether a dot was edited.
bool drawOnMove(DotGrid& grid, uint8_t drawMode, float X, float Y);

// click -> pencil -> eraser -> click; any other value starts the cycle again at click.
uint8_t nextDrawMode(uint8_t drawMode);
// The mode button's caption for a mode (UTF-8).
const char* drawModeCaption(uint8_t drawMode);

}  // namespace dotreel
