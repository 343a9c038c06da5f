// Reading a frame file from the data folder, statement by statement, so that each read can be
// retried on its own: the steps that start-up and layer selection share.
#pragma once

#include <string>
#include <vector>

#include "app/modmain.h"
#include "app/steprunner.h"
#include "files/hexcodec.h"

namespace dotreel {

// Sets strProcName to `stepName`, takes a file number, opens `fileName` in the data folder (its
// letter case ignored) and reads lines 0..131071 into `lines`, then closes the file. Returns false
// when the user gave up a failed step; the file is closed then too. Nothing is decoded here, so
// a short or missing file changes no byte of any store.
bool readFrameFileLines(ModMain& state, StepRunner& step, const std::string& fileName,
                        const std::string& stepName, std::vector<std::string>& lines);
// The same steps, keeping of each line only what decoding reads (start-up and layer loading).
bool readFrameFileLines(ModMain& state, StepRunner& step, const std::string& fileName,
                        const std::string& stepName, FrameLines& lines);

}  // namespace dotreel
