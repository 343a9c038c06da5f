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

// Writes `content` as `name` in `folder`, after `check` (which may throw) on every attempt. The
// name is matched without regard to letter case on every attempt, so a "data.txt" already there
// is the file replaced, and a folder created between a failure and a Retry is found. `placed`
// gets the identity of the new file as soon as it is in place: also when only the folder's sync
// failed after the rename, before that failure is reported.
template <class Check, class Placed>
bool writeStep(ModMain& state, StepRunner& step, const std::string& folder, const char* name,
               const char* stepName, const std::string& content, bool flush, Check check,
               Placed placed) {
    state.strProcName = stepName;
    state.intFileNo = state.files.freeFile();
    return step([&] {
        check();
        FileIdentity written;
        try {
            written = writeFileAtomically(resolveFileName(folder, name), content, flush);
        } catch (const FolderSyncError& e) {
            placed(e.written());
            throw;
        }
        placed(written);
    });
}

}  // namespace

const char* frameFileForSave(const std::array<bool, 4>& layerSelected) {
    const SaveTarget* target = targetFor(layerSelected);
    return target != nullptr ? target->fileName : nullptr;
}

std::string replaceQuestionText(const std::string& fileName) {
    return "「" + fileName + "」の内容は、エディターが保持している内容ではありません。\r\n" +
           "保存すると、このファイルの内容は置き換えられます。保存しますか？";
}

bool saveAll(ModMain& state, Dialogs& dialogs, const SaveInput& input, bool flush) {
    StepRunner step(state, dialogs, kSaveTitle);
    // The whole text is ready before the file is touched.
    const std::string frameText = formatFrameFile(state.bytFrameData());
    if (const SaveTarget* target = targetFor(input.layerSelected)) {
        const std::string path = resolveFileName(state.strDataPath, target->fileName);
        if (replacingUnknownContent(state.memorySource, target->fileName, path) &&
            !dialogs.askYesNo(kSaveTitle, replaceQuestionText(target->fileName)))
            return false;
        // Once the file is in place the memory is what it holds, whatever happens after: a
        // folder that could not be synced, a Cancel there, the settings.
        auto placed = [&](const FileIdentity& written) {
            state.memorySource = sourceOf(target->fileName, written, state.bytFrameData());
        };
        if (!writeStep(
                state, step, state.strDataPath, target->fileName, target->stepName, frameText,
                flush, [] {}, placed))
            return false;
    }
    const std::string settingsText =
        formatSettingsFile(input.settingsTexts[0], input.settingsTexts[1], input.settingsTexts[2]);
    // A text that start-up could not read back fails the step: the old file stays.
    auto checkTexts = [&] {
        for (size_t i = 0; i < input.settingsTexts.size(); ++i)
            requireReadableSettingsText(static_cast<SettingsField>(i), input.settingsTexts[i]);
    };
    return writeStep(state, step, state.strSetPath, "animation.txt", "animation.txtの書き込み処理",
                     settingsText, flush, checkTexts, [](const FileIdentity&) {});
}

}  // namespace dotreel
