// The frame group's wiring in the real window: the set buttons, START/STOP, the timer's ticks and
// the selectors, on a window started from its own temporary files.
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "files/hexcodec.h"
#include "files/settingsfile.h"
#include "platform/textfile.h"
#include "scripteddialogs.h"
#include "ui/dotview.h"
#include "ui/frmmain.h"

using namespace dotreel;
using dotreel::testing::ScriptedDialogs;

namespace {

// Frame n carries its own number in bytes 0 and 1, so the grid tells which frame it shows, and a
// 3 x 3 block that moves one dot right and down from frame to frame, as an animation would.
// Dot 100 (byte 12) is on in every frame: a test that draws must switch it off.
constexpr int kMarkedDot = 100;

FrameMemory numberedFrames() {
    FrameMemory memory{};
    DotGrid grid;
    for (int n = 0; n < kFrameCount; ++n) {
        grid.intDot.fill(kDotOff);
        for (int bit = 0; bit < 16; ++bit)
            if ((n >> bit) & 1) grid.intDot[static_cast<size_t>(bit)] = kDotOn;
        grid.intDot[kMarkedDot] = kDotOn;
        for (int dr = 0; dr < 3; ++dr)
            for (int dc = 0; dc < 3; ++dc)
                grid.intDot[static_cast<size_t>(dotIndexAt(10 + n % 20 + dr, 5 + n % 110 + dc))] =
                    kDotOn;
        Bit_Data_Set(memory, grid, n);
    }
    return memory;
}

int frameOnGrid(const DotGrid& grid) {
    int n = 0;
    for (int bit = 0; bit < 16; ++bit)
        if (grid.intDot[static_cast<size_t>(bit)] == kDotOn) n |= 1 << bit;
    return n;
}

QString text(const char* utf8) { return QString::fromUtf8(utf8); }

// Dots whose look in the window as it stands on screen (the offscreen platform hands back the
// window's backing store) differs from intDot: a solid black inside for on, a white or grey one
// for off, and the dark border in both cases.
int dotsShownWrongly(frmMain& w) {
    const QImage shot = w.screen()->grabWindow(w.winId()).toImage();
    int wrong = 0;
    for (int i = 0; i < kDotCount; ++i) {
        const QRect r = DotView::dotRect(i).translated(w.dotView->mapTo(&w, QPoint(0, 0)));
        const int inside = qGray(shot.pixel(r.center()));
        const bool on = w.state().dots.intDot[static_cast<size_t>(i)] == kDotOn;
        const bool insideRight = on ? inside < 64 : inside > 200;
        const bool borderRight = qGray(shot.pixel(r.topLeft())) < 64;
        if (!insideRight || !borderRight) ++wrong;
    }
    return wrong;
}

}  // namespace

class TestWindowFrames : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void selectorShowsFrameCaptionAndNumber();
    void setButtonsTakeTheSelectorValue_data();
    void setButtonsTakeTheSelectorValue();
    void setButtonsIgnoreTheCurrentFrameNumberAndKeepTheDrawing();
    void startShowsTheStartFrameAndReadsStop();
    void startOnTheFrameOnShowKeepsUnstoredDrawing();
    void writingThePresentValueChangesNothing();
    void stopKeepsTheFrameAndStartBeginsAtTheStartAgain();
    void ticksShowTheRange_data();
    void ticksShowTheRange();
    void repeatCountsOnlyWhenTicked();
    void tickReloadsTheIntervalFromTheSelector();
    void intervalSelectorLeavesTheTimerRunningStateAlone_data();
    void intervalSelectorLeavesTheTimerRunningStateAlone();
    void captionAloneDecidesStartOrStop();
    void frameBeyondTheEndCountsAsTheEnd_data();
    void frameBeyondTheEndCountsAsTheEnd();
    void startFrameFromSettingsOutsideTheRangeIsRefusedWithAWarning();
    void ticksWaitWhileADialogIsOpen_data();
    void ticksWaitWhileADialogIsOpen();
    void realTimerPlaysOncePassAndStops();
    void realClickOnStartStarts();
    void screenShowsTheFrameAfterFastPlayback();
    void screenAtRestShowsTheControlsAsTheyStand_data();
    void screenAtRestShowsTheControlsAsTheyStand();

