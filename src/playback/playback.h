// Playback as pure decisions: what the start/stop button and each timer tick do, from the frame on
// show, the playback range and the repeat box alone. The window only carries the decision out.
#pragma once

#include <string>
#include <string_view>

#include "core/frame.h"

namespace dotreel {

// The start/stop button's captions; the button's state is read back from its caption.
inline constexpr std::string_view kCaptionStart = "START";
inline constexpr std::string_view kCaptionStop = "STOP";

// Playback is stopped exactly when the caption reads "START" (case-sensitive); any other caption
// means it runs.
bool isStoppedCaption(std::string_view caption);

// A frame number that the frame selector can show.
constexpr bool isFrameNumber(int frame) { return frame >= 0 && frame <= kLastFrame; }

enum class TickAction {
    ShowFrame,    // write `frame` into the frame selector; playback runs on
    KeepRunning,  // playback runs on and nothing new is shown (repeat to the frame on show)
    Stop,         // playback stops with the frame on show; the caption goes back to "START"
};

struct TickDecision {
    TickAction action = TickAction::Stop;
    int frame = 0;  // the frame to show, for ShowFrame only
};

// One tick of playback. v: the frame on show (the selector's value); s, e: start and end frame;
// repeat: the repeat box is ticked. The end frame is tested first; the direction comes from s and
// e alone and a step moves exactly one frame.
//
// A frame on show beyond the end frame in the direction of travel would walk off the selector's
// range without ever meeting the end, so it counts as arriving at the end; so does any step that
// would leave 0..267 (an end frame outside it). Arriving at the end with repeat goes back to the
// start frame, but a start frame outside 0..267 stops playback instead.
TickDecision playbackStep(int v, int s, int e, bool repeat);

enum class StartAction {
    Start,   // show `frame`, enable the timer, caption "STOP"
    Refuse,  // start frame outside 0..267: warn and change nothing
};

struct StartDecision {
    StartAction action = StartAction::Refuse;
    int frame = 0;
};

// Pressing "START" with start frame s (only when the caption reads "START").
StartDecision startPlayback(int s);

// The warning shown when "START" is refused.
inline constexpr std::string_view kStartRefusedTitle = "cmdFrame.Click";
std::string startRefusedText(int s);

}  // namespace dotreel
