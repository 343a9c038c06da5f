// Saving: the whole frame memory to the selected layer's frame file, then the three playback
// texts to the settings file. Each file is replaced as a whole (temporary file, flushed, renamed),
// so a failed or interrupted save leaves the old file exactly as it was.
#pragma once

#include <array>
#include <string>

#include "app/modmain.h"
#include "app/steprunner.h"

namespace dotreel {

inline constexpr const char* kSaveTitle = "cmdFile.Click";

// Which layer option is selected (optLayer(0..3)) and the texts of txtFrame(0..2).
struct SaveInput {
    std::array<bool, 4> layerSelected{};
    std::array<std::string, 3> settingsTexts;
};

// The frame file that the first selected option, tested 0..3, writes to; nullptr when none is
// selected.
const char* frameFileForSave(const std::array<bool, 4>& layerSelected);

// The question asked before a frame file is replaced whose content the memory does not hold.
std::string replaceQuestionText(const std::string& fileName);

// Writes the frame file (when an option is selected) and then "animation.txt". When the frame
// file exists and is not what the memory was loaded from or saved to (or has changed since),
// asks first; No ends the save with nothing written. A failed write asks Retry or Cancel; Retry
// writes the whole file again, Cancel ends the save with the file untouched and nothing
// written after it. A written frame file becomes the memory's source, also when only the sync of
// its folder failed after it was put in place (that failure is still asked about). A settings text
// that start-up could not read back fails the settings step like a failed write. Returns true when
// everything was written. `flush` false skips forcing the data to the disk (for measurements
// only).
bool saveAll(ModMain& state, Dialogs& dialogs, const SaveInput& input, bool flush = true);

}  // namespace dotreel
