#include "tool/gifexport.h"

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cstdint>
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

// Palette entry 3 is never drawn; it marks the pixels a frame leaves as they are.
constexpr GifByteType kTransparent = 3;
constexpr int kMaxDelay = 65535;  // hundredths of a second, the most one frame can stay

// The size in bits of `data` compressed the way GIF does (LZW over 2-bit pixels, codes up to 12
// bits, the table cleared when full). Close enough to choose between ways of writing a frame.
size_t lzwBits(const std::vector<uint8_t>& data) {
    constexpr int kFirstFree = 6;
    constexpr int kMaxCodes = 4096;
    std::vector<std::array<int16_t, 4>> child(kMaxCodes);
    const auto reset = [&] {
        for (auto& c : child) c.fill(-1);
    };
    reset();
    int next = kFirstFree;
    size_t width = 3;
    size_t bits = width;  // the opening clear code
    if (data.empty()) return bits + width;
    int prefix = data[0] & 3;
    for (size_t i = 1; i < data.size(); ++i) {
        const int c = data[i] & 3;
        const int16_t known = child[static_cast<size_t>(prefix)][static_cast<size_t>(c)];
        if (known >= 0) {
            prefix = known;
            continue;
        }
        bits += width;
        if (next < kMaxCodes) {
            child[static_cast<size_t>(prefix)][static_cast<size_t>(c)] =
                static_cast<int16_t>(next++);
            if (next > (1 << width) && width < 12) ++width;
        } else {
            bits += width;  // clear code, start again
            reset();
            next = kFirstFree;
            width = 3;
        }
        prefix = c;
    }
    return bits + 2 * width;  // the last code and the end code
}

using Scratch = std::array<std::vector<uint8_t>, 3>;

const std::vector<uint8_t>& cropped(const std::vector<uint8_t>& pixels, int w, int left, int top,
                                    int width, int height, std::vector<uint8_t>& out) {
    out.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        const auto from =
            pixels.begin() + static_cast<std::ptrdiff_t>((static_cast<size_t>(y + top) * w) + left);
        std::copy(from, from + width,
                  out.begin() + static_cast<std::ptrdiff_t>(static_cast<size_t>(y) * width));
    }
    return out;
}

// The changed rectangle written three ways, the smallest kept: every pixel as it is; every
// unchanged pixel transparent; an unchanged pixel continuing whatever went before it when it may
// (transparent, or its own colour), so that runs grow.
const std::vector<uint8_t>& smallestRectangle(const std::vector<uint8_t>& pixels,
                                              const std::vector<uint8_t>& shown, int w, int left,
                                              int top, int width, int height, Scratch& scratch) {
    const std::vector<uint8_t>& plain = cropped(pixels, w, left, top, width, height, scratch[0]);
    std::vector<uint8_t>& clear = scratch[1];
    std::vector<uint8_t>& runs = scratch[2];
    clear.resize(plain.size());
    runs.resize(plain.size());
    uint8_t previous = kTransparent;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const size_t at = (static_cast<size_t>(y + top) * w) + static_cast<size_t>(x + left);
            const size_t k = (static_cast<size_t>(y) * width) + static_cast<size_t>(x);
            const bool same = pixels[at] == shown[at];
            clear[k] = same ? kTransparent : pixels[at];
            if (same && (previous == kTransparent || previous == pixels[at]))
                runs[k] = previous;
            else
                runs[k] = same ? kTransparent : pixels[at];
            previous = runs[k];
        }
    }
    const size_t sizes[3] = {lzwBits(plain), lzwBits(clear), lzwBits(runs)};
    const auto best = static_cast<size_t>(std::min_element(sizes, sizes + 3) - sizes);
    return scratch[best];
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
        delays.push_back(static_cast<int>(std::min(delay, static_cast<long long>(kMaxDelay))));
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

    // Four entries: a colour map must have a power-of-two size; the fourth is the transparent
    // one, never shown.
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

    // Each frame after the first is written as the rectangle where it differs from what is on
    // show, over the picture before it (disposal "do not dispose"), the pixels inside that did
    // not change as the transparent entry 3. Frames equal to the one before are not written
    // again: the one on show stays for their delays as well.
    const std::vector<int> delays = gifDelays(static_cast<int>(frames.size()), intervalMs);
    std::vector<uint8_t> shown;    // the picture on show after the frames written so far
    std::vector<uint8_t> pending;  // the next picture to write, and how long it stays
    int pendingDelay = 0;
    Scratch scratch;
    const auto writePending = [&] {
        int left = 0;
        int top = 0;
        int right = w - 1;
        int bottom = h - 1;
        const bool first = shown.empty();
        if (!first) {
            // The bounding box of the changed pixels; one pixel when nothing changed (a frame
            // kept only because its delay would overflow the previous one's).
            left = w;
            top = h;
            right = -1;
            bottom = -1;
            for (int y = 0; y < h; ++y) {
                const size_t row = static_cast<size_t>(y) * static_cast<size_t>(w);
                for (int x = 0; x < w; ++x) {
                    if (pending[row + static_cast<size_t>(x)] ==
                        shown[row + static_cast<size_t>(x)])
                        continue;
                    left = std::min(left, x);
                    right = std::max(right, x);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
            }
            if (right < 0) left = top = right = bottom = 0;
        }
        GraphicsControlBlock control{};
        control.DisposalMode = DISPOSE_DO_NOT;
        control.UserInputFlag = false;
        control.DelayTime = pendingDelay;
        control.TransparentColor = first ? NO_TRANSPARENT_COLOR : kTransparent;
        GifByteType extension[4];
        const size_t length = EGifGCBToExtension(&control, extension);
        check(EGifPutExtension(gif.get(), GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length),
                               extension),
              gif.get(), "frame timing");
        const int width = right - left + 1;
        check(EGifPutImageDesc(gif.get(), left, top, width, bottom - top + 1, false, nullptr),
              gif.get(), "frame");
        const int height = bottom - top + 1;
        const std::vector<uint8_t>& chosen =
            first ? cropped(pending, w, left, top, width, height, scratch[0])
                  : smallestRectangle(pending, shown, w, left, top, width, height, scratch);
        for (int y = 0; y < height; ++y)
            check(EGifPutLine(gif.get(),
                              const_cast<GifByteType*>(chosen.data()) +
                                  static_cast<size_t>(y) * static_cast<size_t>(width),
                              width),
                  gif.get(), "frame pixels");
        shown.swap(pending);
    };
    for (size_t i = 0; i < frames.size(); ++i) {
        std::vector<uint8_t> pixels = drawFrameIndexed(store, frames[i], look);
        if (i > 0 && pixels == pending && pendingDelay + delays[i] <= kMaxDelay) {
            pendingDelay += delays[i];
            continue;
        }
        if (i > 0) writePending();
        pending = std::move(pixels);
        pendingDelay = delays[i];
    }
    if (!frames.empty()) writePending();
    GifFileType* raw = gif.release();
    if (EGifCloseFile(raw, &error) == GIF_ERROR)
        throw ToolError(std::string("GIF encoding failed at the end: ") + GifErrorString(error));
    return out;
}

}  // namespace dotreel::tool
