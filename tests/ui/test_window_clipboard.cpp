// The clipboard on the real window (the platform's own clipboard of the test): the grid copied as
// a one-bit picture and as frame text, pasted back from either, a range of frames copied and
// pasted as one history step, and a warning with nothing changed for anything else.
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>
#include <memory>

#include "files/frametext.h"
#include "pictures/imageimport.h"
#include "ui/frmmain.h"
#include "windowfixture.h"

using namespace dotreel;
using namespace dotreel::testing;

namespace {

std::vector<uint8_t> frameOf(const FrameMemory& m, int frame) {
    const auto* p = m.data() + static_cast<ptrdiff_t>(frame) * kFrameBytes;
    return {p, p + kFrameBytes};
}
std::vector<uint8_t> gridBytes(const DotGrid& grid) {
    const auto bytes = gridFrameBytes(grid);
    return {bytes.begin(), bytes.end()};
}
std::vector<uint8_t> storeOf(const FrameMemory& m) { return {m.begin(), m.end()}; }

// A picture another program might copy: a black bar on white, twice the LCD's size.
QImage barPicture(QColor bar) {
    QImage picture(244, 64, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter(&picture).fillRect(20, 10, 100, 30, bar);
    return picture;
}

}  // namespace

class TestWindowClipboard : public QObject {
    Q_OBJECT

    std::unique_ptr<ProgramFolder> folder_;
    ScriptedDialogs dialogs_;
    std::unique_ptr<frmMain> w_;

    void press(Qt::Key key, Qt::KeyboardModifiers modifiers) {
        QTest::keyClick(w_.get(), key, modifiers);
    }
    static QClipboard* clipboard() { return QGuiApplication::clipboard(); }
    const FrameMemory& memory() { return w_->state().bytFrameData(); }

private slots:
    void init() {
        folder_ = std::make_unique<ProgramFolder>();
        QVERIFY(folder_->writeFrameFile(*patternMemory()) &&
                folder_->writeSettings("3\r\n5\r\n10\r\n"));
        dialogs_ = ScriptedDialogs{};
        w_ = std::make_unique<frmMain>(folder_->path(), &dialogs_);
        w_->Form_Load();
        w_->show();
        QVERIFY(QTest::qWaitForWindowExposed(w_.get()));
        w_->hscFrame[0]->setValue(7);
        w_->cmdPattern[0]->setFocus();
        clipboard()->clear();
    }
    void cleanup() { w_.reset(); }

    // Ctrl+C takes the grid as on screen, unstored drawing included, as picture and as text;
    // Ctrl+V on another frame gives it back as unstored drawing.
    void copyAndPasteTheGrid_data() {
        QTest::addColumn<bool>("asPicture");  // the text left off the clipboard
        QTest::newRow("through the text") << false;
        QTest::newRow("through the picture") << true;
    }
    void copyAndPasteTheGrid() {
        QFETCH(bool, asPicture);
        w_->cmdPattern[2]->click();  // invert: drawing not stored
        const auto drawn = gridBytes(w_->state().dots);
        const auto before = storeOf(memory());
        press(Qt::Key_C, Qt::ControlModifier);
        QVERIFY(storeOf(memory()) == before);
        const QMimeData* mime = clipboard()->mimeData();
        QVERIFY(mime->hasFormat(QStringLiteral("image/png")));
        QImage png;
        QVERIFY(png.loadFromData(mime->data(QStringLiteral("image/png")), "PNG"));
        QCOMPARE(png.size(), QSize(122, 32));
        QCOMPARE(png.depth(), 1);
        QCOMPARE(png.pixel(0, 0) == qRgb(0, 0, 0),
                 w_->state().dots.intDot[0] == kDotOn);  // lit dots black
        const auto text = parseFrameText(mime->text().toStdString());
        QVERIFY(text && *text == drawn);
        QCOMPARE(mime->text().count(QStringLiteral("\r\n")), kFrameBytes);

        if (asPicture) {
            auto* only = new QMimeData;
            only->setData(QStringLiteral("image/png"), mime->data(QStringLiteral("image/png")));
            clipboard()->setMimeData(only);
        }
        w_->hscFrame[0]->setValue(8);
        press(Qt::Key_V, Qt::ControlModifier);
        QVERIFY(gridBytes(w_->state().dots) == drawn);
        QVERIFY(w_->state().dots.viewMatchesState());
        QVERIFY(storeOf(memory()) == before);  // unstored until 記憶
        QCOMPARE(w_->history().undoCount(), size_t(0));
        w_->cmdDrawTool[1]->click();
        QVERIFY(frameOf(memory(), 8) == drawn);
        QVERIFY(dialogs_.calls.empty());
    }

