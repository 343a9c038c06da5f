#include "app/layerload.h"

#include <memory>

#include "app/framefileload.h"
#include "files/hexcodec.h"
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

bool readLayerFile(ModMain& state, StepRunner& step, const LayerFile& file, FrameLines& lines) {
    return readFrameFileLines(state, step, file.fileName, file.stepName, lines);
}

}  // namespace

bool loadLayer(ModMain& state, Dialogs& dialogs, int16_t index) {
    StepRunner step(state, dialogs, kLayerLoadTitle);
    FrameLines lines;
    switch (index) {
        case 0:
        case 1:
        case 2: {
            const LayerFile& file = index == 0 ? kImage : index == 1 ? kBackground : kComposite;
            if (!readLayerFile(state, step, file, lines)) return false;
            decodeFrameLines(lines, state.bytFrameData());
            return true;
        }
        case 3: {
            if (!readLayerFile(state, step, kImage, lines)) return false;
            decodeFrameLines(lines, state.bytFrameData());
            if (!readLayerFile(state, step, kBackground, lines)) return false;
            auto background = std::make_unique<FrameMemory>();
            decodeFrameLines(lines, *background);
            orComposite(state.bytFrameData(), *background);
            return true;
        }
        default:
            return false;
    }
}

}  // namespace dotreel