private:
    void writeFiles(const QString& start, const QString& end, const QString& interval);
    void openWindow(const QString& start = "0", const QString& end = "0",
                    const QString& interval = "1000");
    void selectRange(int s, int e);
    int shown() const { return frameOnGrid(w->state().dots); }

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<frmMain> w;
    ScriptedDialogs dialogs;
};

void TestWindowFrames::init() {
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    dialogs = ScriptedDialogs{};
}

void TestWindowFrames::cleanup() {
    w.reset();
    QCOMPARE(dialogs.count(DialogKind::StepFailure), size_t{0});  // start-up failed nowhere
    dir.reset();
}

void TestWindowFrames::writeFiles(const QString& start, const QString& end,
                                  const QString& interval) {
    QVERIFY(QDir(dir->path()).mkpath(text("データー")));
    QVERIFY(QDir(dir->path()).mkpath(text("設定")));
    const std::string root = dir->path().toStdString() + "/";
    writeFileAtomically(root + "データー/FirstData.txt", formatFrameFile(numberedFrames()), false);
    writeFileAtomically(
        root + "設定/animation.txt",
        formatSettingsFile(start.toStdString(), end.toStdString(), interval.toStdString()), false);
}

// The window after a complete start-up. The interval defaults to 1000 ms, so that no real tick
// comes while a test drives the ticks itself.
void TestWindowFrames::openWindow(const QString& start, const QString& end,
                                  const QString& interval) {
    writeFiles(start, end, interval);
    w = std::make_unique<frmMain>(dir->path().toStdString(), &dialogs);
    w->Form_Load();
    QCOMPARE(w->hscFrame[0]->maximum(), kLastFrame);
}

// The way a user sets the range: move the selector, press the set button.
void TestWindowFrames::selectRange(int s, int e) {
    w->hscFrame[0]->setValue(s);
    w->cmdFrame[0]->click();
    w->hscFrame[0]->setValue(e);
    w->cmdFrame[1]->click();
}

// A tick that the dialog's own event loop delivers does nothing; playback goes on afterwards.
void TestWindowFrames::ticksWaitWhileADialogIsOpen_data() {
    QTest::addColumn<int>("dialog");
    QTest::newRow("warning") << int(DialogKind::Warning);
    QTest::newRow("question") << int(DialogKind::Question);
    QTest::newRow("step failure") << int(DialogKind::StepFailure);
}

void TestWindowFrames::ticksWaitWhileADialogIsOpen() {
    QFETCH(int, dialog);
    openWindow("0", "5");
    w->cmdFrame[2]->click();
    QCOMPARE(shown(), 0);
    QList<int> duringDialog;
    dialogs.beforeAnswer = [&](size_t) {
        w->tmrFrame_Timer();
        w->tmrFrame_Timer();
        duringDialog << shown();
    };
    switch (static_cast<DialogKind>(dialog)) {
        case DialogKind::Warning:  // a layer command refuses its range
            w->txtFrame[0]->setText(text("abc"));
            w->cmdLayer[0]->click();
            break;
        case DialogKind::Question:  // another program replaced the frame file
            writeFiles("0", "5", "1000");
            w->cmdFile->click();
            break;
        case DialogKind::StepFailure:  // an interval that start-up could not read back
            w->txtFrame[2]->setText(text("abc"));
            w->cmdFile->click();
            break;
    }
    QCOMPARE(dialogs.calls.size(), size_t{1});
    QCOMPARE(int(dialogs.calls[0].kind), dialog);
    QCOMPARE(duringDialog, QList<int>{0});
    QVERIFY(w->tmrFrame->isActive());
    w->tmrFrame_Timer();
    QCOMPARE(shown(), 1);
    dialogs.calls.clear();
}

