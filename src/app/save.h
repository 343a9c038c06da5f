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

// Writes the frame file (when an option is selected) and then "animation.txt". A failed write
// asks Retry or Cancel; Retry writes the whole file again, Cancel ends the save with the file
// untouched and nothing written after it. Returns true when everything was written. `flush`
// false skips forcing the data to the disk (for measurements only).
bool saveAll(ModMain& state, Dialogs& dialogs, const SaveInput& input, bool flush = true);

}  // namespace dotreel
