// Reading a frame file from the data folder as a handler's steps, so that each can be retried on
// its own: the steps that start-up and layer selection share.
#pragma once

#include <string>

#include "app/modmain.h"
#include "app/steprunner.h"
#include "files/framefile.h"

namespace dotreel {

// Sets strProcName to `stepName`, takes a file number, opens `fileName` in the data folder (its
// letter case ignored), reads lines 0..131071 into `bytes` and closes the file. A failed open or
// read asks Retry or Cancel; a Retry of a read tries the missing line again. Returns false when
// the user gave up (the file is closed then too). Only `bytes` is written, so a short or
// missing file changes no byte of any store. `identity`, when given, receives what the file was
// when it was opened.
bool readFrameFile(ModMain& state, StepRunner& step, const std::string& fileName,
                   const std::string& stepName, FrameBytes& bytes,
                   FileIdentity* identity = nullptr);

}  // namespace dotreel
