// The onion skin (the neighbouring frames' lit dots shown faintly under the grid) and the key
// sheet: what the window shows beside the dot state.
#include <QScrollBar>

#include "ui/dotview.h"
#include "ui/frmmain.h"
#include "ui/keysheet.h"

namespace dotreel {

void frmMain::cycleOnionSkin() {
    OnionSkin next = OnionSkin::Off;
    switch (dotView->onionSkin()) {
        case OnionSkin::Off:
            next = OnionSkin::Previous;
            break;
        case OnionSkin::Previous:
            next = OnionSkin::PreviousAndNext;
            break;
        case OnionSkin::PreviousAndNext:
            next = OnionSkin::Off;
            break;
    }
    dotView->setOnionSkin(next, nullptr, nullptr);
    refreshOnionSkin();
}

void frmMain::refreshOnionSkin() {
    if (dotView == nullptr) return;
    const OnionSkin mode = dotView->onionSkin();
    if (mode == OnionSkin::Off) {
        dotView->setOnionSkin(mode, nullptr, nullptr);
        return;
    }
    const int frame = hscFrame[0]->value();
    const uint8_t* memory = state_.bytFrameData().data();
    auto frameBytes = [memory](int f) -> const uint8_t* {
        return f >= 0 && f <= kLastFrame ? memory + static_cast<ptrdiff_t>(f) * kFrameBytes
                                         : nullptr;
    };
    dotView->setOnionSkin(mode, frameBytes(frame - 1), frameBytes(frame + 1));
}

void frmMain::showKeySheet() {
    auto* sheet = findChild<KeySheet*>();
    if (sheet == nullptr) sheet = new KeySheet(this);  // owned by the window
    sheet->show();
    sheet->raise();
    sheet->activateWindow();
}

}  // namespace dotreel
