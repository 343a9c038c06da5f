#include "app/framefileload.h"

namespace dotreel {

bool readFrameFile(ModMain& state, StepRunner& step, const std::string& fileName,
                   const std::string& stepName, FrameBytes& bytes, FileIdentity* identity) {
    state.strProcName = stepName;
    state.intFileNo = state.files.freeFile();
    const int16_t fileNo = state.intFileNo;
    std::string path;
    if (!step([&] {
            // Resolved on every attempt: a file put in place before a Retry is found.
            path = resolveFileName(state.strDataPath, fileName);
            state.files.openForInput(fileNo, path);
        }))
        return false;
    FrameFileReader reader(state.files.contents(fileNo), path, bytes);
    const bool read = step([&] { reader.readLines(); });
    if (read && identity != nullptr) *identity = state.files.identity(fileNo);
    state.files.close(fileNo);
    return read;
}

}  // namespace dotreel
