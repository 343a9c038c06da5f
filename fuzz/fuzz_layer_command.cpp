// Any button index, tick and box texts through the layer commands' check, then the checked
// command on a frame memory: it may change only the bytes the command names, never byte 131072,
// and with the range ticked nothing after the last frame.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "core/frame.h"
#include "fuzzsupport.h"
#include "layers/layercommand.h"
#include "platform/errors.h"
#include "platform/number.h"

using namespace dotreel;
using fuzzsupport::check;

namespace {

constexpr size_t kLastFrameByte = static_cast<size_t>(kFrameCount) * kFrameBytes - 1;  // 130783

// The input, as lines: the button index as a decimal text (any 16-bit value, the rest taken as
// garbage), the tick ("" or "0" unticked), the start, end and source texts. Readable seeds, and
// mutations that stay meaningful.
LayerCommandInput parseInput(std::string_view data, std::vector<std::string>& storage) {
    storage.assign(5, std::string());
    size_t field = 0;
    for (const char c : data) {
        if (c == '\n' && field < 4) {
            ++field;
            continue;
        }
        storage[field] += c;
    }
    LayerCommandInput input;
    int32_t index = 0;
    bool negative = false;
    for (const char c : storage[0]) {
        if (c == '-') negative = !negative;
        if (c >= '0' && c <= '9') index = (index * 10 + (c - '0')) % 65536;
    }
    input.index = static_cast<int16_t>(static_cast<uint16_t>(negative ? -index : index));
    input.frameRange = !(storage[1].empty() || storage[1] == "0");
    input.startText = storage[2];
    input.endText = storage[3];
    input.sourceText = storage[4];
    return input;
}

uint8_t patternByte(size_t k) {
    // Never 0 or 255 in a row of the same value, so that an erase or a fill always shows.
    return static_cast<uint8_t>(1 + (k * 97u + (k >> 8)) % 253u);
}

// The frame a box names, as the command must read it; nothing when it names none.
std::optional<int32_t> namedFrame(std::string_view text) {
    try {
        const int16_t v = toInteger16(text);
        if (v >= 0 && v <= kLastFrame) return v;
    } catch (const PlatformError&) {
    }
    return std::nullopt;
}

void checkPlan(const LayerCommandInput& input, const LayerPlan& plan) {
    check(input.index >= 0 && input.index <= 2, "a button without a command gave a plan");
    check(static_cast<int>(plan.command) == input.index, "the plan is for another button");
    check(plan.first <= plan.last, "the plan's range runs backwards");

    const auto start = namedFrame(input.startText);
    const auto end = namedFrame(input.endText);
    if (input.frameRange) check(start && end, "a ticked range with a bad box was accepted");
    const int32_t lowFrame = input.frameRange ? std::min(*start, *end) : 0;
    const int32_t highFrame = input.frameRange ? std::max(*start, *end) : kLastFrame;

    if (plan.command == LayerCommand::Picture) {
        const auto source = namedFrame(input.sourceText);
        check(source && plan.source == *source, "the source frame is not the box's frame");
        check(plan.first == lowFrame && plan.last == highFrame,
              "the picture's frames are not the boxes' frames");
        return;
    }
    if (!input.frameRange) {
        check(plan.first == 0 && plan.last == kStoreBytes - 1, "unticked range is not all bytes");
        return;
    }
    check(plan.first >= 0 && static_cast<size_t>(plan.last) <= kLastFrameByte,
          "a ticked range reaches past the last frame");
    // A fraction moves the range by part of a frame, never by a whole one.
    check(plan.first > (lowFrame - 1) * kFrameBytes && plan.first < (lowFrame + 1) * kFrameBytes,
          "the first byte is not near the start frame");
    check(plan.last >= highFrame * kFrameBytes - 1 && plan.last < (highFrame + 2) * kFrameBytes,
          "the last byte is not near the end frame");
}

void checkApply(const LayerPlan& plan, bool frameRange) {
    auto memory = std::make_unique<FrameMemory>();
    for (size_t k = 0; k < memory->size(); ++k) (*memory)[k] = patternByte(k);
    const auto before = std::make_unique<FrameMemory>(*memory);
    applyLayerPlan(*memory, plan);

    check((*memory)[kStoreBytes] == (*before)[kStoreBytes], "byte 131072 was written");
    if (plan.command == LayerCommand::Picture) {
        const size_t source = static_cast<size_t>(plan.source) * kFrameBytes;
        for (size_t k = 0; k < static_cast<size_t>(kStoreBytes); ++k) {
            const size_t frame = k / kFrameBytes;
            const bool inRange = k <= kLastFrameByte && frame >= static_cast<size_t>(plan.first) &&
                                 frame <= static_cast<size_t>(plan.last);
            const uint8_t want = inRange ? (*before)[source + k % kFrameBytes] : (*before)[k];
            check((*memory)[k] == want, "a picture copy changed the wrong byte");
        }
        return;
    }
    const uint8_t value = plan.command == LayerCommand::Erase ? 0 : 255;
    for (size_t k = 0; k < static_cast<size_t>(kStoreBytes); ++k) {
        const bool inRange =
            k >= static_cast<size_t>(plan.first) && k <= static_cast<size_t>(plan.last);
        check((*memory)[k] == (inRange ? value : (*before)[k]), "erase or fill hit the wrong byte");
        if (frameRange && k > kLastFrameByte)
            check((*memory)[k] == (*before)[k], "a ticked range changed a byte after frame 267");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> storage;
    const LayerCommandInput input =
        parseInput(std::string_view(reinterpret_cast<const char*>(data), size), storage);

    LayerCheck result;
    try {
        result = checkLayerCommand(input);
    } catch (...) {
        fuzzsupport::fail("checking the inputs threw instead of refusing them");
    }
    if (const auto* refused = std::get_if<LayerInputError>(&result)) {
        check(!refused->message.empty(), "a refusal without a message");
        return 0;
    }
    const LayerPlan plan = std::get<LayerPlan>(result);
    checkPlan(input, plan);
    checkApply(plan, input.frameRange);
    return 0;
}