void TestWindowFrames::selectorShowsFrameCaptionAndNumber() {
    openWindow();
    w->hscFrame[0]->setValue(5);
    w->hscFrame[0]->setValue(6);
    QCOMPARE(w->fraFrame->title(), text("フレーム：6"));
    QCOMPARE(w->txtScroll->text(), QString("6"));
    QCOMPARE(w->state().intFrameNo, int16_t{6});
    QCOMPARE(shown(), 6);
    w->hscFrame[0]->setValue(267);
    QCOMPARE(w->fraFrame->title(), text("フレーム：267"));
    QCOMPARE(shown(), 267);
    QVERIFY(w->state().dots.viewMatchesState());
}

void TestWindowFrames::setButtonsTakeTheSelectorValue_data() {
    QTest::addColumn<int>("startFrame");
    QTest::addColumn<int>("endFrame");
    QTest::newRow("start after the end") << 200 << 100;
    QTest::newRow("both set without moving") << 37 << 37;
    QTest::newRow("first and last frame") << 0 << 267;
}

void TestWindowFrames::setButtonsTakeTheSelectorValue() {
    QFETCH(int, startFrame);
    QFETCH(int, endFrame);
    openWindow("5", "6");
    w->hscFrame[0]->setValue(startFrame);
    w->cmdFrame[0]->click();
    QCOMPARE(w->txtFrame[0]->text(), QString::number(startFrame));
    QCOMPARE(w->state().intPlayRange[0], startFrame);
    QCOMPARE(w->state().intPlayRange[1], int16_t{6});  // the other end untouched

    w->hscFrame[0]->setValue(endFrame);
    w->cmdFrame[1]->click();
    QCOMPARE(w->txtFrame[1]->text(), QString::number(endFrame));
    QCOMPARE(w->state().intPlayRange[1], endFrame);
    QCOMPARE(w->txtFrame[0]->text(), QString::number(startFrame));
}

void TestWindowFrames::setButtonsIgnoreTheCurrentFrameNumberAndKeepTheDrawing() {
    openWindow();
    w->hscFrame[0]->setValue(200);
    w->state().intFrameNo = 3;  // as the scroll group's frame mode leaves it
    w->state().dots.put(kMarkedDot, false);
    w->cmdFrame[0]->click();
    w->cmdFrame[1]->click();
    QCOMPARE(w->state().intPlayRange[0], int16_t{200});
    QCOMPARE(w->state().intPlayRange[1], int16_t{200});
    QCOMPARE(w->state().intFrameNo, int16_t{3});
    QCOMPARE(w->state().dots.intDot[kMarkedDot], kDotOff);
    QVERIFY(!w->tmrFrame->isActive());
}

void TestWindowFrames::startShowsTheStartFrameAndReadsStop() {
    openWindow();
    selectRange(10, 12);
    w->hscFrame[0]->setValue(0);
    w->cmdFrame[2]->click();
    QCOMPARE(w->hscFrame[0]->value(), 10);
    QCOMPARE(shown(), 10);
    QCOMPARE(w->state().intFrameNo, int16_t{10});
    QCOMPARE(w->fraFrame->title(), text("フレーム：10"));
    QCOMPARE(w->txtScroll->text(), QString("10"));
    QCOMPARE(w->cmdFrame[2]->text(), QString("STOP"));
    QVERIFY(w->tmrFrame->isActive());
    QCOMPARE(w->tmrFrame->interval(), 1000);
}

void TestWindowFrames::startOnTheFrameOnShowKeepsUnstoredDrawing() {
    openWindow("10", "12");
    w->hscFrame[0]->setValue(10);
    w->state().dots.put(kMarkedDot, false);
    w->cmdFrame[2]->click();
    QVERIFY(w->tmrFrame->isActive());
    QCOMPARE(w->state().dots.intDot[kMarkedDot], kDotOff);
    QCOMPARE(w->state().dots.fillStyle(kMarkedDot), kFillTransparent);
    // The first step replaces the drawing with the next stored frame.
    w->tmrFrame_Timer();
    QCOMPARE(shown(), 11);
    QCOMPARE(w->state().dots.intDot[kMarkedDot], kDotOn);
}

