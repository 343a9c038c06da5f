// Loading a layer into the frame memory: the image, the background, the composite file, or the
// image OR the background, read from the data folder step by step so that each failed step can
// be retried or given up.
#pragma once

#include <cstdint>

#include "app/modmain.h"
#include "app/steprunner.h"

namespace dotreel {

inline constexpr const char* kLayerLoadTitle = "optLayer_Click";

// Replaces bytes 0..131071 of the frame memory with layer `index` (0 "FirstData.txt",
// 1 "SecondData.txt", 2 "data.txt", 3 "FirstData.txt" OR "SecondData.txt"). Every file is read
// in full before a byte of its target changes. Returns false when the user gave up a failed
// step: the memory then holds what it held before that file was begun (for 3, a failure on the
// background leaves the image layer). The caller shows the selected frame only on true. A file
// loaded whole becomes the memory's source under the name the save writes it to ("Data.txt"
// for 2); the combination of 3 stands for "Data.txt" as it is at the load, or for its absence.
bool loadLayer(ModMain& state, Dialogs& dialogs, int16_t index);

}  // namespace dotreel
