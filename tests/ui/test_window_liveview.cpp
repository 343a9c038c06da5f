// The panel following the grid, on the real window against a scripted player on a
// pseudo-terminal: what the grid shows reaches the device, a device that stops reading neither
// freezes the window nor floods it with warnings, and Ctrl+L brings the panel back.
#include <QElapsedTimer>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>
#include <memory>

#include "core/dotgrid.h"
#include "linkdevice.h"
#include "ui/frmmain.h"
#include "ui/livepanel.h"
#include "windowfixture.h"

using namespace dotreel;
using namespace dotreel::testing;

namespace {

QPoint dotCentre(int row, int column) { return {28 + 7 * column + 4, 28 + 7 * row + 4}; }

// How long a lost link takes to show is the link's business (its answer time-out and retries):
// the waits here only guard against a hang.
constexpr int kPatienceMs = 15000;

enum class Change { ClickDot, Pattern, Scroll, SelectFrame, NextFrameKey, Undo, Playback, Text };

}  // namespace

class TestWindowLiveView : public QObject {
    Q_OBJECT

    std::unique_ptr<ProgramFolder> folder_;
    ScriptedDialogs dialogs_;
    std::unique_ptr<support::LinkDevice> device_;
    std::unique_ptr<frmMain> w_;

    link::PanelFrame onGrid() const { return gridFrameBytes(w_->state().dots); }
    // True once the device's last shown frame is the grid's picture.
    bool panelShowsGrid() {
        return QTest::qWaitFor(
            [&] {
                const auto shown = device_->shown();
                return !shown.empty() && shown.back() == onGrid();
            },
            kPatienceMs);
    }
    size_t warnings() const { return dialogs_.count(DialogKind::Warning); }
    // Runs the window's events for a while, so that whatever is queued gets its chance.
    static void settle() { QTest::qWait(100); }
    void openWindow(bool connect = true) {
        w_ = std::make_unique<frmMain>(folder_->path(), &dialogs_);
        w_->Form_Load();
        w_->show();
        QVERIFY(QTest::qWaitForWindowExposed(w_.get()));
        w_->cmdPattern[0]->setFocus();  // the keys go to the window, not to a text box
        if (connect) QVERIFY(w_->connectPanel(device_->slavePath(), 115200));
    }
    // The device stops reading; the window goes on changing the grid until the link gives up.
    // Each step a new picture (a rotation), so the refresh never samples one picture twice.
    void loseTheLink() {
        device_->knobs.stopReading = true;
        QVERIFY(QTest::qWaitFor(
            [&] {
                w_->cmdScroll[3]->click();
                return warnings() > 0;
            },
            kPatienceMs));
    }

private slots:
    void init() {
        folder_ = std::make_unique<ProgramFolder>();
        QVERIFY(folder_->writeFrameFile(*patternMemory()) &&
                folder_->writeSettings("0\r\n5\r\n10\r\n"));
        dialogs_ = ScriptedDialogs{};
        device_ = std::make_unique<support::LinkDevice>();
    }
    void cleanup() {
        w_.reset();
        device_.reset();
    }

    void connectingSendsThePictureOnShow() {
        openWindow();
        QVERIFY(panelShowsGrid());
        QCOMPARE(warnings(), size_t{0});
    }

    void everyChangeOfThePictureReachesThePanel_data() {
        QTest::addColumn<int>("change");
        QTest::newRow("a dot clicked") << int(Change::ClickDot);
        QTest::newRow("a pattern (invert)") << int(Change::Pattern);
        QTest::newRow("a scroll") << int(Change::Scroll);
        QTest::newRow("the frame selector") << int(Change::SelectFrame);
        QTest::newRow("PgDown") << int(Change::NextFrameKey);
        QTest::newRow("undo of unstored drawing") << int(Change::Undo);
        QTest::newRow("playback") << int(Change::Playback);
        QTest::newRow("a frame changed elsewhere (text)") << int(Change::Text);
    }
    void everyChangeOfThePictureReachesThePanel() {
        QFETCH(int, change);
        openWindow();
        QVERIFY(panelShowsGrid());
        if (change == int(Change::Undo)) {
            w_->cmdPattern[2]->click();
            QVERIFY(panelShowsGrid());
        }
        const auto before = onGrid();
        switch (static_cast<Change>(change)) {
            case Change::ClickDot:
                QTest::mouseClick(w_->windowHandle(), Qt::LeftButton, {}, dotCentre(9, 70));
                break;
            case Change::Pattern:
                w_->cmdPattern[2]->click();
                break;
            case Change::Scroll:
                w_->cmdScroll[3]->click();
                break;
            case Change::SelectFrame:
                w_->hscFrame[0]->setValue(7);
                break;
            case Change::NextFrameKey:
                QTest::keyClick(w_.get(), Qt::Key_PageDown);
                break;
            case Change::Undo:
                w_->cmdDrawTool[2]->click();
                break;
            case Change::Playback:
                w_->cmdFrame[2]->click();
                QVERIFY(QTest::qWaitFor([&] { return w_->hscFrame[0]->value() >= 2; }));
                w_->cmdFrame[2]->click();  // STOP: the frame on show stays
                break;
            case Change::Text:
                w_->changeMemory([](FrameMemory& m) {
                    for (int k = 0; k < kFrameBytes; ++k) m[static_cast<size_t>(k)] ^= 0x81;
                });
                break;
        }
        QVERIFY(onGrid() != before);  // the step above did change the picture
        QVERIFY(panelShowsGrid());
        QCOMPARE(warnings(), size_t{0});
    }

