// The composite of the two layers: a dot is on when it is on in the image, the background, or both.
#pragma once

#include "core/frame.h"

namespace dotreel {

// target(k) = target(k) OR background(k) for the stored bytes 0..131071; the last byte of the
// frame memory, which no file holds, keeps its value.
void orComposite(FrameMemory& target, const FrameMemory& background);

}  // namespace dotreel
