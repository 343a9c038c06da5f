#include "tool/render.h"

#include <QBuffer>
#include <QImageWriter>
#include <algorithm>

#include "core/dotgrid.h"
#include "tool/args.h"

namespace dotreel::tool {

std::vector<uint8_t> drawFrameIndexed(const FrameMemory& store, int frame, const LcdLook& look) {
    // The frame goes through the editor's own transfer, so the picture follows its dot layout.
    DotGrid grid;
    Bit_Convert(store, grid, frame);
    const int w = look.width();
    std::vector<uint8_t> pixels(static_cast<size_t>(w) * static_cast<size_t>(look.height()),
                                kPanel);
    const int dot = look.scale - look.gap;
    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < kColumns; ++column) {
            const bool on = grid.intDot[static_cast<size_t>(dotIndexAt(row, column))] == kDotOn;
            const uint8_t value = on ? kLit : kUnlit;
            const int x0 = look.gap + column * look.scale;
            const int y0 = look.gap + row * look.scale;
            for (int y = y0; y < y0 + dot; ++y) {
                uint8_t* line = pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(w);
                std::fill(line + x0, line + x0 + dot, value);
            }
        }
    }
    return pixels;
}

namespace {

QImage paletteImage(int width, int height, const LcdLook& look) {
    QImage image(width, height, QImage::Format_Indexed8);
    if (image.isNull())
        throw ToolError("a picture of " + std::to_string(width) + " x " + std::to_string(height) +
                        " pixels is too large; use a smaller --scale or fewer frames");
    image.setColorTable({look.panel, look.unlit, look.lit});
    image.fill(kPanel);
    return image;
}

void blit(QImage& target, int x, int y, const std::vector<uint8_t>& pixels, const LcdLook& look) {
    const int w = look.width();
    for (int row = 0; row < look.height(); ++row) {
        const uint8_t* from = pixels.data() + static_cast<size_t>(row) * static_cast<size_t>(w);
        std::copy(from, from + w, target.scanLine(y + row) + x);
    }
}

}  // namespace

QImage renderFrame(const FrameMemory& store, int frame, const LcdLook& look) {
    QImage image = paletteImage(look.width(), look.height(), look);
    blit(image, 0, 0, drawFrameIndexed(store, frame, look), look);
    return image;
}

QImage renderSheet(const FrameMemory& store, const std::vector<int>& frames, int columns,
                   const LcdLook& look) {
    const int n = static_cast<int>(frames.size());
    const int cols = std::max(1, std::min(columns, n));
    const int rows = (n + cols - 1) / cols;
    const int spacing = look.scale;
    QImage sheet = paletteImage(cols * look.width() + (cols - 1) * spacing,
                                rows * look.height() + (rows - 1) * spacing, look);
    for (int i = 0; i < n; ++i) {
        const int x = (i % cols) * (look.width() + spacing);
        const int y = (i / cols) * (look.height() + spacing);
        blit(sheet, x, y, drawFrameIndexed(store, frames[static_cast<size_t>(i)], look), look);
    }
    return sheet;
}

std::string encodePng(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image))
        throw ToolError("cannot encode PNG: " + writer.errorString().toStdString());
    return bytes.toStdString();
}

}  // namespace dotreel::tool
