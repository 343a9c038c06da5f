// Playback in the real window, through whole sessions: START, ticks and the user's
// interventions; and the decisions themselves over every frame the selector can show.
#include <QCheckBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QtTest>
#include <string>
#include <vector>

#include "playback/playback.h"
#include "scripteddialogs.h"
#include "ui/frmmain.h"

using namespace dotreel;
using dotreel::testing::ScriptedDialogs;

namespace {

// A real window after a start-up that found no files (both given up), so its frame selector
// covers 0..267. The script's events drive its controls and handlers; nothing of playback is
// re-implemented here.
struct Session {
    ScriptedDialogs dialogs;
    frmMain w{"/nonexistent-folder", &dialogs};

    Session(int startOnShow, int s, int e, bool repeat) {
        w.Form_Load();
        // No real tick may come between the ticks the script gives.
        w.hscFrame[1]->setValue(1000);
        w.hscFrame[0]->setValue(startOnShow);
        // The range as the settings file would give it, beyond what the set buttons can set.
        w.state().intPlayRange[0] = static_cast<int16_t>(s);
        w.state().intPlayRange[1] = static_cast<int16_t>(e);
        w.chkFrame->setChecked(repeat);
    }

    bool playing() const { return w.tmrFrame->isActive(); }

    // Runs a script and returns what is on show after each event: the selector's frame,
    // followed by "S" while playback is stopped. Events: "go" START/STOP button, "t" a tick,
    // "m<N>" move the selector, "setS"/"setE" the set buttons, "s<N>" a start frame no control
    // could set, "r0"/"r1" repeat box.
    QString run(const QString& script) {
        QStringList shown;
        for (const QString& ev : script.split(' ', Qt::SkipEmptyParts)) {
            if (ev == "go") {
                w.cmdFrame[2]->click();
            } else if (ev == "t") {
                // A tick only comes while the timer runs; a script that ticks a stopped timer is
                // itself wrong.
                if (!playing()) return "tick while stopped";
                w.tmrFrame_Timer();
            } else if (ev.startsWith('m')) {
                w.hscFrame[0]->setValue(ev.mid(1).toInt());
            } else if (ev == "setS") {
                w.cmdFrame[0]->click();
            } else if (ev == "setE") {
                w.cmdFrame[1]->click();
            } else if (ev.startsWith('s')) {
                w.state().intPlayRange[0] = static_cast<int16_t>(ev.mid(1).toInt());
            } else if (ev == "r0" || ev == "r1") {
                w.chkFrame->setChecked(ev == "r1");
            } else {
                return "bad event " + ev;
            }
            // The caption always tells the state the timer is in.
            if (w.cmdFrame[2]->text() != (playing() ? "STOP" : "START")) return "caption wrong";
            shown << QString::number(w.hscFrame[0]->value()) + (playing() ? "" : "S");
        }
        return shown.join(' ');
    }
};

}  // namespace

class TestPlayback : public QObject {
    Q_OBJECT
private slots:
    void sessionsShowTheExpectedFrames_data();
    void sessionsShowTheExpectedFrames();
    void stepsNeverLeaveTheSelectorRange();
    void startFrameOutsideTheSelectorRangeIsRefused_data();
    void startFrameOutsideTheSelectorRangeIsRefused();
    void onlyTheExactCaptionStartMeansStopped_data();
    void onlyTheExactCaptionStartMeansStopped();
};

