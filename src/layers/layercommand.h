// The whole-memory layer commands: erase, fill, or copy one frame's picture over a range of frames.
// Checking the inputs is kept apart from changing the memory, so that a refused command can be
// told to the user before a single byte is written.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "core/frame.h"

namespace dotreel {

enum class LayerCommand : int16_t { Erase = 0, Fill = 1, Picture = 2 };

// What a command reads from the window: the button's index, whether "フレーム指定" is ticked, and
// the texts of the start box, the end box and the scroll group's frame-number box.
struct LayerCommandInput {
    int16_t index = 0;
    bool frameRange = true;
    std::string_view startText;
    std::string_view endText;
    std::string_view sourceText;
};

// A checked command. For Erase and Fill, first..last are byte offsets of the frame memory; for
// Picture they are frame numbers and `source` is the frame whose picture is copied.
struct LayerPlan {
    LayerCommand command = LayerCommand::Erase;
    int32_t first = 0;
    int32_t last = 0;
    int32_t source = 0;
};

// A refused command: the text of the warning shown instead.
struct LayerInputError {
    std::string message;
};

using LayerCheck = std::variant<LayerPlan, LayerInputError>;

// Reads and checks the inputs. Frame numbers may carry a fraction; rounded (halves to even) they
// must lie within 0..267. A start frame after the end frame means the same frames as the ordered
// range. Ticked, Erase and Fill cover R(start x 488) .. R((end + 1) x 488 - 1), held within the
// bytes of frames 0..267; unticked, all stored bytes 0..131071 with no input read. Picture
// always needs a source frame; it covers the ticked frame range, or frames 0..267.
LayerCheck checkLayerCommand(const LayerCommandInput& input);

// Carries out a checked command. The picture is taken from the memory before any frame of the
// range is written, so copying over a range that holds the source frame is safe.
void applyLayerPlan(FrameMemory& bytFrameData, const LayerPlan& plan);

}  // namespace dotreel
