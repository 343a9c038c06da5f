// The onion skin on the real window: O cycles off -> previous -> previous and next -> off; the
// tones lie between each block's background and black and keep the checkerboard; nothing but the
// view changes; with it off the grid is painted pixel for pixel as before it was turned on.
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

void light(FrameMemory& m, int frame, int row, int column) {
    const int index = dotIndexAt(row, column);
    m[static_cast<size_t>(frame * kFrameBytes + index / 8)] |=
        static_cast<uint8_t>(1 << (index % 8));
}

constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kGrey = 0xFFE0E0E0;

}  // namespace

class TestWindowOnion : public QObject {
    Q_OBJECT

    std::unique_ptr<ProgramFolder> folder_;
    ScriptedDialogs dialogs_;
    std::unique_ptr<frmMain> w_;

    QRgb at(int row, int column) {
        return w_->dotView->grab().toImage().pixel(dotCentre(row, column)) | 0xFF000000;
    }
    void press(int key) { QTest::keyClick(w_.get(), Qt::Key(key)); }

private slots:
    void init() {
        auto m = std::make_unique<FrameMemory>();
        m->fill(0);
        // Frame 4 (previous): (0,0) on white, (0,8) on grey, (2,0) also in frame 6.
        light(*m, 4, 0, 0);
        light(*m, 4, 0, 8);
        light(*m, 4, 2, 0);
        light(*m, 5, 3, 0);   // the frame on show
        light(*m, 5, 0, 16);  // lit on show and in the neighbours: stays black
        light(*m, 4, 0, 16);
        // Frame 6 (next): (1,0) on white, (1,8) on grey.
        light(*m, 6, 1, 0);
        light(*m, 6, 1, 8);
        light(*m, 6, 2, 0);
        folder_ = std::make_unique<ProgramFolder>();
        QVERIFY(folder_->writeFrameFile(*m) && folder_->writeSettings("0\r\n267\r\n10\r\n"));
        w_ = std::make_unique<frmMain>(folder_->path(), &dialogs_);
        w_->Form_Load();
        w_->show();
        QVERIFY(QTest::qWaitForWindowExposed(w_.get()));
        w_->hscFrame[0]->setValue(5);
        w_->cmdPattern[0]->setFocus();
    }
    void cleanup() { w_.reset(); }

    void tonesLieBetweenBackgroundAndBlack_data() {
        QTest::addColumn<QRgb>("background");
        QTest::newRow("white block") << kWhite;
        QTest::newRow("grey block") << kGrey;
    }
    void tonesLieBetweenBackgroundAndBlack() {
        QFETCH(QRgb, background);
        const int previous = qGray(DotView::onionTone(background, true, false));
        const int next = qGray(DotView::onionTone(background, false, true));
        const int both = qGray(DotView::onionTone(background, true, true));
        QVERIFY(0 < both && both < previous && previous < next && next < qGray(background));
        // The same tone on the other block is another tone, darker on grey.
        const QRgb other = background == kWhite ? kGrey : kWhite;
        for (const bool p : {true, false})
            for (const bool n : {true, false})
                if (p || n)
                    QVERIFY(DotView::onionTone(background, p, n) !=
                            DotView::onionTone(other, p, n));
        QVERIFY(qGray(DotView::onionTone(kGrey, true, false)) <
                qGray(DotView::onionTone(kWhite, true, false)));
        // Nor is any tone the other block's background.
        QVERIFY(qGray(DotView::onionTone(kWhite, false, true)) != qGray(kGrey));
    }

    void oCyclesOffPreviousBothOff() {
        const QImage off = w_->dotView->grab().toImage();
        QCOMPARE(at(0, 0), kWhite);  // off at start
        press(Qt::Key_O);
        QCOMPARE(at(0, 0), DotView::onionTone(kWhite, true, false));
        QCOMPARE(at(0, 8), DotView::onionTone(kGrey, true, false));
        QCOMPARE(at(1, 0), kWhite);  // the next frame not yet
        QCOMPARE(at(3, 0), qRgb(0, 0, 0));
        QCOMPARE(at(0, 16), qRgb(0, 0, 0));
        press(Qt::Key_O);
        QCOMPARE(at(0, 0), DotView::onionTone(kWhite, true, false));
        QCOMPARE(at(1, 0), DotView::onionTone(kWhite, false, true));
        QCOMPARE(at(1, 8), DotView::onionTone(kGrey, false, true));
        QCOMPARE(at(2, 0), DotView::onionTone(kWhite, true, true));
        press(Qt::Key_O);
        QVERIFY(w_->dotView->grab().toImage() == off);  // pixel for pixel
    }

    // A view only: the dot state, the memory, the history and a store see nothing of it.
    void nothingButTheViewChanges() {
        const auto dots = w_->state().dots.intDot;
        const std::vector<uint8_t> memory(w_->state().bytFrameData().begin(),
                                          w_->state().bytFrameData().end());
        press(Qt::Key_O);
        press(Qt::Key_O);
        QVERIFY(w_->state().dots.intDot == dots);
        QVERIFY(w_->state().dots.viewMatchesState());
        QCOMPARE(w_->history().undoCount(), size_t(0));
        w_->cmdDrawTool[1]->click();  // 記憶 of the unchanged grid: the same bytes
        QVERIFY(std::equal(memory.begin(), memory.end(), w_->state().bytFrameData().begin()));
        QVERIFY(dialogs_.calls.empty());
    }

    // It follows the frame on show, and the memory as it changes (an undo, a store).
    void followsTheFrameOnShow() {
        press(Qt::Key_O);
        press(Qt::Key_PageDown);  // frame 6 on show: frame 5 is the previous one now
        QCOMPARE(at(3, 0), DotView::onionTone(kWhite, true, false));
        QCOMPARE(at(0, 0), kWhite);
        press(Qt::Key_PageUp);
        w_->hscFrame[0]->setValue(4);
        w_->cmdPattern[0]->click();
        w_->cmdDrawTool[1]->click();  // frame 4 stored empty
        w_->hscFrame[0]->setValue(5);
        QCOMPARE(at(0, 0), kWhite);
        QTest::keyClick(w_.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(at(0, 0), DotView::onionTone(kWhite, true, false));
    }
};

QTEST_MAIN(TestWindowOnion)
#include "test_window_onion.moc"
