#include "layers/framecommand.h"

#include <algorithm>
#include <cstddef>

namespace dotreel {
namespace {

uint8_t* frameStart(FrameMemory& memory, int frame) {
    return memory.data() + static_cast<ptrdiff_t>(frame) * kFrameBytes;
}

// Frames first..last (first <= last) one place up: frame last + 1 (at most 267) is overwritten.
void shiftUp(FrameMemory& memory, int first, int last) {
    std::copy_backward(frameStart(memory, first), frameStart(memory, last + 1),
                       frameStart(memory, last + 2));
}

}  // namespace

bool frameIsEmpty(const FrameMemory& memory, int frame) {
    const auto* begin = memory.data() + static_cast<ptrdiff_t>(frame) * kFrameBytes;
    return std::all_of(begin, begin + kFrameBytes, [](uint8_t b) { return b == 0; });
}

bool commandDropsLastFrame(FrameCommand command) {
    return command == FrameCommand::InsertEmpty || command == FrameCommand::Duplicate;
}

FrameCommandResult applyFrameCommand(FrameMemory& memory, FrameCommand command, int frame) {
    FrameCommandResult result{false, frame};
    if (frame < 0 || frame > kLastFrame) return result;
    switch (command) {
        case FrameCommand::InsertEmpty:
            if (frame < kLastFrame) shiftUp(memory, frame, kLastFrame - 1);
            std::fill_n(frameStart(memory, frame), kFrameBytes, uint8_t{0});
            break;
        case FrameCommand::Duplicate:
            if (frame == kLastFrame) return result;
            if (frame + 1 < kLastFrame) shiftUp(memory, frame + 1, kLastFrame - 1);
            std::copy_n(frameStart(memory, frame), kFrameBytes, frameStart(memory, frame + 1));
            result.shownFrame = frame + 1;
            break;
        case FrameCommand::Delete:
            std::copy(frameStart(memory, frame + 1), frameStart(memory, kFrameCount),
                      frameStart(memory, frame));
            std::fill_n(frameStart(memory, kLastFrame), kFrameBytes, uint8_t{0});
            break;
        case FrameCommand::MoveEarlier:
        case FrameCommand::MoveLater: {
            const int other = command == FrameCommand::MoveEarlier ? frame - 1 : frame + 1;
            if (other < 0 || other > kLastFrame) return result;
            std::swap_ranges(frameStart(memory, frame), frameStart(memory, frame + 1),
                             frameStart(memory, other));
            result.shownFrame = other;
            break;
        }
    }
    result.changed = true;
    return result;
}

}  // namespace dotreel
