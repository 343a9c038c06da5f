#include "app/framefileload.h"

#include "core/frame.h"

namespace dotreel {

bool readFrameFileLines(ModMain& state, StepRunner& step, const std::string& fileName,
                        const std::string& stepName, std::vector<std::string>& lines) {
    state.strProcName = stepName;
    state.intFileNo = state.files.freeFile();
    const int16_t fileNo = state.intFileNo;
    if (!step([&] { state.files.openForInput(fileNo, resolveFileName(state.strDataPath, fileName)); }))
        return false;
    lines.resize(kStoreBytes);
    for (size_t k = 0; k < static_cast<size_t>(kStoreBytes); ++k) {
        if (!step([&] { state.files.lineInput(fileNo, lines[k]); })) {
            state.files.close(fileNo);
            return false;
        }
    }
    state.files.close(fileNo);
    return true;
}

}  // namespace dotreel
