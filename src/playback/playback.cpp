// The playback decisions; see playback.h.
#include "playback/playback.h"

namespace dotreel {

bool isStoppedCaption(std::string_view caption) { return caption == kCaptionStart; }

namespace {

TickDecision arriveAtEnd(int v, int s, bool repeat) {
    if (!repeat || !isFrameNumber(s)) return {TickAction::Stop, 0};
    // Going "back" to a start frame that is already on show writes the selector's own value,
    // which shows nothing new.
    if (s == v) return {TickAction::KeepRunning, 0};
    return {TickAction::ShowFrame, s};
}

}  // namespace

TickDecision playbackStep(int v, int s, int e, bool repeat) {
    if (v == e) return arriveAtEnd(v, s, repeat);
    if (s == e) return {TickAction::Stop, 0};

    const int direction = s < e ? 1 : -1;
    const bool beyondEnd = direction > 0 ? v > e : v < e;
    const int next = v + direction;
    if (beyondEnd || !isFrameNumber(next)) return arriveAtEnd(v, s, repeat);
    return {TickAction::ShowFrame, next};
}

StartDecision startPlayback(int s) {
    if (!isFrameNumber(s)) return {StartAction::Refuse, 0};
    return {StartAction::Start, s};
}

std::string startRefusedText(int s) {
    return "開始フレームは0～" + std::to_string(kLastFrame) + "の範囲で指定してください。\n" +
           "開始フレーム：" + std::to_string(s);
}

}  // namespace dotreel