    // A picture from another program is fitted as import fits it; Shift dithers.
    void pastedPictureIsFittedAsImportFitsIt_data() {
        QTest::addColumn<bool>("dither");
        QTest::newRow("threshold") << false;
        QTest::newRow("Shift: dithered") << true;
    }
    void pastedPictureIsFittedAsImportFitsIt() {
        QFETCH(bool, dither);
        const QImage picture = barPicture(QColor(100, 100, 100));
        clipboard()->setImage(picture);
        press(Qt::Key_V, dither ? Qt::ControlModifier | Qt::ShiftModifier : Qt::ControlModifier);
        pictures::ImportOptions options;
        options.dither = dither;
        DotGrid expected;
        pictures::pictureToGrid(pictures::fitToLcd(picture, false), options, expected);
        QVERIFY(gridBytes(w_->state().dots) == gridBytes(expected));
        // Grey 100 lies below the threshold: every dot of the bar lit, or only some dithered.
        const auto bytes = gridBytes(expected);
        QCOMPARE(bytes[static_cast<size_t>(dotIndexAt(12, 30) / 8)] != 0, true);
        int lit = 0;
        for (int i = 0; i < kDotCount; ++i) lit += expected.intDot[size_t(i)] == kDotOn;
        QCOMPARE(lit == 50 * 15, !dither);
    }

    void anythingElseIsRefusedWithNothingChanged_data() {
        QTest::addColumn<QString>("text");  // on the clipboard; empty: nothing at all
        QTest::addColumn<int>("modifiers");
        QTest::newRow("a word, Ctrl+V") << "hello" << int(Qt::ControlModifier);
        QTest::newRow("487 lines, Ctrl+V")
            << QString::fromStdString(formatFrameText(std::vector<uint8_t>(487, 1)))
            << int(Qt::ControlModifier);
        QTest::newRow("three digits, Ctrl+V")
            << QString::fromStdString("123\r\n" + formatFrameText(std::vector<uint8_t>(487, 1)))
            << int(Qt::ControlModifier);
        QTest::newRow("two frames, Ctrl+V")
            << QString::fromStdString(formatFrameText(std::vector<uint8_t>(976, 1)))
            << int(Qt::ControlModifier);
        QTest::newRow("empty, Ctrl+V") << QString() << int(Qt::ControlModifier);
        QTest::newRow("a word, Ctrl+Alt+V")
            << "hello" << int(Qt::ControlModifier | Qt::AltModifier);
    }
    void anythingElseIsRefusedWithNothingChanged() {
        QFETCH(QString, text);
        QFETCH(int, modifiers);
        if (!text.isEmpty()) clipboard()->setText(text);
        w_->cmdPattern[2]->click();
        const auto grid = w_->state().dots.intDot;
        const auto before = storeOf(memory());
        press(Qt::Key_V, Qt::KeyboardModifiers(modifiers));
        QCOMPARE(dialogs_.calls.size(), size_t(1));
        QCOMPARE(dialogs_.calls[0].kind, DialogKind::Warning);
        QVERIFY(w_->state().dots.intDot == grid);
        QVERIFY(storeOf(memory()) == before);
        QCOMPARE(w_->history().undoCount(), size_t(0));
    }

    // The playback range 3..5 copied; pasted at a frame, it lands there as one step.
    void rangeCopiedAndPasted_data() {
        QTest::addColumn<int>("at");
        QTest::addColumn<int>("stored");
        QTest::newRow("at frame 10") << 10 << 3;
        QTest::newRow("at frame 266: one left out") << 266 << 2;
    }
    void rangeCopiedAndPasted() {
        QFETCH(int, at);
        QFETCH(int, stored);
        press(Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
        const auto text = parseFrameText(clipboard()->text().toStdString());
        QVERIFY(text && text->size() == size_t(3 * kFrameBytes));
        const auto before = storeOf(memory());
        w_->hscFrame[0]->setValue(at);
        press(Qt::Key_V, Qt::ControlModifier | Qt::AltModifier);
        for (int i = 0; i < stored; ++i)
            QVERIFY(frameOf(memory(), at + i) ==
                    std::vector<uint8_t>(before.begin() + (3 + i) * kFrameBytes,
                                         before.begin() + (4 + i) * kFrameBytes));
        QVERIFY(std::equal(before.begin() + kFrameCount * kFrameBytes, before.end(),
                           memory().begin() + kFrameCount * kFrameBytes));
        QCOMPARE(dialogs_.calls.size(), size_t(stored < 3 ? 1 : 0));
        DotGrid shown;
        Bit_Convert(memory(), shown, at);
        QVERIFY(shown.intDot == w_->state().dots.intDot);
        QCOMPARE(w_->history().undoCount(), size_t(1));
        QTest::keyClick(w_.get(), Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(storeOf(memory()) == before);
    }
};

QTEST_MAIN(TestWindowClipboard)
#include "test_window_clipboard.moc"
