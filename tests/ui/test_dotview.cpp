// The dot grid as painted: placement by dot index, the checkerboard, the markers, the fills,
// and the repaint that follows a transfer on the real screen path.
#include <QScreen>
#include <QtTest>

#include "paintcounter.h"
#include "ui/dotview.h"
#include "ui/frmmain.h"
#include "windowfixture.h"

using namespace dotreel;
using namespace dotreel::testing;

namespace {

const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kGrey = qRgb(224, 224, 224);
const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kRed = qRgb(255, 0, 0);

// The window's pixels, rendered afresh.
QImage windowImage(frmMain& w) { return w.grab().toImage().convertToFormat(QImage::Format_RGB32); }

// The inner 6 x 6 pixels of the square at lattice place (column, row), all of one colour, or
// an invalid colour when they differ.
QRgb innerColour(const QImage& image, int column, int row) {
    const int left = 28 + column * 7 + 1;
    const int top = 28 + row * 7 + 1;
    const QRgb first = image.pixel(left, top);
    for (int y = top; y < top + 6; ++y)
        for (int x = left; x < left + 6; ++x)
            if (image.pixel(x, y) != first) return qRgba(1, 2, 3, 0);
    return first;
}

// The border ring of the square at (column, row) is all window-text coloured.
bool borderIs(const QImage& image, int column, int row, QRgb colour) {
    const int left = 28 + column * 7;
    const int top = 28 + row * 7;
    for (int i = 0; i < 8; ++i) {
        if (image.pixel(left + i, top) != colour || image.pixel(left + i, top + 7) != colour ||
            image.pixel(left, top + i) != colour || image.pixel(left + 7, top + i) != colour)
            return false;
    }
    return true;
}

// Runs what is queued, the repaints it queues in turn included.
void settle() {
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
}

}  // namespace

class DotViewTest : public QObject {
    Q_OBJECT
private slots:
    void dotIndexStandsAtLayoutPlace_data();
    void dotIndexStandsAtLayoutPlace();
    void checkerboardRestartsAtRightHalf_data();
    void checkerboardRestartsAtRightHalf();
    void lastBlocksOfEachHalfAreGrey();
    void halfTheDotsAreGrey();
    void dotsShareOneBorderLine();
    void markersStandOnLatticeOutsideGrid_data();
    void markersStandOnLatticeOutsideGrid();
    void viewShowsDotStateAfterTransfer();
    void transferRequestsOneRepaint();
    void changedDotReachesScreenAfterHandlerReturns();
};

void DotViewTest::dotIndexStandsAtLayoutPlace_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::newRow("0") << 0 << 0 << 0;
    QTest::newRow("7") << 7 << 7 << 0;
    QTest::newRow("8") << 8 << 0 << 1;
    QTest::newRow("487") << 487 << 7 << 60;
    QTest::newRow("488") << 488 << 8 << 0;
    QTest::newRow("1952") << 1952 << 0 << 61;
    QTest::newRow("3903") << 3903 << 31 << 121;
}

void DotViewTest::dotIndexStandsAtLayoutPlace() {
    QFETCH(int, index);
    QFETCH(int, row);
    QFETCH(int, column);
    ScriptedDialogs dialogs;
    frmMain w("/nonexistent-folder", &dialogs);
    w.state().dots.put(index, true);
    QCOMPARE(DotView::dotRect(index), QRect(28 + column * 7, 28 + row * 7, 8, 8));
    const QImage image = windowImage(w);
    QCOMPARE(innerColour(image, column, row), kBlack);
    QVERIFY(borderIs(image, column, row, kBlack));
    // Only that dot is on: its neighbours keep their background.
    int black = 0;
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kColumns; ++c)
            if (innerColour(image, c, r) == kBlack) ++black;
    QCOMPARE(black, 1);
}

void DotViewTest::checkerboardRestartsAtRightHalf_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("grey");
    QTest::newRow("r0 c0") << 0 << 0 << false;
    QTest::newRow("r0 c7") << 0 << 7 << false;
    QTest::newRow("r0 c8") << 0 << 8 << true;
    QTest::newRow("r8 c0") << 8 << 0 << true;
    QTest::newRow("r8 c8") << 8 << 8 << false;
    QTest::newRow("r0 c61") << 0 << 61 << false;
    QTest::newRow("r0 c69") << 0 << 69 << true;
    QTest::newRow("r31 c121") << 31 << 121 << false;
    QTest::newRow("r24 c61") << 24 << 61 << true;
}

