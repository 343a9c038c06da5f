// Frames as a C header for firmware: one constant byte array, the LCD byte order explained in
// its opening comment.
#pragma once

#include <string>
#include <string_view>

#include "core/frame.h"
#include "tool/layouts.h"
#include "tool/store.h"

namespace dotreel::tool {

// True for a name C accepts as a new identifier: letters, digits and '_', not starting with a
// digit, no keyword, and none of the names C keeps for itself (a leading '_' with an upper-case
// letter or a second '_').
bool isValidCIdentifier(std::string_view name);

// The header: include guard, <stdint.h>, NAME_FRAME_COUNT / NAME_FRAME_BYTES / NAME_FIRST_FRAME
// macros and `static const uint8_t NAME[count][488]` holding the frames of `range` in the order
// it runs, in the store's layout or another (`[count][512]`, with NAME_WIDTH and NAME_HEIGHT);
// the opening comment says the layout and the call that draws a frame. `source` is named in the
// comment. With `progmem` the array is PROGMEM (<avr/pgmspace.h> on AVR, nothing elsewhere).
// With `play`, the playback settings follow as DOTREEL_PLAY_START, DOTREEL_PLAY_END,
// DOTREEL_PLAY_INTERVAL_MS and DOTREEL_PLAY_REPEAT (1 or 0) for a firmware player.
struct PlayMacros {
    int start;
    int end;
    int intervalMs;
    bool repeat;
};
struct CArrayOptions {
    Layout layout = Layout::Store;
    bool progmem = false;
};
std::string formatCHeader(const FrameMemory& store, const FrameRange& range, std::string_view name,
                          std::string_view source, const PlayMacros* play = nullptr,
                          const CArrayOptions& options = {});

}  // namespace dotreel::tool
