#include "app/startup.h"

#include <array>
#include <memory>

#include "app/framefileload.h"
#include "files/framefile.h"
#include "platform/errors.h"
#include "platform/textfile.h"

namespace dotreel {

void setUpFolders(ModMain& state, const std::string& appFolder) {
    state.strAppPath = appFolder;
    if (state.strAppPath.empty() || state.strAppPath.back() != '/') state.strAppPath += '/';
    state.strDataPath = state.strAppPath + "データー/";
    state.strSetPath = state.strAppPath + "設定/";
}

bool readSettings(ModMain& state, StepRunner& step, StartupControls& controls) {
    state.strProcName = "animation.txtのオープン";
    state.intFileNo = state.files.freeFile();
    const int16_t fileNo = state.intFileNo;
    // Matched in any letter case, as the save and the tool match it: an "Animation.txt" is the
    // file every save replaces, so it is the one to read. Resolved on every attempt, so a file
    // put in place before a Retry is found.
    if (!step([&] {
            state.files.openForInput(fileNo, resolveFileName(state.strSetPath, "animation.txt"));
        }))
        return false;
    std::array<std::string, 3> lines;
    for (std::string& line : lines) {
        if (!step([&] { state.files.lineInput(fileNo, line); })) {
            state.files.close(fileNo);
            return false;
        }
    }
    state.files.close(fileNo);

    auto text = [&](SettingsField field) {
        return std::to_string(settingsNumber(lines[static_cast<size_t>(field)]));
    };
    auto number = [&](SettingsField field) {
        return settingsNumber(lines[static_cast<size_t>(field)]);
    };
    using F = SettingsField;
    if (!step([&] { controls.setSettingsText(F::Start, text(F::Start)); })) return false;
    if (!step([&] { state.intPlayRange[0] = number(F::Start); })) return false;
    if (!step([&] { controls.setSettingsText(F::End, text(F::End)); })) return false;
    if (!step([&] { state.intPlayRange[1] = number(F::End); })) return false;
    if (!step([&] { controls.setSettingsText(F::Interval, text(F::Interval)); })) return false;
    if (!step([&] {
            // A timer has no negative interval; one would be taken and then never tick.
            const int16_t interval = number(F::Interval);
            if (interval < 0) throw outOfRangeError();
            controls.setTimerInterval(interval);
        }))
        return false;
    return step([&] {
        // The selector would clamp an outside value without a word; such a value is an error.
        const int16_t interval = number(F::Interval);
        requireStartUpRange(F::Interval, interval);
        controls.setIntervalSelector(interval);
    });
}

bool readImageLayer(ModMain& state, StepRunner& step) {
    auto bytes = std::make_unique<FrameBytes>();
    FileIdentity identity;
    if (!readFrameFile(state, step, "FirstData.txt", "FirstData.txtのオープン", *bytes, &identity))
        return false;
    storeFrameBytes(*bytes, state.bytFrameData());
    state.memorySource = sourceOf("FirstData.txt", identity, state.bytFrameData());
    return true;
}

}  // namespace dotreel
