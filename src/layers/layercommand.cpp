#include "layers/layercommand.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>

#include "platform/errors.h"
#include "platform/number.h"

namespace dotreel {
namespace {

constexpr int32_t kLastFrameByte = kFrameCount * kFrameBytes - 1;  // 130783

// A frame-number box that holds a frame 0..267 once rounded: its exact value (fractions move a
// byte range by part of a frame) and the whole frame it names.
struct FrameBox {
    double value = 0.0;
    int32_t frame = 0;
};

std::optional<FrameBox> frameBox(std::string_view text) {
    FrameBox box;
    try {
        // Rounded on the decimal digits, so that 267.4999999999999999999 stays frame 267.
        box.frame = toInteger16(text);
        box.value = toNumber(text);
    } catch (const PlatformError&) {
        return std::nullopt;
    }
    if (box.frame < 0 || box.frame > kLastFrame) return std::nullopt;
    return box;
}

LayerInputError boxError(const char* box) {
    return LayerInputError{std::string(box) + "には 0～" + std::to_string(kLastFrame) +
                           " のフレーム番号を入れてください。"};
}

constexpr const char* kStartBox = "「開始」";
constexpr const char* kEndBox = "「終了」";
constexpr const char* kSourceBox = "「スクロール」の番号欄";

}  // namespace

LayerCheck checkLayerCommand(const LayerCommandInput& input) {
    if (input.index < 0 || input.index > 2)
        return LayerInputError{"このボタンにはコマンドがありません。"};
    LayerPlan plan;
    plan.command = static_cast<LayerCommand>(input.index);

    FrameBox start{0.0, 0};
    FrameBox end{double{kLastFrame}, kLastFrame};
    if (input.frameRange) {
        const auto s = frameBox(input.startText);
        if (!s) return boxError(kStartBox);
        const auto e = frameBox(input.endText);
        if (!e) return boxError(kEndBox);
        // Ordered by the whole frame first: two texts that differ only beyond a double's
        // precision ("0.50000000000000000001" and "0.5") have equal values but name frames 1
        // and 0, and ordering by value alone would give the backwards range 1..0.
        const bool inOrder = s->frame < e->frame || (s->frame == e->frame && s->value <= e->value);
        start = inOrder ? *s : *e;
        end = inOrder ? *e : *s;
    }

    if (plan.command == LayerCommand::Picture) {
        const auto source = frameBox(input.sourceText);
        if (!source) return boxError(kSourceBox);
        plan.source = source->frame;
        plan.first = start.frame;
        plan.last = end.frame;
        return plan;
    }

    if (!input.frameRange) {
        plan.first = 0;
        plan.last = kStoreBytes - 1;
        return plan;
    }
    // A fraction moves the range by part of a frame; a start just below 0 or an end just below
    // 267.5 still names frames 0..267, so the bytes are held to those frames.
    const double firstByte = roundHalfEven(start.value * kFrameBytes);
    const double lastByte = roundHalfEven((end.value + 1.0) * kFrameBytes - 1.0);
    plan.first = static_cast<int32_t>(std::clamp(firstByte, 0.0, double{kLastFrameByte}));
    plan.last = static_cast<int32_t>(std::clamp(lastByte, 0.0, double{kLastFrameByte}));
    return plan;
}

void applyLayerPlan(FrameMemory& bytFrameData, const LayerPlan& plan) {
    switch (plan.command) {
        case LayerCommand::Erase:
        case LayerCommand::Fill: {
            const uint8_t value = plan.command == LayerCommand::Erase ? 0 : 255;
            for (int32_t b = plan.first; b <= plan.last; ++b)
                bytFrameData[static_cast<size_t>(b)] = value;
            return;
        }
        case LayerCommand::Picture: {
            std::array<uint8_t, kFrameBytes> picture{};
            const size_t base = static_cast<size_t>(plan.source) * kFrameBytes;
            std::copy_n(bytFrameData.begin() + static_cast<ptrdiff_t>(base), kFrameBytes,
                        picture.begin());
            for (int32_t f = plan.first; f <= plan.last; ++f)
                std::copy(picture.begin(), picture.end(),
                          bytFrameData.begin() + static_cast<ptrdiff_t>(f) * kFrameBytes);
            return;
        }
    }
}

}  // namespace dotreel