void TestPlayback::sessionsShowTheExpectedFrames_data() {
    QTest::addColumn<int>("startOnShow");
    QTest::addColumn<int>("s");
    QTest::addColumn<int>("e");
    QTest::addColumn<bool>("repeat");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("shown");

    QTest::newRow("10..12 with repeat cycles until STOP")
        << 0 << 10 << 12 << true << "go t t t t t t go"
        << "10 11 12 10 11 12 10 10S";
    QTest::newRow("10..12 without repeat stops on 12") << 0 << 10 << 12 << false << "go t t t"
                                                       << "10 11 12 12S";
    QTest::newRow("12..10 runs backwards and repeats") << 0 << 12 << 10 << true << "go t t t t"
                                                       << "12 11 10 12 11";
    QTest::newRow("12..10 without repeat stops on 10") << 0 << 12 << 10 << false << "go t t t"
                                                       << "12 11 10 10S";
    QTest::newRow("5..5 without repeat: the first tick stops") << 0 << 5 << 5 << false << "go t"
                                                               << "5 5S";
    QTest::newRow("5..5 with repeat runs on showing 5") << 0 << 5 << 5 << true << "go t t t go"
                                                        << "5 5 5 5 5S";
    QTest::newRow("STOP at 11 then START begins again at 10")
        << 0 << 10 << 12 << true << "go t go go"
        << "10 11 11S 10";
    QTest::newRow("selector moved within the range steps on from there")
        << 0 << 10 << 20 << true << "go t m15 t t"
        << "10 11 15 16 17";
    QTest::newRow("selector moved before the start steps towards the end")
        << 0 << 10 << 20 << false << "go m3 t t"
        << "10 3 4 5";
    QTest::newRow("end set to the frame on show ends at the next tick")
        << 0 << 10 << 20 << false << "go t t setE t"
        << "10 11 12 12 12S";
    QTest::newRow("end set to the frame on show with repeat goes to the start")
        << 0 << 10 << 20 << true << "go t t setE t t"
        << "10 11 12 12 10 11";
    QTest::newRow("start set during playback counts at the next arrival")
        << 0 << 10 << 13 << true << "go t setS t t t"
        << "10 11 11 12 13 11";
    QTest::newRow("repeat cleared during playback counts at the end")
        << 0 << 10 << 12 << true << "go t r0 t t"
        << "10 11 11 12 12S";
    QTest::newRow("repeat ticked during playback counts at the end")
        << 0 << 10 << 12 << false << "go t r1 t t"
        << "10 11 11 12 10";
    QTest::newRow("start equal to end but another frame on show stops")
        << 0 << 10 << 12 << true << "go t m7 setS setE m9 t"
        << "10 11 7 7 7 9 9S";
    QTest::newRow("range from 267 onwards with repeat holds 267")
        << 0 << 267 << 300 << true << "go t t"
        << "267 267 267";
    QTest::newRow("range starting at frame 0 backwards from 267")
        << 0 << 267 << 0 << false << "go t m1 t t"
        << "267 266 1 0 0S";

    // The frame on show beyond the end in the direction of travel would walk off the selector's
    // range: it counts as the end.
    QTest::newRow("moved beyond the end, repeat: back to the start")
        << 0 << 10 << 12 << true << "go m20 t t"
        << "10 20 10 11";
    QTest::newRow("moved beyond the end, no repeat: stops where it is")
        << 0 << 10 << 12 << false << "go m20 t"
        << "10 20 20S";
    QTest::newRow("moved beyond the end backwards, repeat") << 0 << 12 << 10 << true << "go m2 t t"
                                                            << "12 2 12 11";
    QTest::newRow("moved beyond the end backwards, no repeat")
        << 0 << 12 << 10 << false << "go m0 t"
        << "12 0 0S";
    QTest::newRow("end beyond 267 from the settings, repeat: 267 then the start")
        << 0 << 265 << 300 << true << "go t t t t"
        << "265 266 267 265 266";
    QTest::newRow("end beyond 267 from the settings, no repeat: stops on 267")
        << 0 << 265 << 300 << false << "go t t t"
        << "265 266 267 267S";
    QTest::newRow("negative end from the settings: stops on 0") << 0 << 1 << -5 << false << "go t t"
                                                                << "1 0 0S";

    // A start frame the selector cannot show: START does nothing; a repeat that would go
    // there stops instead.
    QTest::newRow("start 300 from the settings: START refused") << 4 << 300 << 5 << true << "go go"
                                                                << "4S 4S";
    QTest::newRow("repeat to a start of 300 stops on the end frame")
        << 0 << 10 << 12 << true << "go t t s300 t"
        << "10 11 12 12 12S";
    QTest::newRow("beyond the end, repeat to a start of -3 stops")
        << 0 << 10 << 12 << true << "go m20 s-3 t"
        << "10 20 20 20S";
    QTest::newRow("start -1 from the settings: START refused") << 4 << -1 << 5 << true << "go"
                                                               << "4S";
}

