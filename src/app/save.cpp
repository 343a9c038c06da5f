#include "app/save.h"

#include "files/hexcodec.h"
#include "files/settingsfile.h"
#include "platform/safewrite.h"
#include "platform/textfile.h"

namespace dotreel {
namespace {

struct SaveTarget {
    const char* fileName;
    const char* stepName;
};

constexpr std::array<SaveTarget, 4> kTargets{{
    {"FirstData.txt", "FirstData.txtの書き込み処理"},
    {"SecondData.txt", "SecondData.txtの書き込み処理"},
    {"Data.txt", "Data.txtの書き込み処理"},
    {"Data.txt", "Data.txtの書き込み処理"},
}};

const SaveTarget* targetFor(const std::array<bool, 4>& layerSelected) {
    for (size_t i = 0; i < layerSelected.size(); ++i)
        if (layerSelected[i]) return &kTargets[i];
    return nullptr;
}

// Writes `content` as `name` in `folder`. The name is matched without regard to letter case on
// every attempt, so a "data.txt" already there is the file replaced, and a folder created
// between a failure and a Retry is found.
bool writeStep(ModMain& state, StepRunner& step, const std::string& folder, const char* name,
               const char* stepName, const std::string& content, bool flush) {
    state.strProcName = stepName;
    state.intFileNo = state.files.freeFile();
    return step([&] { writeFileAtomically(resolveFileName(folder, name), content, flush); });
}

}  // namespace

const char* frameFileForSave(const std::array<bool, 4>& layerSelected) {
    const SaveTarget* target = targetFor(layerSelected);
    return target != nullptr ? target->fileName : nullptr;
}

bool saveAll(ModMain& state, Dialogs& dialogs, const SaveInput& input, bool flush) {
    StepRunner step(state, dialogs, kSaveTitle);
    // The whole text is ready before the file is touched.
    const std::string frameText = formatFrameFile(state.bytFrameData());
    if (const SaveTarget* target = targetFor(input.layerSelected)) {
        if (!writeStep(state, step, state.strDataPath, target->fileName, target->stepName,
                       frameText, flush))
            return false;
    }
    const std::string settingsText =
        formatSettingsFile(input.settingsTexts[0], input.settingsTexts[1], input.settingsTexts[2]);
    return writeStep(state, step, state.strSetPath, "animation.txt", "animation.txtの書き込み処理",
                     settingsText, flush);
}

}  // namespace dotreel
