#include "app/startup.h"

#include <array>
#include <memory>

#include "app/framefileload.h"
#include "files/framefile.h"
#include "platform/errors.h"
#include "platform/textfile.h"

namespace dotreel {

namespace {

constexpr const char* kImageLayerFile = "FirstData.txt";
constexpr const char* kImageLayerStep = "FirstData.txtのオープン";

std::string folderPath(const std::string& appFolder) {
    return appFolder.empty() || appFolder.back() != '/' ? appFolder + '/' : appFolder;
}

std::string dataFolder(const std::string& appFolder) { return folderPath(appFolder) + "データー/"; }

}  // namespace

void setUpFolders(ModMain& state, const std::string& appFolder) {
    state.strAppPath = folderPath(appFolder);
    state.strDataPath = dataFolder(appFolder);
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

FrameFileReadAhead::FrameFileReadAhead(const std::string& appFolder)
    : thread_([this, folder = dataFolder(appFolder)] {
          try {
              auto read = std::make_unique<Read>();
              read->path = resolveFileName(folder, kImageLayerFile);
              FileTable files;
              files.openForInput(1, read->path);
              read->identity = files.identity(1);
              read->bytes = std::make_unique<FrameBytes>();
              FrameFileReader(files.contents(1), read->path, *read->bytes).readLines();
              read_ = std::move(read);
          } catch (...) {
              // Any failure is met again, and reported, by the step that reads the file itself.
          }
      }) {}

void FrameFileReadAhead::wait() {
    if (thread_.joinable()) thread_.join();
}

std::unique_ptr<FrameFileReadAhead::Read> FrameFileReadAhead::take(const std::string& path) {
    wait();
    std::unique_ptr<Read> read = std::move(read_);
    if (read == nullptr || read->path != path || fileIdentity(path) != read->identity)
        return nullptr;
    return read;
}

bool readImageLayer(ModMain& state, StepRunner& step, FrameFileReadAhead* ahead) {
    std::unique_ptr<FrameFileReadAhead::Read> read;
    if (ahead != nullptr) read = ahead->take(resolveFileName(state.strDataPath, kImageLayerFile));
    if (read != nullptr) {
        // What reading the file here would have left behind.
        state.strProcName = kImageLayerStep;
        state.intFileNo = state.files.freeFile();
    } else {
        read = std::make_unique<FrameFileReadAhead::Read>();
        read->bytes = std::make_unique<FrameBytes>();
        if (!readFrameFile(state, step, kImageLayerFile, kImageLayerStep, *read->bytes,
                           &read->identity))
            return false;
    }
    storeFrameBytes(*read->bytes, state.bytFrameData());
    state.memorySource = sourceOf(kImageLayerFile, read->identity, state.bytFrameData());
    return true;
}

}  // namespace dotreel
