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
};

constexpr LayerFile kImage{"FirstData.txt", "FirstData.txtのオープン"};
constexpr LayerFile kBackground{"SecondData.txt", "SecondData.txtのオープン"};
constexpr LayerFile kComposite{"data.txt", "data.txtのオープン"};

bool readLayerFile(ModMain& state, StepRunner& step, const LayerFile& file, FrameBytes& bytes) {
    return readFrameFile(state, step, file.fileName, file.stepName, bytes);
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
            if (!readLayerFile(state, step, file, *bytes)) return false;
            storeFrameBytes(*bytes, state.bytFrameData());
            return true;
        }
        case 3: {
            if (!readLayerFile(state, step, kImage, *bytes)) return false;
            storeFrameBytes(*bytes, state.bytFrameData());
            if (!readLayerFile(state, step, kBackground, *bytes)) return false;
            auto background = std::make_unique<FrameMemory>();
            storeFrameBytes(*bytes, *background);
            orComposite(state.bytFrameData(), *background);
            return true;
        }
        default:
            return false;
    }
}

}  // namespace dotreel