void TestWindowFrames::writingThePresentValueChangesNothing() {
    openWindow();
    w->hscFrame[0]->setValue(40);
    w->state().dots.put(kMarkedDot, false);
    w->state().intFrameNo = 7;
    w->txtScroll->setText("7");
    w->hscFrame[0]->setValue(40);
    QCOMPARE(w->state().dots.intDot[kMarkedDot], kDotOff);
    QCOMPARE(w->state().intFrameNo, int16_t{7});
    QCOMPARE(w->txtScroll->text(), QString("7"));
    QCOMPARE(w->fraFrame->title(), text("フレーム：40"));
}

void TestWindowFrames::stopKeepsTheFrameAndStartBeginsAtTheStartAgain() {
    openWindow("10", "12");
    w->cmdFrame[2]->click();
    w->tmrFrame_Timer();
    QCOMPARE(shown(), 11);
    w->cmdFrame[2]->click();
    QVERIFY(!w->tmrFrame->isActive());
    QCOMPARE(w->cmdFrame[2]->text(), QString("START"));
    QCOMPARE(w->hscFrame[0]->value(), 11);
    QCOMPARE(shown(), 11);
    QCOMPARE(w->state().intFrameNo, int16_t{11});
    w->cmdFrame[2]->click();
    QCOMPARE(shown(), 10);
    QCOMPARE(w->cmdFrame[2]->text(), QString("STOP"));
}

void TestWindowFrames::ticksShowTheRange_data() {
    QTest::addColumn<int>("s");
    QTest::addColumn<int>("e");
    QTest::addColumn<bool>("repeat");
    QTest::addColumn<QList<int>>("frames");  // on show after START and after each tick
    QTest::addColumn<bool>("runsAtEnd");

    QTest::newRow("10..12 repeat")
        << 10 << 12 << true << QList<int>{10, 11, 12, 10, 11, 12, 10} << true;
    QTest::newRow("10..12 once") << 10 << 12 << false << QList<int>{10, 11, 12, 12} << false;
    QTest::newRow("12..10 repeat") << 12 << 10 << true << QList<int>{12, 11, 10, 12} << true;
    QTest::newRow("12..10 once") << 12 << 10 << false << QList<int>{12, 11, 10, 10} << false;
    QTest::newRow("5..5 once") << 5 << 5 << false << QList<int>{5, 5} << false;
    QTest::newRow("5..5 repeat") << 5 << 5 << true << QList<int>{5, 5, 5} << true;
}

void TestWindowFrames::ticksShowTheRange() {
    QFETCH(int, s);
    QFETCH(int, e);
    QFETCH(bool, repeat);
    QFETCH(QList<int>, frames);
    QFETCH(bool, runsAtEnd);

    openWindow(QString::number(s), QString::number(e));
    w->chkFrame->setChecked(repeat);
    w->cmdFrame[2]->click();
    QList<int> seen{shown()};
    for (int k = 1; k < frames.size(); ++k) {
        QVERIFY2(w->tmrFrame->isActive(), "a tick came while stopped");
        w->tmrFrame_Timer();
        seen << shown();
        QCOMPARE(w->hscFrame[0]->value(), shown());
        QCOMPARE(w->state().intFrameNo, shown());
    }
    QCOMPARE(seen, frames);
    QCOMPARE(w->tmrFrame->isActive(), runsAtEnd);
    QCOMPARE(w->cmdFrame[2]->text(), runsAtEnd ? QString("STOP") : QString("START"));
    QVERIFY(w->state().dots.viewMatchesState());
}

void TestWindowFrames::repeatCountsOnlyWhenTicked() {
    // A grey (partially checked) box is not the value 1: no repeat.
    openWindow("10", "11");
    w->chkFrame->setTristate(true);
    w->chkFrame->setCheckState(Qt::PartiallyChecked);
    w->cmdFrame[2]->click();
    w->tmrFrame_Timer();
    w->tmrFrame_Timer();
    QVERIFY(!w->tmrFrame->isActive());
    QCOMPARE(shown(), 11);
}

