// Pictures dropped onto the window, put into the frame memory as one step of the history.
#include <QScrollBar>
#include <string>

#include "ui/frmmain.h"
#include "ui/picturedrop.h"

namespace dotreel {

void frmMain::dropPictures(const std::vector<std::string>& paths, bool dither) {
    const auto before = memoryBefore();
    const DroppedPictures result =
        storeDroppedPictures(paths, dither, state_.bytFrameData(), hscFrame[0]->value());
    memoryChanged(before);
    if (result.stored > 0) showSelectedFrame();
    std::string message;
    if (!result.error.empty()) {
        message = "画像を読み込めませんでした。何も書き込んでいません。\n" + result.error +
                  " (nothing was written)";
    } else if (result.leftOut > 0) {
        const std::string n = std::to_string(result.leftOut);
        message = "フレーム267を超える画像 " + n + " 枚は取り込みませんでした。\n" + n +
                  (result.leftOut == 1 ? " picture" : " pictures") + " past frame 267 left out.";
    }
    if (message.empty()) return;
    dialogs_->warn(kDropTitle, message);
}

}  // namespace dotreel
