// Ctrl+T on the real window: a stamp previewed on the grid at the last dot clicked and left
// there unstored, Escape giving the grid back, a marquee as one undo step from the frame on show.
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QtTest>
#include <memory>

#include "testfonts.h"
#include "ui/frmmain.h"
#include "ui/textdialog.h"
#include "windowfixture.h"

using namespace dotreel;
using namespace dotreel::testing;

class TestWindowText : public QObject {
    Q_OBJECT

    std::unique_ptr<ProgramFolder> folder_;
    ScriptedDialogs dialogs_;
    std::unique_ptr<frmMain> w_;
    std::unique_ptr<FrameMemory> memory_;

    bool gridDot(int row, int column) const {
        return w_->state().dots.intDot[static_cast<size_t>(dotIndexAt(row, column))] == kDotOn;
    }
    std::vector<std::string> gridPicture(int top, int left, int rows, int columns) const {
        std::vector<std::string> out;
        for (int r = top; r < top + rows; ++r) {
            std::string line;
            for (int c = left; c < left + columns; ++c) line += gridDot(r, c) ? '#' : '.';
            out.push_back(line);
        }
        return out;
    }
    std::array<int16_t, kDotStateSize> grid() const { return w_->state().dots.intDot; }

    TextDialog* openDialog(const char* words) {
        QTest::keyClick(w_.get(), Qt::Key_T, Qt::ControlModifier);
        auto* dialog = w_->findChild<TextDialog*>();
        if (dialog == nullptr) return nullptr;
        dialog->chooseFontFile(folder_->dir.filePath("test.bdf"));
        dialog->textEdit->setPlainText(QString::fromUtf8(words));
        return dialog;
    }
    // Where the window draws the dot: 8 x 8 squares on a 7-pixel pitch from (28, 28).
    static QPoint dotCentre(int row, int column) { return {28 + column * 7 + 4, 28 + row * 7 + 4}; }

private slots:
    void init() {
        folder_ = std::make_unique<ProgramFolder>();
        memory_ = patternMemory();
        QVERIFY(folder_->writeFrameFile(*memory_) && folder_->writeSettings("0\r\n9\r\n10\r\n"));
        support::writeTestFont(folder_->dir.filePath("test.bdf").toStdString());
        dialogs_ = ScriptedDialogs{};
        w_ = std::make_unique<frmMain>(folder_->path(), &dialogs_);
        w_->Form_Load();
        w_->show();
        QVERIFY(QTest::qWaitForWindowExposed(w_.get()));
    }
    void cleanup() { w_.reset(); }

    void aStampLandsAtTheLastDotClickedAndStaysUnstored() {
        cmdPatternClear();
        QTest::mouseClick(w_.get(), Qt::LeftButton, {}, dotCentre(3, 10));  // toggles it on
        QVERIFY(gridDot(3, 10));
        TextDialog* dialog = openDialog("Ai");
        QVERIFY(dialog);
        QCOMPARE(dialog->xBox->value(), 10);
        QCOMPARE(dialog->yBox->value(), 3);
        // Over what is drawn: the dot clicked stays lit at the pen's start.
        const std::vector<std::string> expected{"##..#.", "#.#...", "###.#.", "#.#.#.", "#.#.#."};
        QCOMPARE(gridPicture(3, 10, 5, 6), expected);
        dialog->accept();
        QCOMPARE(gridPicture(3, 10, 5, 6), expected);
        QVERIFY(std::equal(w_->state().bytFrameData().begin(),
                           w_->state().bytFrameData().begin() + kStoreBytes, memory_->begin()));
        QCOMPARE(w_->history().undoCount(), size_t{0});
    }

    void escapeGivesTheGridBack_data() {
        QTest::addColumn<bool>("marquee");
        QTest::newRow("stamp") << false;
        QTest::newRow("marquee") << true;
    }
    void escapeGivesTheGridBack() {
        QFETCH(bool, marquee);
        w_->hscFrame[0]->setValue(4);
        const auto before = grid();
        TextDialog* dialog = openDialog("AiA");
        QVERIFY(dialog);
        dialog->marqueeOption->setChecked(marquee);
        dialog->overBox->setChecked(false);
        QVERIFY(grid() != before);  // the preview
        QTest::keyClick(dialog->textEdit, Qt::Key_Escape);
        QVERIFY(grid() == before);
        QVERIFY(std::equal(w_->state().bytFrameData().begin(),
                           w_->state().bytFrameData().begin() + kStoreBytes, memory_->begin()));
        QCOMPARE(w_->history().undoCount(), size_t{0});
    }

    void aMarqueeFillsTheFramesFromTheOneOnShowAsOneStep() {
        w_->hscFrame[0]->setValue(5);
        TextDialog* dialog = openDialog("A");
        QVERIFY(dialog);
        dialog->marqueeOption->setChecked(true);
        QVERIFY(!dialog->overBox->isChecked());  // a marquee fills its frames with the text alone
        dialog->stepBox->setValue(40);           // 'A' is 3 wide: 3 frames a pass
        dialog->yBox->setValue(0);
        QVERIFY(dialog->status->text().contains("frames 5..7"));
        dialog->buttons->button(QDialogButtonBox::Ok)->click();
        const FrameMemory& m = w_->state().bytFrameData();
        // Frame k: the pen at 122 - 40 (k + 1); rows 0..4 of 'A'.
        for (int k = 0; k < 3; ++k) {
            const int column = kColumns - 40 * (k + 1);
            const std::span<const uint8_t, kFrameBytes> frame(m.data() + (5 + k) * kFrameBytes,
                                                              kFrameBytes);
            QCOMPARE(support::framePicture(frame, 0, column, 5, 3),
                     (std::vector<std::string>{".#.", "#.#", "###", "#.#", "#.#"}));
            QCOMPARE(support::litCount(frame), 10);
        }
        QVERIFY(std::equal(m.begin() + 8 * kFrameBytes, m.begin() + kStoreBytes,
                           memory_->begin() + 8 * kFrameBytes));
        QVERIFY(gridDot(1, 82));  // the grid shows frame 5
        QCOMPARE(w_->history().undoCount(), size_t{1});
        w_->undoMemory();
        QVERIFY(std::equal(m.begin(), m.begin() + kStoreBytes, memory_->begin()));
    }

    void aMarqueePastFrame267CannotBeConfirmed() {
        w_->hscFrame[0]->setValue(260);
        TextDialog* dialog = openDialog("AiA");
        QVERIFY(dialog);
        dialog->marqueeOption->setChecked(true);
        QVERIFY(!dialog->buttons->button(QDialogButtonBox::Ok)->isEnabled());
        QVERIFY(dialog->status->text().contains("past frame 267"));
        dialog->framesBox->setValue(8);
        QVERIFY(dialog->buttons->button(QDialogButtonBox::Ok)->isEnabled());
    }

    void aMissingGlyphIsShownAndBlocksOk() {
        TextDialog* dialog = openDialog("漢");
        QVERIFY(dialog);
        QVERIFY2(dialog->status->text().contains(QString::fromUtf8("no glyph for '漢' (U+6F22)")),
                 qPrintable(dialog->status->text()));
        QVERIFY(!dialog->buttons->button(QDialogButtonBox::Ok)->isEnabled());
    }

private:
    void cmdPatternClear() { w_->cmdPattern_Click(0); }
};

QTEST_MAIN(TestWindowText)
#include "test_window_text.moc"