void DotViewTest::checkerboardRestartsAtRightHalf() {
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(bool, grey);
    ScriptedDialogs dialogs;
    frmMain w("/nonexistent-folder", &dialogs);
    QCOMPARE(innerColour(windowImage(w), column, row), grey ? kGrey : kWhite);
    QCOMPARE(DotView::onGreyBlock(dotIndexAt(row, column)), grey);
}

void DotViewTest::lastBlocksOfEachHalfAreGrey() {
    ScriptedDialogs dialogs;
    frmMain w("/nonexistent-folder", &dialogs);
    const QImage image = windowImage(w);
    for (int row = 0; row < 8; ++row) {
        for (int column : {56, 57, 58, 59, 60, 117, 118, 119, 120, 121})
            QVERIFY2(innerColour(image, column, row) == kGrey,
                     qPrintable(QStringLiteral("row %1 column %2").arg(row).arg(column)));
        QCOMPARE(innerColour(image, 61, row), kWhite);
        QCOMPARE(innerColour(image, 55, row), kWhite);
    }
}

void DotViewTest::halfTheDotsAreGrey() {
    ScriptedDialogs dialogs;
    frmMain w("/nonexistent-folder", &dialogs);
    const QImage image = windowImage(w);
    int grey = 0;
    int white = 0;
    for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < kColumns; ++c) {
            const QRgb colour = innerColour(image, c, r);
            if (colour == kGrey) ++grey;
            if (colour == kWhite) ++white;
        }
    }
    QCOMPARE(grey, 1952);
    QCOMPARE(white, 1952);
}

void DotViewTest::dotsShareOneBorderLine() {
    ScriptedDialogs dialogs;
    frmMain w("/nonexistent-folder", &dialogs);
    const QImage image = windowImage(w);
    // Column 0 spans x 28..35 and column 1 x 35..42: x 35 is the one line between them.
    for (int y = 28; y < 36; ++y) QCOMPARE(image.pixel(35, y), kBlack);
    QCOMPARE(image.pixel(36, 30), kWhite);
    QCOMPARE(image.pixel(34, 30), kWhite);
    // The grid ends at 13245 x 3795 twips.
    QCOMPARE(image.pixel(882, 30), kBlack);   // right border of column 121
    QVERIFY(image.pixel(883, 30) != kBlack);  // the window face beyond it
    QCOMPARE(image.pixel(30, 252), kBlack);   // lower border of row 31
    QVERIFY(image.pixel(30, 253) != kBlack);
}

void DotViewTest::markersStandOnLatticeOutsideGrid_data() {
    QTest::addColumn<int>("marker");
    QTest::addColumn<int>("leftTwips");
    QTest::addColumn<int>("topTwips");
    QTest::newRow("0") << 0 << 315 << 315;
    QTest::newRow("1") << 1 << 315 << 3780;
    QTest::newRow("2") << 2 << 6825 << 315;
    QTest::newRow("3") << 3 << 13230 << 315;
    QTest::newRow("4") << 4 << 13230 << 3780;
    QTest::newRow("5") << 5 << 6825 << 3780;
    QTest::newRow("6") << 6 << 6720 << 315;
    QTest::newRow("7") << 7 << 6720 << 3780;
}

void DotViewTest::markersStandOnLatticeOutsideGrid() {
    QFETCH(int, marker);
    QFETCH(int, leftTwips);
    QFETCH(int, topTwips);
    ScriptedDialogs dialogs;
    frmMain w("/nonexistent-folder", &dialogs);
    const QRect square(leftTwips / 15, topTwips / 15, 8, 8);
    QCOMPARE(DotView::markerRect(marker), square);
    const QImage image = windowImage(w);
    const int column = (square.left() - 28) / 7;
    const int row = (square.top() - 28) / 7;
    QCOMPARE(innerColour(image, column, row), kRed);
    QVERIFY(borderIs(image, column, row, kBlack));
}

