// An animated GIF of frames as the LCD shows them, encoded with giflib.
#pragma once

#include <string>
#include <vector>

#include "core/frame.h"
#include "tool/render.h"

namespace dotreel::tool {

// The delay of each of `count` frames in hundredths of a second, so that the whole run keeps
// `intervalMs` per frame on average even where one interval is no whole hundredth; never 0,
// which viewers would treat as "as fast as possible".
std::vector<int> gifDelays(int count, int intervalMs);

// The GIF file: `frames` in order, each shown for `intervalMs`; looping forever, or played once.
std::string encodeGif(const FrameMemory& store, const std::vector<int>& frames, const LcdLook& look,
                      int intervalMs, bool loop);

}  // namespace dotreel::tool
