// Pictures dropped onto the real window: known pictures give known frame bytes from the
// selector's frame on, frames past 267 are left out with a warning, Shift dithers, one undo step.
#include <QImage>
#include <QMimeData>
#include <QScrollBar>
#include <QUrl>
#include <QtTest>
#include <memory>

#include "ui/frmmain.h"
#include "windowfixture.h"

using namespace dotreel;
using namespace dotreel::testing;

namespace {

// White with the top-left and bottom-right pixels black: dot 0 (byte 0, bit 0) and dot 3903
// (byte 487, bit 7) lit, nothing else.
QImage cornerPicture() {
    QImage picture(kColumns, kRows, QImage::Format_RGB32);
    picture.fill(Qt::white);
    picture.setPixel(0, 0, qRgb(0, 0, 0));
    picture.setPixel(kColumns - 1, kRows - 1, qRgb(0, 0, 0));
    return picture;
}

int litDots(const FrameMemory& memory, int frame) {
    int lit = 0;
    for (int k = 0; k < kFrameBytes; ++k)
        lit += __builtin_popcount(memory[static_cast<size_t>(frame * kFrameBytes + k)]);
    return lit;
}

}  // namespace

class TestWindowDrop : public QObject {
    Q_OBJECT

    std::unique_ptr<ProgramFolder> folder_;
    ScriptedDialogs dialogs_;
    std::unique_ptr<frmMain> w_;

    bool drop(const QStringList& names, Qt::KeyboardModifiers modifiers = {}) {
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString& name : names) urls << QUrl::fromLocalFile(folder_->dir.filePath(name));
        mime.setUrls(urls);
        QDragEnterEvent enter({100, 100}, Qt::CopyAction, &mime, Qt::LeftButton, modifiers);
        QApplication::sendEvent(w_.get(), &enter);
        if (!enter.isAccepted()) return false;
        QDropEvent dropped(QPointF(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, modifiers);
        QApplication::sendEvent(w_.get(), &dropped);
        return dropped.isAccepted();
    }

private slots:
    void init() {
        folder_ = std::make_unique<ProgramFolder>();
        QVERIFY(folder_->writeFrameFile(*patternMemory()) &&
                folder_->writeSettings("0\r\n9\r\n10\r\n"));
        QVERIFY(cornerPicture().save(folder_->dir.filePath("corner.png")));
        QVERIFY(cornerPicture().save(folder_->dir.filePath("corner.bmp")));
        QImage grey(kColumns, kRows, QImage::Format_RGB32);
        grey.fill(qRgb(128, 128, 128));
        QVERIFY(grey.save(folder_->dir.filePath("grey.png")));
        QVERIFY(writeBytes(folder_->dir.filePath("broken.png"), "not a picture"));
        dialogs_ = ScriptedDialogs{};
        w_ = std::make_unique<frmMain>(folder_->path(), &dialogs_);
        w_->Form_Load();
    }
    void cleanup() { w_.reset(); }

    void droppedPicturesGiveKnownFrames_data() {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<int>("at");
        QTest::addColumn<int>("stored");
        QTest::addColumn<QString>("warning");  // a part of the warning, empty for none
        QTest::newRow("PNG at frame 5") << QStringList{"corner.png"} << 5 << 1 << QString();
        QTest::newRow("BMP at frame 0") << QStringList{"corner.bmp"} << 0 << 1 << QString();
        QTest::newRow("three at frame 266: one left out")
            << QStringList{"corner.png", "corner.bmp", "corner.png"} << 266 << 2
            << u("1 picture past frame 267 left out");
        QTest::newRow("an unreadable file: nothing written")
            << QStringList{"corner.png", "broken.png"} << 5 << 0 << u("nothing was written");
    }
    void droppedPicturesGiveKnownFrames() {
        QFETCH(QStringList, files);
        QFETCH(int, at);
        QFETCH(int, stored);
        QFETCH(QString, warning);
        const auto original = std::make_unique<FrameMemory>(w_->state().bytFrameData());
        w_->hscFrame[0]->setValue(at);
        QVERIFY(drop(files));
        const FrameMemory& memory = w_->state().bytFrameData();
        for (int frame = 0; frame <= kLastFrame; ++frame) {
            const auto* bytes = memory.data() + frame * kFrameBytes;
            if (frame >= at && frame < at + stored) {
                QCOMPARE(bytes[0], uint8_t{0x01});
                QCOMPARE(bytes[kFrameBytes - 1], uint8_t{0x80});
                QCOMPARE(litDots(memory, frame), 2);
            } else {
                QVERIFY(
                    std::equal(bytes, bytes + kFrameBytes, original->data() + frame * kFrameBytes));
            }
        }
        QCOMPARE(dialogs_.count(DialogKind::Warning), warning.isEmpty() ? size_t{0} : size_t{1});
        if (!warning.isEmpty())
            QVERIFY(QString::fromStdString(dialogs_.texts().at(0)).contains(warning));
        DotGrid grid;
        Bit_Convert(memory, grid, at);
        QCOMPARE(grid.intDot, w_->state().dots.intDot);
        // The whole drop is one step.
        w_->undoMemory();
        QVERIFY(std::equal(memory.begin(), memory.begin() + kStoreBytes, original->begin()));
    }

    void shiftWhileDroppingDithers() {
        w_->hscFrame[0]->setValue(3);
        QVERIFY(drop({"grey.png"}));
        QCOMPARE(litDots(w_->state().bytFrameData(), 3), 0);  // mid grey is not below the threshold
        QVERIFY(drop({"grey.png"}, Qt::ShiftModifier));
        const int lit = litDots(w_->state().bytFrameData(), 3);
        QVERIFY2(lit > kDotCount * 2 / 5 && lit < kDotCount * 3 / 5,
                 qPrintable(QString::number(lit)));
    }

    void somethingElseDraggedIsRefused() {
        QMimeData mime;
        mime.setText(u("text"));
        QDragEnterEvent enter({100, 100}, Qt::CopyAction, &mime, Qt::LeftButton, {});
        enter.ignore();
        QApplication::sendEvent(w_.get(), &enter);
        QVERIFY(!enter.isAccepted());
    }
};

QTEST_MAIN(TestWindowDrop)
#include "test_window_drop.moc"
