// Saving the frame memory and the playback settings.
#include <QLineEdit>
#include <QRadioButton>

#include "app/save.h"
#include "ui/frmmain.h"

namespace dotreel {

void frmMain::cmdFile_Click() {
    SaveInput input;
    for (size_t i = 0; i < optLayer.size(); ++i) input.layerSelected[i] = optLayer[i]->isChecked();
    for (size_t i = 0; i < txtFrame.size(); ++i)
        input.settingsTexts[i] = txtFrame[i]->text().toStdString();
    saveAll(state_, *dialogs_, input);
}

}  // namespace dotreel
