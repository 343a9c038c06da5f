// Text from the dialog of Ctrl+T: a marquee goes into the frame memory as one history step.
#include "ui/frmmain.h"

namespace dotreel {

void frmMain::changeMemory(const std::function<void(FrameMemory&)>& change) {
    const auto before = memoryBefore();
    change(state_.bytFrameData());
    memoryChanged(before);
    showSelectedFrame();
}

}  // namespace dotreel