    // A handler that leaves the picture as it was offers nothing at all.
    void anUnchangedPictureIsNotOfferedAgain() {
        openWindow();
        QVERIFY(panelShowsGrid());
        settle();
        const uint64_t offers = w_->livePanel->offers();
        w_->cmdPattern[2]->click();
        w_->cmdPattern[2]->click();      // inverted twice within one turn: the same picture
        w_->hscFrame[1]->setValue(200);  // the interval: nothing on the grid
        w_->cmdFrame[0]->click();        // セット: nor here
        settle();
        QCOMPARE(w_->livePanel->offers(), offers);
    }

    void aDeviceThatStopsReadingDoesNotFreezeTheWindow() {
        openWindow();
        QVERIFY(panelShowsGrid());
        device_->knobs.stopReading = true;
        // Far more pictures than the cable could carry: the handlers return all the same.
        QElapsedTimer guard;
        guard.start();
        for (int i = 0; i < 300 && warnings() == 0; ++i) {
            w_->cmdScroll[3]->click();
            QCoreApplication::processEvents();
        }
        QVERIFY2(guard.elapsed() < kPatienceMs, "the handlers waited for the cable");
        QVERIFY(w_->livePanel->stats().skipped > 0);  // pictures replaced, never queued
    }

    void aLostLinkIsOneWarningAndTheEditorGoesOn() {
        openWindow();
        QVERIFY(panelShowsGrid());
        loseTheLink();
        for (int i = 0; i < 50; ++i) {
            w_->cmdScroll[2]->click();
            QCoreApplication::processEvents();
        }
        settle();
        QCOMPARE(warnings(), size_t{1});
        QCOMPARE(QString::fromStdString(dialogs_.calls[0].title), QString(LivePanel::kTitle));
        QVERIFY(dialogs_.calls[0].text.find("Ctrl+L") != std::string::npos);
        QVERIFY(!w_->livePanel->connected());
        // The window itself is untouched: drawing and frames work as before.
        const auto before = w_->state().dots.intDot;
        w_->cmdPattern[2]->click();
        QVERIFY(w_->state().dots.intDot != before);
    }

    void ctrlLAfterTheDeviceIsBackSendsThePictureOnShow() {
        openWindow();
        QVERIFY(panelShowsGrid());
        loseTheLink();
        device_->knobs.stopReading = false;
        w_->hscFrame[0]->setValue(4);  // changed while no panel listens
        settle();
        QTest::keyClick(w_.get(), Qt::Key_L, Qt::ControlModifier);
        QVERIFY(w_->livePanel->connected());
        QVERIFY(panelShowsGrid());
        w_->cmdScroll[0]->click();  // and the panel follows again
        QVERIFY(panelShowsGrid());
        QCOMPARE(warnings(), size_t{1});
    }

    void aPanelThatCannotBeReachedIsOneWarning_data() {
        QTest::addColumn<QString>("port");  // "device": the scripted device's
        QTest::addColumn<unsigned>("version");
        QTest::addColumn<bool>("answers");
        QTest::newRow("no such port")
            << "/nonexistent/ttyUSB9" << unsigned(DOTREEL_LINK_VERSION) << true;
        QTest::newRow("another protocol version") << "device" << DOTREEL_LINK_VERSION + 1u << true;
        QTest::newRow("no answer") << "device" << unsigned(DOTREEL_LINK_VERSION) << false;
    }
    void aPanelThatCannotBeReachedIsOneWarning() {
        QFETCH(QString, port);
        QFETCH(unsigned, version);
        QFETCH(bool, answers);
        device_->knobs.version = version;
        device_->knobs.neverAnswer = !answers;
        openWindow(false);
        const std::string name = port == "device" ? device_->slavePath() : port.toStdString();
        QVERIFY(!w_->connectPanel(name, 115200));
        QCOMPARE(warnings(), size_t{1});
        QVERIFY(dialogs_.calls[0].text.find(name) != std::string::npos);
        QVERIFY(!w_->livePanel->connected());
        // Ctrl+L tries the same port again: one more warning, nothing else.
        QTest::keyClick(w_.get(), Qt::Key_L, Qt::ControlModifier);
        QCOMPARE(warnings(), size_t{2});
        // The device, once it answers as it should, is found by the same key.
        device_->knobs.version = DOTREEL_LINK_VERSION;
        device_->knobs.neverAnswer = false;
        if (port == "device") {
            QTest::keyClick(w_.get(), Qt::Key_L, Qt::ControlModifier);
            QVERIFY(w_->livePanel->connected());
            QVERIFY(panelShowsGrid());
            QCOMPARE(warnings(), size_t{2});
        }
    }

    // Started without a port, Ctrl+L asks for one; cancelling that asks nothing more.
    void ctrlLWithoutAPortAsksForOne() {
        openWindow(false);
        int asked = 0;
        std::string answer;
        w_->livePanel->setPortChooser([&] {
            ++asked;
            return answer;
        });
        QTest::keyClick(w_.get(), Qt::Key_L, Qt::ControlModifier);
        QCOMPARE(asked, 1);
        QVERIFY(!w_->livePanel->connected());
        QCOMPARE(device_->requests(), 0u);
        answer = device_->slavePath();
        QTest::keyClick(w_.get(), Qt::Key_L, Qt::ControlModifier);
        QCOMPARE(asked, 2);
        QVERIFY(panelShowsGrid());
        // From then on Ctrl+L goes back to that port without asking.
        QTest::keyClick(w_.get(), Qt::Key_L, Qt::ControlModifier);
        QCOMPARE(asked, 2);
        QVERIFY(w_->livePanel->connected());
        QCOMPARE(warnings(), size_t{0});
    }
};

QTEST_MAIN(TestWindowLiveView)
#include "test_window_liveview.moc"