void TestPlayback::sessionsShowTheExpectedFrames() {
    QFETCH(int, startOnShow);
    QFETCH(int, s);
    QFETCH(int, e);
    QFETCH(bool, repeat);
    QFETCH(QString, script);
    QFETCH(QString, shown);

    Session session(startOnShow, s, e, repeat);
    QCOMPARE(session.dialogs.count(DialogKind::StepFailure), size_t{2});  // the two files
    QCOMPARE(session.run(script), shown);
    // Only a start frame the selector cannot show is refused, with a warning.
    QCOMPARE(session.dialogs.count(DialogKind::Warning) > 0, !isFrameNumber(s));
}

void TestPlayback::stepsNeverLeaveTheSelectorRange() {
    // Every frame on show, every start and end from the 16-bit settings' interesting values:
    // a step shows a frame the selector has, and a running playback never stalls on a frame
    // that is not the end (it either moves, or stops, or it is a one-frame range repeating).
    const std::vector<int> ends = {-32768, -1, 0, 1, 133, 266, 267, 268, 300, 32767};
    for (int v = 0; v <= kLastFrame; ++v) {
        for (int s : ends) {
            for (int e : ends) {
                for (bool repeat : {false, true}) {
                    const TickDecision d = playbackStep(v, s, e, repeat);
                    if (d.action == TickAction::ShowFrame) {
                        QVERIFY2(
                            isFrameNumber(d.frame),
                            qPrintable(
                                QString("v=%1 s=%2 e=%3 -> %4").arg(v).arg(s).arg(e).arg(d.frame)));
                        QVERIFY(d.frame != v);
                    }
                    // Nothing new is shown only when the start frame is already on show.
                    if (d.action == TickAction::KeepRunning) QVERIFY(repeat && s == v);
                }
            }
        }
    }
}

void TestPlayback::startFrameOutsideTheSelectorRangeIsRefused_data() {
    QTest::addColumn<int>("s");
    QTest::addColumn<bool>("starts");
    QTest::newRow("-32768") << -32768 << false;
    QTest::newRow("-1") << -1 << false;
    QTest::newRow("0") << 0 << true;
    QTest::newRow("267") << 267 << true;
    QTest::newRow("268") << 268 << false;
    QTest::newRow("300") << 300 << false;
    QTest::newRow("32767") << 32767 << false;
}

void TestPlayback::startFrameOutsideTheSelectorRangeIsRefused() {
    QFETCH(int, s);
    QFETCH(bool, starts);
    const StartDecision d = startPlayback(s);
    QCOMPARE(d.action == StartAction::Start, starts);
    if (starts) QCOMPARE(d.frame, s);
}

void TestPlayback::onlyTheExactCaptionStartMeansStopped_data() {
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("stopped");
    QTest::newRow("START") << "START" << true;
    QTest::newRow("STOP") << "STOP" << false;
    QTest::newRow("lower case") << "start" << false;
    QTest::newRow("trailing space") << "START " << false;
    QTest::newRow("empty") << "" << false;
}

void TestPlayback::onlyTheExactCaptionStartMeansStopped() {
    QFETCH(QString, caption);
    QFETCH(bool, stopped);
    QCOMPARE(isStoppedCaption(caption.toStdString()), stopped);
}

QTEST_MAIN(TestPlayback)
#include "test_playback.moc"
