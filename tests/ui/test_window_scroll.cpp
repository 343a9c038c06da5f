// The scroll group in the real window: buttons clicked for real, options read from the
// controls, the mode held in the mode button's caption, the frame-number step.
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QtTest>
#include <memory>

#include "ui/dotview.h"
#include "ui/frmmain.h"
#include "windowfixture.h"

using namespace dotreel;
using namespace dotreel::testing;

namespace {

// Passes every change on to the view, counting those made while the watched button was enabled.
struct EnabledWatch : DotObserver {
    EnabledWatch(DotObserver* n, QPushButton* b) : next(n), button(b) {}
    void dotChanged(int i) override {
        ++changes;
        enabledChanges += button->isEnabled();
        next->dotChanged(i);
    }
    DotObserver* next;
    QPushButton* button;
    int changes = 0, enabledChanges = 0;
};

}  // namespace

class TestWindowScroll : public QObject {
    Q_OBJECT

    std::unique_ptr<ProgramFolder> folder_;
    std::unique_ptr<FrameMemory> memory_;
    ScriptedDialogs dialogs_;
    std::unique_ptr<frmMain> w_;
    void click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    bool onlyLit(const std::function<bool(int, int)>& lit) {
        for (int r = 0; r < kRows; ++r)
            for (int c = 0; c < kColumns; ++c)
                if ((w_->state().dots.intDot[size_t(dotIndexAt(r, c))] == kDotOn) != lit(r, c))
                    return false;
        return w_->state().dots.viewMatchesState();
    }

private slots:
    void init() {
        folder_ = std::make_unique<ProgramFolder>();
        memory_ = patternMemory();
        QVERIFY(folder_->writeFrameFile(*memory_) && folder_->writeSettings("0\r\n267\r\n10\r\n"));
        w_ = std::make_unique<frmMain>(folder_->path(), &dialogs_);
        w_->Form_Load();
        w_->show();
        QVERIFY(QTest::qWaitForWindowExposed(w_.get()));
    }
    void cleanup() { w_.reset(); }

    void buttonsScrollWithTheChosenOptions() {
        click(w_->cmdPattern[0]);
        w_->state().dots.put(dotIndexAt(0, 61), true);
        click(w_->cmdScroll[0]);  // rotate: row 0 comes in at row 31
        QVERIFY(onlyLit([](int r, int c) { return r == 31 && c == 61; }));
        click(w_->cmdScroll[2]);
        QVERIFY(onlyLit([](int r, int c) { return r == 31 && c == 60; }));
        click(w_->cmdScroll[3]);
        click(w_->cmdScroll[1]);
        QVERIFY(onlyLit([](int r, int c) { return r == 0 && c == 61; }));

        click(w_->optScroll[1]);  // shift, fill checked: column 121 comes in lit
        click(w_->chkScroll[0]);
        click(w_->cmdPattern[0]);
        click(w_->cmdScroll[2]);
        QVERIFY(onlyLit([](int, int c) { return c == 121; }));
        click(w_->chkScroll[0]);  // fill unchecked on a full grid: row 31 goes dark
        click(w_->cmdPattern[1]);
        click(w_->cmdScroll[0]);
        QVERIFY(onlyLit([](int r, int) { return r != 31; }));
        QCOMPARE(w_->state().bytFrameData(), *memory_);
    }

    void pressedButtonIsDisabledWhileItWorks() {
        for (size_t i = 0; i < 4; ++i) {
            EnabledWatch watch(w_->dotView, w_->cmdScroll[i]);
            w_->state().dots.setObserver(&watch);
            click(w_->cmdScroll[i]);
            w_->state().dots.setObserver(w_->dotView);
            QVERIFY(watch.changes > 0);
            QCOMPARE(watch.enabledChanges, 0);
            QVERIFY(w_->cmdScroll[i]->isEnabled());
        }
        click(w_->cmdScroll[4]);
        bool enabledWhileWriting = true;
        connect(w_->txtScroll, &QLineEdit::textChanged, this,
                [&] { enabledWhileWriting = w_->cmdScroll[1]->isEnabled(); });
        click(w_->cmdScroll[1]);
        QVERIFY(!enabledWhileWriting && w_->cmdScroll[1]->isEnabled());
    }

    void frameModeStepsTheNumberOnly_data() {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("expected");
        QTest::newRow("DOWN at 0") << 0 << 1 << 267;
        QTest::newRow("UP at 267") << 267 << 0 << 0;
        QTest::newRow("UP at 5") << 5 << 0 << 6;
    }
    void frameModeStepsTheNumberOnly() {
        QFETCH(int, start);
        QFETCH(int, button);
        QFETCH(int, expected);
        w_->hscFrame[0]->setValue(start);
        const auto picture = w_->state().dots.intDot;
        const QString frameTitle = w_->fraFrame->title();
        click(w_->cmdScroll[4]);
        click(w_->cmdScroll[size_t(button)]);
        QCOMPARE(int(w_->state().intFrameNo), expected);
        QCOMPARE(w_->txtScroll->text(), QString::number(expected));
        QCOMPARE(w_->state().dots.intDot, picture);
        QCOMPARE(w_->hscFrame[0]->value(), start);
        QCOMPARE(w_->fraFrame->title(), frameTitle);
        QCOMPARE(w_->state().bytFrameData(), *memory_);
    }

    void switchingModesTwiceRestoresTheGroup() {
        w_->hscFrame[0]->setValue(7);
        click(w_->optScroll[1]);
        const auto picture = w_->state().dots.intDot;
        click(w_->cmdScroll[4]);
        QCOMPARE(w_->cmdScroll[4]->text(), u("Frame"));
        QVERIFY(!w_->cmdScroll[2]->isVisible() && !w_->cmdScroll[3]->isVisible());
        QVERIFY(w_->cmdScroll[0]->isVisible() && w_->cmdScroll[1]->isVisible());
        click(w_->cmdScroll[4]);
        QCOMPARE(w_->cmdScroll[4]->text(), u("Image"));
        for (QPushButton* b : w_->cmdScroll) QVERIFY(b->isVisible() && b->isEnabled());
        QCOMPARE(w_->state().dots.intDot, picture);
        QVERIFY(w_->optScroll[1]->isChecked());
        QCOMPARE(w_->state().intFrameNo, int16_t(7));
    }

    void anyCaptionButExactImageIsFrameMode() {
        const auto picture = w_->state().dots.intDot;
        w_->cmdScroll[4]->setText(u("image"));
        click(w_->cmdScroll[0]);
        QCOMPARE(w_->state().intFrameNo, int16_t(1));
        QCOMPARE(w_->state().dots.intDot, picture);
        click(w_->cmdScroll[4]);
        QCOMPARE(w_->cmdScroll[4]->text(), u("Image"));
    }
};

QTEST_MAIN(TestWindowScroll)
#include "test_window_scroll.moc"
