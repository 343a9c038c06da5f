// Frames drawn as the LCD shows them: square dots on a pitch, lit and unlit dot colours on the
// panel colour that shows between the dots. Pictures are palette images (panel, unlit, lit), so
// that PNG and GIF output share one drawing.
#pragma once

#include <QImage>
#include <cstdint>
#include <string>
#include <vector>

#include "core/frame.h"

namespace dotreel::tool {

enum PaletteIndex : uint8_t { kPanel = 0, kUnlit = 1, kLit = 2 };

struct LcdLook {
    int scale = 4;  // pixels from one dot to the next
    int gap = 1;    // panel pixels between two dots (and around the edge), below `scale`
    QRgb panel = qRgb(0xBA, 0xCF, 0x8C);
    QRgb unlit = qRgb(0xAE, 0xC2, 0x7E);
    QRgb lit = qRgb(0x20, 0x28, 0x18);

    int width() const { return kColumns * scale + gap; }
    int height() const { return kRows * scale + gap; }
};

// Frame `frame` of `store` as palette indexes, look.width() x look.height(), row by row.
std::vector<uint8_t> drawFrameIndexed(const FrameMemory& store, int frame, const LcdLook& look);

// The same frame as an 8-bit palette image with the look's three colours.
QImage renderFrame(const FrameMemory& store, int frame, const LcdLook& look);

// The frames side by side, `columns` to a row, one dot pitch of panel between them.
QImage renderSheet(const FrameMemory& store, const std::vector<int>& frames, int columns,
                   const LcdLook& look);

// The image as PNG file bytes.
std::string encodePng(const QImage& image);

}  // namespace dotreel::tool
