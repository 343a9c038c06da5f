// Drawing in the real window: presses and moves delivered through the window system to the grid,
// the draw-tool and pattern buttons, on a window started from its own files.
#include <QImage>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>
#include <memory>

#include "ui/dotview.h"
#include "ui/frmmain.h"
#include "windowfixture.h"

using namespace dotreel;
using namespace dotreel::testing;

namespace {

QPoint dotCentre(int row, int column) { return {28 + 7 * column + 4, 28 + 7 * row + 4}; }

bool paintedOn(frmMain& w, int row, int column) {
    return w.dotView->grab().toImage().pixelColor(dotCentre(row, column)) == QColor(Qt::black);
}

std::array<int16_t, kDotStateSize> frameGrid(const FrameMemory& memory, int frame) {
    DotGrid grid;
    Bit_Convert(memory, grid, frame);
    return grid.intDot;
}

}  // namespace

class TestWindowDraw : public QObject {
    Q_OBJECT

    std::unique_ptr<ProgramFolder> folder_;
    std::unique_ptr<FrameMemory> memory_;
    ScriptedDialogs dialogs_;
    std::unique_ptr<frmMain> w_;
    int16_t& dot(int row, int column) {
        return w_->state().dots.intDot[size_t(dotIndexAt(row, column))];
    }
    void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

private slots:
    void init() {
        folder_ = std::make_unique<ProgramFolder>();
        memory_ = patternMemory();
        QVERIFY(folder_->writeFrameFile(*memory_) && folder_->writeSettings("0\r\n267\r\n10\r\n"));
        w_ = std::make_unique<frmMain>(folder_->path(), &dialogs_);
        w_->Form_Load();
        w_->show();
        QVERIFY(QTest::qWaitForWindowExposed(w_.get()));
        QVERIFY(dialogs_.calls.empty());
    }
    void cleanup() { w_.reset(); }

    void everyButtonTogglesTheDotUnderThePointer_data() {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::newRow("left, top-left") << Qt::LeftButton << 0 << 0;
        QTest::newRow("left, column 60") << Qt::LeftButton << 7 << 60;
        QTest::newRow("right, column 61") << Qt::RightButton << 8 << 61;
        QTest::newRow("middle, bottom-right") << Qt::MiddleButton << 31 << 121;
    }
    void everyButtonTogglesTheDotUnderThePointer() {
        QFETCH(Qt::MouseButton, button);
        QFETCH(int, row);
        QFETCH(int, column);
        const auto before = w_->state().dots.intDot;
        const bool wasOn = dot(row, column) == kDotOn;
        QTest::mouseClick(w_->windowHandle(), button, {}, dotCentre(row, column));
        QCOMPARE(dot(row, column), wasOn ? kDotOff : kDotOn);
        QCOMPARE(paintedOn(*w_, row, column), !wasOn);
        dot(row, column) = before[size_t(dotIndexAt(row, column))];
        QCOMPARE(w_->state().dots.intDot, before);  // no other dot changed
        dot(row, column) = wasOn ? kDotOff : kDotOn;
        QTest::mouseClick(w_->windowHandle(), button, {}, dotCentre(row, column));
        QCOMPARE(w_->state().dots.intDot, before);
        QCOMPARE(paintedOn(*w_, row, column), wasOn);
    }

    void offTheGridAndClickModeMovesChangeNothing() {
        const auto before = w_->state().dots.intDot;
        // 882 px = 13230 twips and 252 px = 3780 twips lie just past the grid.
        for (QPoint p : {QPoint(27, 30), QPoint(30, 27), QPoint(882, 30), QPoint(30, 252)})
            QTest::mouseClick(w_->windowHandle(), Qt::LeftButton, {}, p);
        for (int c = 0; c < 20; ++c) QTest::mouseMove(w_->windowHandle(), dotCentre(3, c));
        QCOMPARE(w_->state().dots.intDot, before);
    }

    void pencilAndEraserFollowThePointerWithNoButtonHeld() {
        click(w_->cmdDrawTool[0]);
        auto expected = w_->state().dots.intDot;
        w_->Form_MouseDown(1, 0, 420, 420);  // a press does nothing in these modes
        QCOMPARE(w_->state().dots.intDot, expected);
        for (int c = 55; c < 70; ++c) {
            QTest::mouseMove(w_->windowHandle(), dotCentre(20, c));
            expected[size_t(dotIndexAt(20, c))] = kDotOn;
        }
        QCOMPARE(w_->state().dots.intDot, expected);
        QVERIFY(paintedOn(*w_, 20, 60) && paintedOn(*w_, 20, 61));
        click(w_->cmdDrawTool[0]);
        for (int c = 60; c < 65; ++c) {
            QTest::mouseMove(w_->windowHandle(), dotCentre(20, c));
            expected[size_t(dotIndexAt(20, c))] = kDotOff;
        }
        QCOMPARE(w_->state().dots.intDot, expected);
        QVERIFY(w_->state().dots.viewMatchesState());
        QCOMPARE(w_->state().bytFrameData(), *memory_);
    }

    void modeButtonCaptionsCycle() {
        QCOMPARE(w_->cmdDrawTool[0]->text(), u("クリック"));
        for (const char* caption : {"鉛  筆", "消しゴム", "クリック"}) {
            click(w_->cmdDrawTool[0]);
            QCOMPARE(w_->cmdDrawTool[0]->text(), u(caption));
        }
        QCOMPARE(w_->state().bytDrawMode, uint8_t(0));
    }

    void undoRestoresAndStoreKeepsTheDrawing() {
        w_->hscFrame[0]->setValue(9);
        QTest::mouseClick(w_->windowHandle(), Qt::LeftButton, {}, dotCentre(16, 80));
        click(w_->cmdPattern[2]);
        QCOMPARE(w_->state().bytFrameData(), *memory_);  // untouched until stored
        click(w_->cmdDrawTool[2]);
        QCOMPARE(w_->state().dots.intDot, frameGrid(*memory_, 9));

        click(w_->cmdPattern[1]);
        click(w_->cmdDrawTool[1]);
        click(w_->cmdPattern[0]);
        click(w_->cmdDrawTool[2]);
        QVERIFY(std::all_of(w_->state().dots.intDot.begin(), w_->state().dots.intDot.end() - 1,
                            [](int16_t v) { return v == kDotOn; }));
        QVERIFY(paintedOn(*w_, 0, 0) && paintedOn(*w_, 31, 121));
        // Frame 9 became 488 bytes of 255; every other byte is as loaded.
        auto expected = *memory_;
        std::fill_n(expected.begin() + 9 * kFrameBytes, kFrameBytes, uint8_t(255));
        QCOMPARE(w_->state().bytFrameData(), expected);
    }

    void storeAndUndoUseTheSteppedFrameNumber() {
        w_->hscFrame[0]->setValue(5);
        const auto frame5 = w_->state().dots.intDot;
        click(w_->cmdScroll[4]);
        click(w_->cmdScroll[0]);
        click(w_->cmdDrawTool[1]);
        QCOMPARE(frameGrid(w_->state().bytFrameData(), 6), frame5);
        click(w_->cmdScroll[0]);
        click(w_->cmdDrawTool[2]);
        QCOMPARE(w_->state().dots.intDot, frameGrid(*memory_, 7));
        QCOMPARE(w_->hscFrame[0]->value(), 5);
    }
};

QTEST_MAIN(TestWindowDraw)
#include "test_window_draw.moc"
