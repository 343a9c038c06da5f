#include "tool/gifexport.h"

#include <gif_lib.h>

#include <algorithm>
#include <memory>

#include "tool/args.h"

namespace dotreel::tool {
namespace {

int appendOutput(GifFileType* gif, const GifByteType* data, int length) {
    static_cast<std::string*>(gif->UserData)
        ->append(reinterpret_cast<const char*>(data), static_cast<size_t>(length));
    return length;
}

GifColorType gifColour(QRgb rgb) {
    return {static_cast<GifByteType>(qRed(rgb)), static_cast<GifByteType>(qGreen(rgb)),
            static_cast<GifByteType>(qBlue(rgb))};
}

void check(int result, GifFileType* gif, const char* what) {
    if (result == GIF_ERROR) {
        const char* reason = GifErrorString(gif->Error);
        throw ToolError(std::string("GIF encoding failed at ") + what + ": " +
                        (reason != nullptr ? reason : "unknown error"));
    }
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        EGifCloseFile(gif, &error);
    }
};

}  // namespace

std::vector<int> gifDelays(int count, int intervalMs) {
    std::vector<int> delays;
    delays.reserve(static_cast<size_t>(count));
    // Hundredths elapsed at the end of each frame, rounded; each delay is the difference.
    long long shownBefore = 0;
    for (int i = 0; i < count; ++i) {
        const long long shownAfter = (static_cast<long long>(i + 1) * intervalMs + 5) / 10;
        const long long delay = std::max(1LL, shownAfter - shownBefore);
        delays.push_back(static_cast<int>(std::min(delay, 65535LL)));
        shownBefore += delay;
    }
    return delays;
}

std::string encodeGif(const FrameMemory& store, const std::vector<int>& frames, const LcdLook& look,
                      int intervalMs, bool loop) {
    std::string out;
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(EGifOpen(&out, appendOutput, &error));
    if (!gif) throw ToolError("GIF encoder could not start");
    EGifSetGifVersion(gif.get(), true);

    // Four entries: a colour map must have a power-of-two size; the fourth is never used.
    GifColorType colours[4] = {gifColour(look.panel), gifColour(look.unlit), gifColour(look.lit),
                               gifColour(look.panel)};
    std::unique_ptr<ColorMapObject, void (*)(ColorMapObject*)> map(GifMakeMapObject(4, colours),
                                                                   GifFreeMapObject);
    if (!map) throw ToolError("GIF encoder is out of memory");
    const int w = look.width();
    const int h = look.height();
    check(EGifPutScreenDesc(gif.get(), w, h, 2, kPanel, map.get()), gif.get(), "screen");

    if (loop) {
        // The application extension that browsers read as "repeat forever" (count 0).
        static const GifByteType kName[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
        static const GifByteType kForever[] = {1, 0, 0};
        check(EGifPutExtensionLeader(gif.get(), APPLICATION_EXT_FUNC_CODE), gif.get(), "loop");
        check(EGifPutExtensionBlock(gif.get(), sizeof kName, kName), gif.get(), "loop");
        check(EGifPutExtensionBlock(gif.get(), sizeof kForever, kForever), gif.get(), "loop");
        check(EGifPutExtensionTrailer(gif.get()), gif.get(), "loop");
    }

    const std::vector<int> delays = gifDelays(static_cast<int>(frames.size()), intervalMs);
    for (size_t i = 0; i < frames.size(); ++i) {
        GraphicsControlBlock control{};
        control.DisposalMode = DISPOSAL_UNSPECIFIED;
        control.UserInputFlag = false;
        control.DelayTime = delays[i];
        control.TransparentColor = NO_TRANSPARENT_COLOR;
        GifByteType extension[4];
        const size_t length = EGifGCBToExtension(&control, extension);
        check(EGifPutExtension(gif.get(), GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length),
                               extension),
              gif.get(), "frame timing");
        check(EGifPutImageDesc(gif.get(), 0, 0, w, h, false, nullptr), gif.get(), "frame");
        std::vector<uint8_t> pixels = drawFrameIndexed(store, frames[i], look);
        for (int y = 0; y < h; ++y)
            check(EGifPutLine(gif.get(),
                              pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(w), w),
                  gif.get(), "frame pixels");
    }
    GifFileType* raw = gif.release();
    if (EGifCloseFile(raw, &error) == GIF_ERROR)
        throw ToolError(std::string("GIF encoding failed at the end: ") + GifErrorString(error));
    return out;
}

}  // namespace dotreel::tool