void TestWindowFrames::tickReloadsTheIntervalFromTheSelector() {
    openWindow("10", "20", "1000");
    w->cmdFrame[2]->click();
    w->tmrFrame->setInterval(0);  // as a failed settings step can leave it
    w->tmrFrame_Timer();
    QCOMPARE(w->tmrFrame->interval(), 1000);
    QVERIFY(w->tmrFrame->isActive());
}

void TestWindowFrames::intervalSelectorLeavesTheTimerRunningStateAlone_data() {
    QTest::addColumn<bool>("playing");
    QTest::newRow("stopped") << false;
    QTest::newRow("playing") << true;
}

void TestWindowFrames::intervalSelectorLeavesTheTimerRunningStateAlone() {
    QFETCH(bool, playing);
    openWindow("10", "20");
    if (playing) w->cmdFrame[2]->click();
    w->hscFrame[1]->setValue(250);
    QCOMPARE(w->txtFrame[2]->text(), QString("250"));
    QCOMPARE(w->tmrFrame->interval(), 250);
    QCOMPARE(w->tmrFrame->isActive(), playing);
    QCOMPARE(w->cmdFrame[2]->text(), playing ? QString("STOP") : QString("START"));
    QCOMPARE(w->hscFrame[0]->value(), playing ? 10 : 0);
}

void TestWindowFrames::captionAloneDecidesStartOrStop() {
    openWindow("10", "12");
    // Not exactly "START": the button stops, although the timer is not running.
    w->cmdFrame[2]->setText("Start");
    w->cmdFrame[2]->click();
    QCOMPARE(w->cmdFrame[2]->text(), QString("START"));
    QVERIFY(!w->tmrFrame->isActive());
    QCOMPARE(shown(), 0);
}

void TestWindowFrames::frameBeyondTheEndCountsAsTheEnd_data() {
    QTest::addColumn<int>("s");
    QTest::addColumn<int>("e");
    QTest::addColumn<int>("movedTo");
    QTest::addColumn<bool>("repeat");
    QTest::addColumn<int>("after");
    QTest::addColumn<bool>("running");
    QTest::newRow("forward, repeat") << 10 << 12 << 20 << true << 10 << true;
    QTest::newRow("forward, once") << 10 << 12 << 20 << false << 20 << false;
    QTest::newRow("forward to the last frame, once") << 10 << 12 << 267 << false << 267 << false;
    QTest::newRow("backward to frame 0, repeat") << 12 << 10 << 0 << true << 12 << true;
    QTest::newRow("end 300 from the settings, at 267") << 260 << 300 << 267 << true << 260 << true;
}

void TestWindowFrames::frameBeyondTheEndCountsAsTheEnd() {
    QFETCH(int, s);
    QFETCH(int, e);
    QFETCH(int, movedTo);
    QFETCH(bool, repeat);
    QFETCH(int, after);
    QFETCH(bool, running);
    openWindow(QString::number(s), QString::number(e));
    w->chkFrame->setChecked(repeat);
    w->cmdFrame[2]->click();
    w->hscFrame[0]->setValue(movedTo);
    w->tmrFrame_Timer();
    QCOMPARE(w->hscFrame[0]->value(), after);
    QCOMPARE(shown(), after);
    QCOMPARE(w->tmrFrame->isActive(), running);
    QCOMPARE(w->cmdFrame[2]->text(), running ? QString("STOP") : QString("START"));
}

void TestWindowFrames::startFrameFromSettingsOutsideTheRangeIsRefusedWithAWarning() {
    openWindow("300", "5");
    QCOMPARE(w->state().intPlayRange[0], int16_t{300});
    w->hscFrame[0]->setValue(42);
    w->state().dots.put(kMarkedDot, false);
    w->cmdFrame[2]->click();

    QCOMPARE(w->cmdFrame[2]->text(), QString("START"));
    QVERIFY(!w->tmrFrame->isActive());
    QCOMPARE(w->hscFrame[0]->value(), 42);
    QCOMPARE(w->state().intFrameNo, int16_t{42});
    QCOMPARE(w->state().dots.intDot[kMarkedDot], kDotOff);
    QCOMPARE(w->state().intPlayRange[0], int16_t{300});
    QCOMPARE(w->txtFrame[0]->text(), QString("300"));

    QCOMPARE(dialogs.calls.size(), size_t{1});
    QCOMPARE(dialogs.calls[0].kind, DialogKind::Warning);
    QCOMPARE(dialogs.calls[0].title, std::string("cmdFrame.Click"));
    const QString warning = QString::fromStdString(dialogs.calls[0].text);
    QVERIFY2(warning.contains(text("0～267")) && warning.contains("300"), qPrintable(warning));
}

