// Saving the frame memory and the playback settings, and closing the window with unsaved work.
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollBar>

#include "app/memorysource.h"
#include "app/save.h"
#include "ui/frmmain.h"

namespace dotreel {

bool frmMain::cmdFile_Click() {
    SaveInput input;
    for (size_t i = 0; i < optLayer.size(); ++i) input.layerSelected[i] = optLayer[i]->isChecked();
    for (size_t i = 0; i < txtFrame.size(); ++i)
        input.settingsTexts[i] = txtFrame[i]->text().toStdString();
    return saveAll(state_, *dialogs_, input);
}

bool frmMain::Form_QueryUnload() {
    const ModMain& s = state_;
    if (!hasUnsavedWork(s.memorySource, s.bytFrameData(), s.dots, hscFrame[0]->value(),
                        s.intFrameNo))
        return true;
    switch (dialogs_->askSaveDiscardCancel(
        "Dotreel", "保存されていない変更があります。\r\n閉じる前に保存しますか？")) {
        case Answer::Save:
            return cmdFile_Click();
        case Answer::Discard:
            return true;
        default:
            return false;
    }
}

}  // namespace dotreel
