#include "app/layerload.h"

#include <memory>

#include "app/framefileload.h"
#include "files/framefile.h"
#include "layers/composite.h"

namespace dotreel {
namespace {

struct LayerFile {
    const char* fileName;
    const char* stepName;
    const char* savedAs;  // the name the save writes it under, which the memory then comes from
};

constexpr LayerFile kImage{"FirstData.txt", "FirstData.txtのオープン", "FirstData.txt"};
constexpr LayerFile kBackground{"SecondData.txt", "SecondData.txtのオープン", "SecondData.txt"};
constexpr LayerFile kComposite{"data.txt", "data.txtのオープン", "Data.txt"};
constexpr const char* kCombinedSavedAs = "Data.txt";

// Reads `file` whole and puts it into the frame memory, which then comes from that file.
bool loadLayerFile(ModMain& state, StepRunner& step, const LayerFile& file, FrameBytes& bytes) {
    FileIdentity identity;
    if (!readFrameFile(state, step, file.fileName, file.stepName, bytes, &identity)) return false;
    storeFrameBytes(bytes, state.bytFrameData());
    state.memorySource = sourceOf(file.savedAs, identity, state.bytFrameData());
    return true;
}

}  // namespace

bool loadLayer(ModMain& state, Dialogs& dialogs, int16_t index) {
    StepRunner step(state, dialogs, kLayerLoadTitle);
    auto bytes = std::make_unique<FrameBytes>();
    switch (index) {
        case 0:
        case 1:
        case 2: {
            const LayerFile& file = index == 0 ? kImage : index == 1 ? kBackground : kComposite;
            return loadLayerFile(state, step, file, *bytes);
        }
        case 3: {
            // Given up at the background, the memory holds the image layer, whole.
            if (!loadLayerFile(state, step, kImage, *bytes)) return false;
            if (!readFrameFile(state, step, kBackground.fileName, kBackground.stepName, *bytes))
                return false;
            auto background = std::make_unique<FrameMemory>();
            storeFrameBytes(*bytes, *background);
            orComposite(state.bytFrameData(), *background);
            // The combination is saved as "Data.txt": the memory stands for that file as it is
            // now, or for its absence.
            state.memorySource =
                sourceOnDisk(state.strDataPath, kCombinedSavedAs, state.bytFrameData());
            return true;
        }
        default:
            return false;
    }
}

}  // namespace dotreel