void TestWindowFrames::realTimerPlaysOncePassAndStops() {
    openWindow("20", "25", "1");
    w->chkFrame->setChecked(false);
    QSignalSpy steps(w->hscFrame[0], &QScrollBar::valueChanged);
    w->cmdFrame[2]->click();
    QTRY_COMPARE(w->cmdFrame[2]->text(), QString("START"));
    QVERIFY(!w->tmrFrame->isActive());
    QList<int> seen;
    for (const auto& args : steps) seen << args.at(0).toInt();
    QCOMPARE(seen, (QList<int>{20, 21, 22, 23, 24, 25}));
    QCOMPARE(shown(), 25);
}

void TestWindowFrames::realClickOnStartStarts() {
    openWindow("3", "4");
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    QTest::mouseClick(w->cmdFrame[2], Qt::LeftButton);
    QCOMPARE(w->cmdFrame[2]->text(), QString("STOP"));
    QCOMPARE(shown(), 3);
    QTest::mouseClick(w->cmdFrame[2], Qt::LeftButton);
    QCOMPARE(w->cmdFrame[2]->text(), QString("START"));
}

void TestWindowFrames::screenShowsTheFrameAfterFastPlayback() {
    openWindow("0", "267", "1");
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    QTRY_COMPARE(dotsShownWrongly(*w), 0);
    QSignalSpy steps(w->hscFrame[0], &QScrollBar::valueChanged);
    w->cmdFrame[2]->click();
    QTRY_VERIFY(steps.size() >= 150);
    w->cmdFrame[2]->click();
    // Once the pending repaints are done, every dot on screen shows the frame on show.
    QTRY_COMPARE(dotsShownWrongly(*w), 0);
    QCOMPARE(shown(), w->hscFrame[0]->value());
}

void TestWindowFrames::screenAtRestShowsTheControlsAsTheyStand_data() {
    QTest::addColumn<QString>("control");
    QTest::newRow("frame caption") << "fraFrame";
    QTest::newRow("frame number box") << "txtScroll";
    QTest::newRow("frame selector") << "hscFrame(0)";
}

// Playback paints the controls around the grid at the screen's pace, not on every tick; once it
// stops, what the screen holds is what a fresh paint of the control gives.
void TestWindowFrames::screenAtRestShowsTheControlsAsTheyStand() {
    QFETCH(QString, control);
    openWindow("0", "267", "1");
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    auto* widget = w->findChild<QWidget*>(control);
    QVERIFY(widget != nullptr);
    QSignalSpy steps(w->hscFrame[0], &QScrollBar::valueChanged);
    w->cmdFrame[2]->click();
    QTRY_VERIFY(steps.size() >= 150);
    w->cmdFrame[2]->click();
    const int frame = w->hscFrame[0]->value();
    QCOMPARE(w->fraFrame->title(), text("フレーム：") + QString::number(frame));
    QCOMPARE(w->txtScroll->text(), QString::number(frame));
    const QRect place(widget->mapTo(w.get(), QPoint(0, 0)), widget->size());
    // Grabbed from the window, so that the rounded corners show the group's face behind them.
    const QImage fresh = w->grab(place).toImage().convertToFormat(QImage::Format_RGB32);
    auto onScreen = [&] {
        return w->screen()
            ->grabWindow(w->winId(), place.x(), place.y(), place.width(), place.height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    };
    QTRY_COMPARE(onScreen(), fresh);
}

QTEST_MAIN(TestWindowFrames)
#include "test_window_frames.moc"
