// Drawing on the grid with the mouse, the draw-tool buttons and the screen patterns.
#include <QPushButton>

#include "draw/drawtools.h"
#include "draw/patterns.h"
#include "platform/errors.h"
#include "ui/frmmain.h"

namespace dotreel {

// Button and Shift play no part: every button, with or without shift keys, draws alike.
void frmMain::Form_MouseDown(int, int, float X, float Y) {
    drawOnPress(state_.dots, state_.bytDrawMode, X, Y);
}

// Acts on every move over the grid, whether a button is held or not.
void frmMain::Form_MouseMove(int, int, float X, float Y) {
    drawOnMove(state_.dots, state_.bytDrawMode, X, Y);
}

void frmMain::cmdDrawTool_Click(int16_t Index) {
    ModMain& s = state_;
    try {
        switch (Index) {
            case 0:
                s.bytDrawMode = nextDrawMode(s.bytDrawMode);
                cmdDrawTool[0]->setText(QString::fromUtf8(drawModeCaption(s.bytDrawMode)));
                break;
            case 1: {  // "記憶": the grid into the current frame
                const auto before = memoryBefore();
                Bit_Data_Set(s.bytFrameData(), s.dots, s.intFrameNo);
                memoryChanged(before);
                break;
            }
            case 2:  // "取消し": the current frame back into the grid
                Bit_Convert(s.bytFrameData(), s.dots, s.intFrameNo);
                break;
            default:
                break;
        }
    } catch (const PlatformError&) {
        // The current frame is always 0..267 once the window has started; a frame outside the
        // frame memory is neither stored nor shown rather than ending the program.
    }
}

void frmMain::cmdPattern_Click(int16_t Index) {
    if (Index < 0 || Index > 2) return;
    applyPattern(state_.dots, static_cast<ScreenPattern>(Index));
}

}  // namespace dotreel
