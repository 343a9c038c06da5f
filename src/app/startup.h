// Start-up's own steps: the folders, the playback settings from "animation.txt" and the image
// layer from "FirstData.txt", each fallible statement run through the step runner so that it can
// be retried or given up on its own.
#pragma once

#include <string>

#include "app/modmain.h"
#include "app/steprunner.h"
#include "files/settingsfile.h"

namespace dotreel {

inline constexpr const char* kStartupTitle = "subSetup";

// The controls that the settings steps write, in the order they write them.
class StartupControls {
public:
    virtual ~StartupControls() = default;
    virtual void setSettingsText(SettingsField field, const std::string& text) = 0;  // txtFrame
    virtual void setTimerInterval(int milliseconds) = 0;                             // tmrFrame
    virtual void setIntervalSelector(int milliseconds) = 0;                          // hscFrame(1)
};

// strAppPath (the program folder, ending in "/"), strDataPath and strSetPath.
void setUpFolders(ModMain& state, const std::string& appFolder);

// Reads the three settings lines and applies them: the start and end boxes and intPlayRange,
// then the interval box, the timer and the interval selector, one step each. Returns false when
// the user gave up a failed step; what was applied before it stays.
bool readSettings(ModMain& state, StepRunner& step, StartupControls& controls);

// Reads "FirstData.txt" and, only once it has been read whole, puts it into the frame memory.
// Returns false when the user gave up; the frame memory and its recorded source are unchanged
// then. Once read, the memory counts as coming from "FirstData.txt" as it was opened.
bool readImageLayer(ModMain& state, StepRunner& step);

}  // namespace dotreel
