// Layer selection and the whole-memory layer commands.
#include <QCheckBox>
#include <QLineEdit>
#include <QScrollBar>
#include <string>
#include <variant>

#include "app/layerload.h"
#include "layers/layercommand.h"
#include "platform/errors.h"
#include "ui/frmmain.h"

namespace dotreel {

void frmMain::optLayer_Click(int16_t Index) {
    ModMain& s = state_;
    // Given up part-way, the grid keeps the frame it showed while the option shows the new
    // layer: saving then writes the memory to the new layer's file, which is how a first
    // background file is made.
    const auto before = memoryBefore();
    const bool loaded = loadLayer(s, *dialogs_, Index);
    memoryChanged(before);  // a load given up part-way may still have changed the memory
    if (!loaded) return;
    StepRunner step(s, *dialogs_, kLayerLoadTitle);
    const int32_t frame = hscFrame[0]->value();
    step([&] { Bit_Convert(s.bytFrameData(), s.dots, frame); });
}

void frmMain::cmdLayer_Click(int16_t Index) {
    const std::string start = txtFrame[0]->text().toStdString();
    const std::string end = txtFrame[1]->text().toStdString();
    const std::string source = txtScroll->text().toStdString();
    const LayerCheck check =
        checkLayerCommand({Index, chkLayer->checkState() != Qt::Unchecked, start, end, source});
    if (const auto* refused = std::get_if<LayerInputError>(&check)) {
        // Refused before a byte is written: the memory and the grid stay exactly as they were.
        dialogs_->warn("cmdLayer_Click", refused->message);
        return;
    }
    ModMain& s = state_;
    const auto before = memoryBefore();
    applyLayerPlan(s.bytFrameData(), std::get<LayerPlan>(check));
    memoryChanged(before);
    try {
        Bit_Convert(s.bytFrameData(), s.dots, hscFrame[0]->value());
    } catch (const PlatformError&) {
        // Only before start-up has limited the frame selector to 0..267.
    }
}

}  // namespace dotreel
