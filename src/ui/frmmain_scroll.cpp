// The scroll group: moving the picture by one dot, or stepping the current frame number.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "scroll/scroll.h"
#include "ui/frmmain.h"

namespace dotreel {

namespace {

QString caption(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

void frmMain::cmdScroll_Click(int16_t Index) {
    if (Index < 0 || Index >= static_cast<int16_t>(cmdScroll.size())) return;
    QPushButton* pressed = cmdScroll[static_cast<size_t>(Index)];
    pressed->setEnabled(false);  // shows that the press is being worked on

    // The mode lives in the mode button's caption alone.
    const bool imageMode = isImageMode(cmdScroll[4]->text().toStdString());
    const ScrollOptions options{optScroll[0]->isChecked(),
                                chkScroll[0]->checkState() != Qt::Unchecked};
    ModMain& s = state_;
    switch (Index) {
        case 0:
        case 1:
            if (imageMode) {
                scrollPicture(s.dots, Index == 0 ? ScrollDirection::Up : ScrollDirection::Down,
                              options);
            } else {
                // Frame mode: a new target for store and undo; the picture stays as it is.
                s.intFrameNo =
                    Index == 0 ? nextFrameNumber(s.intFrameNo) : previousFrameNumber(s.intFrameNo);
                txtScroll->setText(QString::number(s.intFrameNo));
            }
            break;
        case 2:  // hidden in frame mode, so no mode test
            scrollPicture(s.dots, ScrollDirection::Left, options);
            break;
        case 3:
            scrollPicture(s.dots, ScrollDirection::Right, options);
            break;
        case 4:
            if (imageMode) {
                cmdScroll[4]->setText(caption(kFrameModeCaption));
                cmdScroll[2]->setVisible(false);
                cmdScroll[3]->setVisible(false);
            } else {
                cmdScroll[4]->setText(caption(kImageModeCaption));
                cmdScroll[2]->setVisible(true);
                cmdScroll[3]->setVisible(true);
            }
            break;
        default:
            break;
    }

    pressed->setEnabled(true);
}

}  // namespace dotreel
