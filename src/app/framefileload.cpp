#include "app/framefileload.h"

#include <string_view>

#include "core/frame.h"

namespace dotreel {
namespace {

// Opens the file, then `prepare()` readies the buffer, then lines 0..131071 are read one step
// each and `keep(k, line)` stores line k (the view lasts until the next read).
template <class Prepare, class Keep>
bool readLines(ModMain& state, StepRunner& step, const std::string& fileName,
               const std::string& stepName, Prepare&& prepare, Keep&& keep) {
    state.strProcName = stepName;
    state.intFileNo = state.files.freeFile();
    const int16_t fileNo = state.intFileNo;
    if (!step([&] {
            state.files.openForInput(fileNo, resolveFileName(state.strDataPath, fileName));
        }))
        return false;
    prepare();
    std::string_view line;
    for (size_t k = 0; k < static_cast<size_t>(kStoreBytes); ++k) {
        if (!step([&] { state.files.lineInput(fileNo, line); })) {
            state.files.close(fileNo);
            return false;
        }
        keep(k, line);
    }
    state.files.close(fileNo);
    return true;
}

}  // namespace

bool readFrameFileLines(ModMain& state, StepRunner& step, const std::string& fileName,
                        const std::string& stepName, std::vector<std::string>& lines) {
    return readLines(
        state, step, fileName, stepName, [&] { lines.resize(kStoreBytes); },
        [&](size_t k, std::string_view line) { lines[k].assign(line); });
}

bool readFrameFileLines(ModMain& state, StepRunner& step, const std::string& fileName,
                        const std::string& stepName, FrameLines& lines) {
    return readLines(
        state, step, fileName, stepName,
        [&] {
            lines.clear();
            lines.reserve(kStoreBytes);
        },
        [&](size_t, std::string_view line) { lines.push_back(line); });
}

}  // namespace dotreel
