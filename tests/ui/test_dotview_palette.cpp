// The dot grid redrawn for a new palette: every square in the new colours with the dot states
// kept, later changes in the new colours too, and see-through colours blended where squares
// overlap.
#include <QtTest>

#include "ui/dotview.h"
#include "ui/frmmain.h"
#include "windowfixture.h"

using namespace dotreel;
using namespace dotreel::testing;

namespace {

const QRgb kGrey = qRgb(224, 224, 224);
const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kRed = qRgb(255, 0, 0);
const QColor kNewBase(250, 240, 200);
const QColor kNewText(10, 20, 200);

QImage windowImage(frmMain& w) { return w.grab().toImage().convertToFormat(QImage::Format_RGB32); }

void setViewColours(frmMain& w, const QColor& base, const QColor& text) {
    QPalette palette = w.dotView->palette();
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::WindowText, text);
    w.dotView->setPalette(palette);
    QCoreApplication::processEvents();
}

// Every pixel of the square at lattice place (column, row): border ring and 6 x 6 inside.
bool squareIs(const QImage& image, int column, int row, QRgb border, QRgb inside) {
    const int left = 28 + column * 7;
    const int top = 28 + row * 7;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            const bool onRing = x == 0 || y == 0 || x == 7 || y == 7;
            if (image.pixel(left + x, top + y) != (onRing ? border : inside)) return false;
        }
    }
    return true;
}

// Each dot as the state says, in the given base colour; the markers red.
void checkGrid(frmMain& w, QRgb base, QRgb border) {
    const QImage image = windowImage(w);
    for (int i = 0; i < kDotCount; ++i) {
        const bool on = w.state().dots.intDot[static_cast<size_t>(i)] == kDotOn;
        const QRgb inside = on ? kBlack : DotView::onGreyBlock(i) ? kGrey : base;
        if (!squareIs(image, dotColumn(i), dotRow(i), border, inside))
            QFAIL(qPrintable(QString("dot %1").arg(i)));
    }
    for (int marker = 0; marker < DotView::kMarkerCount; ++marker) {
        const QRect square = DotView::markerRect(marker);
        QVERIFY(squareIs(image, (square.left() - 28) / 7, (square.top() - 28) / 7, border, kRed));
    }
    // Beyond the lattice the window's own face shows.
    QVERIFY(image.pixel(5, 5) != border);
    QVERIFY(image.pixel(900, 265) != border);
}

}  // namespace

class DotViewPaletteTest : public QObject {
    Q_OBJECT
private slots:
    void newPaletteRedrawsEveryDotKeepingItsState() {
        ScriptedDialogs dialogs;
        frmMain w("/nonexistent-folder", &dialogs);
        w.state().bytFrameData() = *patternMemory();
        Bit_Convert(w.state().bytFrameData(), w.state().dots, 7);
        QCoreApplication::processEvents();
        setViewColours(w, kNewBase, kNewText);
        checkGrid(w, kNewBase.rgb(), kNewText.rgb());
    }

    void dotsChangedAfterThePaletteUseItsBase() {
        ScriptedDialogs dialogs;
        frmMain w("/nonexistent-folder", &dialogs);
        w.state().bytFrameData() = *patternMemory();
        setViewColours(w, kNewBase, kNewText);
        Bit_Convert(w.state().bytFrameData(), w.state().dots, 3);
        QCoreApplication::processEvents();
        checkGrid(w, kNewBase.rgb(), kNewText.rgb());
        Bit_Convert(w.state().bytFrameData(), w.state().dots, 0);
        QCoreApplication::processEvents();
        checkGrid(w, kNewBase.rgb(), kNewText.rgb());
    }

    void seeThroughBorderIsDeeperWhereSquaresShareIt() {
        ScriptedDialogs dialogs;
        frmMain w("/nonexistent-folder", &dialogs);
        setViewColours(w, kNewBase, QColor(10, 20, 200, 128));
        const QImage image = windowImage(w);
        // x 35 is the border that columns 0 and 1 share, drawn twice; y 28 at x 31 is the top
        // edge of the grid, drawn once.
        const QRgb shared = image.pixel(35, 31);
        const QRgb single = image.pixel(31, 28);
        // Twice over the face is nearer the border's own red of 10 than once.
        QVERIFY(qRed(shared) < qRed(single));
        // The insides keep their opaque colours.
        QCOMPARE(image.pixel(31, 31), kNewBase.rgb());
    }
};

QTEST_MAIN(DotViewPaletteTest)
#include "test_dotview_palette.moc"
