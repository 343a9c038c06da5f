// Commands that rearrange whole frames of the frame memory: insert an empty frame, duplicate one,
// delete one, or move one a place earlier or later. They work on frames 0..267 only: the 288
// bytes after frame 267 belong to no frame and are never touched.
#pragma once

#include <cstdint>

#include "core/frame.h"

namespace dotreel {

enum class FrameCommand : uint8_t { InsertEmpty, Duplicate, Delete, MoveEarlier, MoveLater };

// True when every byte of frame `frame` (0..267) is 0.
bool frameIsEmpty(const FrameMemory& memory, int frame);

// True when the command pushes frame 267 out of the memory (insert and duplicate), so that the
// caller should ask first unless frame 267 is empty.
bool commandDropsLastFrame(FrameCommand command);

// What a command did: whether the memory changed, and the frame to show afterwards (the
// inserted frame, the copy, the frame that took the deleted one's place, the moved frame).
struct FrameCommandResult {
    bool changed = false;
    int shownFrame = 0;
};

// Carries out `command` on frame `frame` (0..267):
// - InsertEmpty: frames frame..266 move up by one, frame `frame` becomes empty; 267 is lost.
// - Duplicate: as insert, with frame + 1 a copy of frame; the copy is shown. On frame 267 the
//   copy would fall past the memory: nothing changes.
// - Delete: frames frame+1..267 move down by one, frame 267 becomes empty.
// - MoveEarlier / MoveLater: the frame trades places with its neighbour; nothing at the edges.
// A frame outside 0..267 changes nothing.
FrameCommandResult applyFrameCommand(FrameMemory& memory, FrameCommand command, int frame);

}  // namespace dotreel
