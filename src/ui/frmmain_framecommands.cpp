// The frame commands of the keyboard: a frame inserted, duplicated, deleted or moved.
#include <QScrollBar>

#include "ui/frmmain.h"

namespace dotreel {

void frmMain::frameCommand(FrameCommand command) {
    const int frame = hscFrame[0]->value();
    FrameMemory& memory = state_.bytFrameData();
    // A duplicate of frame 267 has no room and changes nothing: nothing to ask.
    const bool dropsLast = commandDropsLastFrame(command) &&
                           !(command == FrameCommand::Duplicate && frame == kLastFrame);
    if (dropsLast && !frameIsEmpty(memory, kLastFrame) &&
        !dialogs_->askYesNo(kFrameCommandTitle,
                            "フレーム267は空ではありません。メモリから押し出されて消えます。"
                            "続けますか？\nFrame 267 is not empty and will be lost. Go on?"))
        return;
    const auto before = memoryBefore();
    const FrameCommandResult result = applyFrameCommand(memory, command, frame);
    memoryChanged(before);
    if (!result.changed) return;
    // The grid shows the memory as it now is, as after a layer command: unstored drawing goes.
    if (result.shownFrame != frame)
        hscFrame[0]->setValue(result.shownFrame);
    else
        showSelectedFrame();
}

}  // namespace dotreel
