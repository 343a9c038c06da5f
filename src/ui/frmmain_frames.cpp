// The frame group's buttons and the playback timer: the set buttons take the frame on show into
// the playback range; START/STOP and each tick carry out the playback decisions.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <string>

#include "playback/playback.h"
#include "ui/frmmain.h"
#include "ui/pacedupdates.h"

namespace dotreel {

namespace {

QString caption(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Enabling a timer that already runs leaves its ticks where they are; QTimer::start() would
// begin the interval afresh.
void enableTimer(QTimer* timer) {
    if (!timer->isActive()) timer->start();
}

}  // namespace

void frmMain::cmdFrame_Click(int16_t Index) {
    if (Index == 0 || Index == 1) {
        const int v = hscFrame[0]->value();
        txtFrame[static_cast<size_t>(Index)]->setText(QString::number(v));
        state_.intPlayRange[static_cast<size_t>(Index)] = static_cast<int16_t>(v);
        return;
    }
    if (Index != 2) return;

    if (!isStoppedCaption(cmdFrame[2]->text().toStdString())) {
        tmrFrame->stop();
        cmdFrame[2]->setText(caption(kCaptionStart));
        return;
    }

    const int s = state_.intPlayRange[0];
    const StartDecision decision = startPlayback(s);
    if (decision.action == StartAction::Refuse) {
        // Nothing changes: no frame is shown, the timer stays off, the caption reads "START".
        dialogs_->warn(std::string(kStartRefusedTitle), startRefusedText(s));
        return;
    }
    hscFrame[0]->setValue(decision.frame);  // shows the start frame unless it is on show already
    enableTimer(tmrFrame);
    cmdFrame[2]->setText(caption(kCaptionStop));
}

void frmMain::tmrFrame_Timer() {
    // A dialog's own event loop delivers ticks too: they would run inside the handler that
    // asked. Skipped ones are not made up; the timer runs on, so playback goes on afterwards.
    if (dialogs_->isOpen()) return;
    // Setting a running QTimer's interval restarts its countdown, so only a changed interval is
    // written.
    const int interval = hscFrame[1]->value();
    if (tmrFrame->interval() != interval) tmrFrame->setInterval(interval);

    const bool repeat = chkFrame->checkState() == Qt::Checked;  // the box's value 1
    const TickDecision decision =
        playbackStep(hscFrame[0]->value(), state_.intPlayRange[0], state_.intPlayRange[1], repeat);
    switch (decision.action) {
        case TickAction::ShowFrame:
            // The selector moves on every tick; its picture follows at the screen's pace.
            writeWithoutRepaint(hscFrame[0], [&] { hscFrame[0]->setValue(decision.frame); });
            pacedUpdates->update(hscFrame[0]);
            enableTimer(tmrFrame);
            break;
        case TickAction::KeepRunning:
            enableTimer(tmrFrame);
            break;
        case TickAction::Stop:
            cmdFrame[2]->setText(caption(kCaptionStart));
            tmrFrame->stop();
            break;
    }
}

}  // namespace dotreel
