// Start-up's own steps: the folders, the playback settings from "animation.txt" and the image
// layer from "FirstData.txt", each fallible statement run through the step runner so that it can
// be retried or given up on its own.
#pragma once

#include <memory>
#include <string>
#include <thread>

#include "app/modmain.h"
#include "app/steprunner.h"
#include "files/framefile.h"
#include "files/settingsfile.h"
#include "platform/fileidentity.h"

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

// "FirstData.txt" read and decoded on another thread while the window is being built, so that
// start-up's image-layer step finds it done. It reports nothing: whatever goes wrong, or a file
// changed since, leaves the step to read the file itself and to ask as it always does.
class FrameFileReadAhead {
public:
    // Starts reading the image layer of the program folder `appFolder`.
    explicit FrameFileReadAhead(const std::string& appFolder);

    struct Read {
        std::string path;
        FileIdentity identity;  // the file as it was read
        std::unique_ptr<FrameBytes> bytes;
    };
    // Waits for the reading. What was read, when the whole file was read from `path` and `path`
    // still names that very file, unchanged (device, inode, size, modification time); null
    // otherwise, and at every later call.
    std::unique_ptr<Read> take(const std::string& path);
    // Waits until the reading is over.
    void wait();

private:
    std::unique_ptr<Read> read_;
    std::jthread thread_;  // last: it ends before what it writes
};

// Reads "FirstData.txt" and, only once it has been read whole, puts it into the frame memory.
// Returns false when the user gave up; the frame memory and its recorded source are unchanged
// then. Once read, the memory counts as coming from "FirstData.txt" as it was opened. What
// `ahead` read is taken instead of reading when it is still the file.
bool readImageLayer(ModMain& state, StepRunner& step, FrameFileReadAhead* ahead = nullptr);

}  // namespace dotreel
