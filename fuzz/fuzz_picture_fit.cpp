// Small pictures through the same fitting as import. Any picture must come out as 122 x 32 grey
// levels and change only its own frame of the store; a picture drawn as export draws a frame
// (any scale and gap, any colours) must come back as exactly that frame.
#include <QImage>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/frame.h"
#include "fuzzsupport.h"
#include "pictures/imageimport.h"
#include "tool/render.h"

using namespace dotreel;
using namespace dotreel::pictures;
using namespace dotreel::tool;
using fuzzsupport::check;

namespace {

// Reads bytes from the input in turn; zeros once it is used up.
struct Bytes {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    uint8_t next() { return at < size ? data[at++] : 0; }
};

void checkStored(const QImage& fitted, const ImportOptions& options, int frame,
                 const FrameMemory* expected) {
    check(fitted.width() == kColumns && fitted.height() == kRows &&
              fitted.format() == QImage::Format_Grayscale8,
          "a fitted picture that is not 122 x 32 grey levels");
    // Kept from run to run: a fresh store per run (and its copy) costs more than the fitting,
    // mostly in page faults.
    static const auto before = [] {
        auto b = std::make_unique<FrameMemory>();
        b->fill(0xA5);
        return b;
    }();
    static const auto store = std::make_unique<FrameMemory>();
    *store = *before;
    storePicture(fitted, options, *store, frame);
    const size_t first = static_cast<size_t>(frame) * kFrameBytes;
    check(std::equal(store->begin(), store->begin() + static_cast<std::ptrdiff_t>(first),
                     before->begin()) &&
              std::equal(store->begin() + static_cast<std::ptrdiff_t>(first + kFrameBytes),
                         store->end(),
                         before->begin() + static_cast<std::ptrdiff_t>(first + kFrameBytes)),
          "a picture changed bytes outside its frame");
    if (expected != nullptr)
        check(std::equal(store->begin() + static_cast<std::ptrdiff_t>(first),
                         store->begin() + static_cast<std::ptrdiff_t>(first + kFrameBytes),
                         expected->begin()),
              "an exported frame did not import back exactly");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Bytes in{data, size};
    const uint8_t mode = in.next();
    const int frame = in.next() % kFrameCount;
    if ((mode & 1) != 0) {
        // A frame as export draws it, at scale 2..4 with a gap below the scale (larger ones only
        // take longer to draw).
        static const auto source = std::make_unique<FrameMemory>();
        source->fill(0);
        for (size_t k = 0; k < kFrameBytes; ++k) (*source)[k] = in.next();
        LcdLook look;
        look.scale = 2 + in.next() % 3;
        look.gap = 1 + in.next() % (look.scale - 1);
        // Lit darker than unlit and panel, as a picture of the LCD is.
        look.lit = qRgb(in.next() % 100, in.next() % 100, in.next() % 100);
        look.unlit = qRgb(160 + in.next() % 96, 160 + in.next() % 96, 160 + in.next() % 96);
        look.panel = qRgb(160 + in.next() % 96, 160 + in.next() % 96, 160 + in.next() % 96);
        const QImage drawn = renderFrame(*source, 0, look);
        checkStored(fitToLcd(drawn, false), ImportOptions{}, frame, source.get());
        return 0;
    }
    // Any small picture: size, format, pixels and options from the input.
    const int w = 1 + in.next() % 160;
    const int h = 1 + in.next() % 64;
    static const QImage::Format kFormats[] = {QImage::Format_ARGB32, QImage::Format_RGB32,
                                              QImage::Format_Grayscale8, QImage::Format_Mono,
                                              QImage::Format_Indexed8};
    const QImage::Format format = kFormats[(mode >> 1) % 5];
    QImage picture(w, h, format);
    if (format == QImage::Format_Indexed8) {
        QVector<QRgb> table;
        for (int i = 0; i < 4; ++i)
            table.push_back(qRgba(in.next(), in.next(), in.next(), in.next()));
        picture.setColorTable(table);
    }
    if (format == QImage::Format_Mono) picture.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    for (int y = 0; y < h; ++y) {
        uchar* line = picture.scanLine(y);
        const auto bytes = static_cast<size_t>(picture.bytesPerLine());
        for (size_t x = 0; x < bytes; ++x) line[x] = in.next();
        if (format == QImage::Format_Indexed8)
            for (int x = 0; x < w; ++x) line[x] &= 3;
    }
    ImportOptions options;
    options.threshold = in.next();
    options.dither = (mode & 0x40) != 0;
    options.invert = (mode & 0x80) != 0;
    checkStored(fitToLcd(picture, options.invert), options, frame, nullptr);
    return 0;
}