void DotViewTest::viewShowsDotStateAfterTransfer() {
    ScriptedDialogs dialogs;
    frmMain w("/nonexistent-folder", &dialogs);
    auto memory = patternMemory();
    w.state().bytFrameData() = *memory;
    Bit_Convert(w.state().bytFrameData(), w.state().dots, 7);
    const QImage image = windowImage(w);
    for (int i = 0; i < kDotCount; ++i) {
        const bool on = w.state().dots.intDot[static_cast<size_t>(i)] == kDotOn;
        const QRgb background = DotView::onGreyBlock(i) ? kGrey : kWhite;
        QCOMPARE(innerColour(image, dotColumn(i), dotRow(i)), on ? kBlack : background);
    }
}

void DotViewTest::transferRequestsOneRepaint() {
    ScriptedDialogs dialogs;
    frmMain w("/nonexistent-folder", &dialogs);
    auto memory = patternMemory();
    w.state().bytFrameData() = *memory;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    settle();
    PaintCounter paints(w.dotView);
    Bit_Convert(w.state().bytFrameData(), w.state().dots, 3);
    Bit_Convert(w.state().bytFrameData(), w.state().dots, 4);
    QCOMPARE(paints.count, 0);  // nothing while the handler runs
    QTRY_COMPARE(paints.count, 1);
    settle();
    QCOMPARE(paints.count, 1);  // both transfers in one paint
    // A transfer that changes no dot paints nothing.
    Bit_Convert(w.state().bytFrameData(), w.state().dots, 4);
    settle();
    QCOMPARE(paints.count, 1);
}

void DotViewTest::changedDotReachesScreenAfterHandlerReturns() {
    ScriptedDialogs dialogs;
    frmMain w("/nonexistent-folder", &dialogs);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QScreen* screen = w.screen();
    auto screenPixel = [&](int x, int y) {
        return screen->grabWindow(w.winId(), x, y, 1, 1).toImage().pixel(0, 0);
    };
    const QRect dot = DotView::dotRect(dotIndexAt(20, 100));
    QTRY_COMPARE(screenPixel(dot.x() + 3, dot.y() + 3), kWhite);
    // Two far-apart dots in one handler: both must reach the screen.
    w.state().dots.put(dotIndexAt(20, 100), true);
    w.state().dots.put(dotIndexAt(0, 0), true);
    QTRY_COMPARE(screenPixel(dot.x() + 3, dot.y() + 3), kBlack);
    QTRY_COMPARE(screenPixel(31, 31), kBlack);
    // Many dots: the union of their places is repainted.
    for (int i = 0; i < kDotCount; ++i) w.state().dots.put(i, i == dotIndexAt(0, 8));
    QTRY_COMPARE(screenPixel(28 + 8 * 7 + 3, 31), kBlack);
    for (int i = 0; i < kDotCount; ++i) w.state().dots.put(i, false);
    QTRY_COMPARE(screenPixel(dot.x() + 3, dot.y() + 3), kWhite);
    QTRY_COMPARE(screenPixel(31, 31), kWhite);
    QTRY_COMPARE(screenPixel(28 + 8 * 7 + 3, 31), kGrey);
    // A whole frame at once: thousands of changed dots, one repaint of their union.
    auto memory = patternMemory();
    w.state().bytFrameData() = *memory;
    Bit_Convert(w.state().bytFrameData(), w.state().dots, 7);
    auto screenMatchesState = [&] {
        const QImage image =
            screen->grabWindow(w.winId()).toImage().convertToFormat(QImage::Format_RGB32);
        for (int i = 0; i < kDotCount; ++i) {
            const bool on = w.state().dots.intDot[static_cast<size_t>(i)] == kDotOn;
            const QRgb background = DotView::onGreyBlock(i) ? kGrey : kWhite;
            if (innerColour(image, dotColumn(i), dotRow(i)) != (on ? kBlack : background))
                return false;
        }
        return true;
    };
    QTRY_VERIFY(screenMatchesState());
}

QTEST_MAIN(DotViewTest)
#include "test_dotview.moc"
