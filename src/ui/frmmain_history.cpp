// The undo history around the commands that change the frame memory, and undo / redo.
#include <QScrollBar>
#include <span>

#include "platform/errors.h"
#include "ui/frmmain.h"

namespace dotreel {
namespace {

// The stored bytes 0..131071; the memory's last element is never stored and never changed.
std::span<uint8_t> storedBytes(FrameMemory& memory) {
    return {memory.data(), static_cast<size_t>(kStoreBytes)};
}

}  // namespace

// The whole store is taken, whatever the command's range: a copy costs microseconds, a range
// that missed a changed byte would undo wrongly, and the step keeps only the changed bytes.
frmMain::History::Before frmMain::memoryBefore() const {
    const FrameMemory& memory = state_.bytFrameData();
    return History::snapshot({memory.data(), static_cast<size_t>(kStoreBytes)}, memorySource());
}

void frmMain::memoryChanged(const History::Before& before) {
    history_.commit(before, storedBytes(state_.bytFrameData()), memorySource());
    refreshOnionSkin();
}

void frmMain::undoMemory() {
    MemorySourceRecord source = memorySource();
    if (!history_.undo(storedBytes(state_.bytFrameData()), source)) return;
    setMemorySource(source);
    showSelectedFrame();
}

void frmMain::redoMemory() {
    MemorySourceRecord source = memorySource();
    if (!history_.redo(storedBytes(state_.bytFrameData()), source)) return;
    setMemorySource(source);
    showSelectedFrame();
}

// Which file the memory came from travels with each step, so that undoing into or out of a layer
// load keeps the save's question right.
frmMain::MemorySourceRecord frmMain::memorySource() const { return state_.memorySource; }

void frmMain::setMemorySource(const MemorySourceRecord& source) { state_.memorySource = source; }

// As after a layer command: the grid shows the selector's frame of the memory.
void frmMain::showSelectedFrame() {
    try {
        Bit_Convert(state_.bytFrameData(), state_.dots, hscFrame[0]->value());
    } catch (const PlatformError&) {
        // Only before start-up has limited the frame selector to 0..267.
    }
    refreshOnionSkin();
}

}  // namespace dotreel
