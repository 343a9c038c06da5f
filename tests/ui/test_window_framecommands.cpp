// The frame commands on the real window, through their keys: what the frame memory holds
// afterwards, which frame is on show, the question before frame 267 is lost, and that each
// command is one step of the history.
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>
#include <memory>

#include "ui/frmmain.h"
#include "windowfixture.h"

using namespace dotreel;
using namespace dotreel::testing;

namespace {

using Keys = QList<QKeyCombination>;

// Frame f lit in its first byte with f + 1 (1..255, then 0 again for 255..): enough to tell the
// frames around the ones a test looks at apart; 0 is an empty frame.
std::unique_ptr<FrameMemory> numbered(bool lastEmpty) {
    auto m = std::make_unique<FrameMemory>();
    m->fill(0);
    for (int f = 0; f < kFrameCount; ++f)
        (*m)[static_cast<size_t>(f * kFrameBytes)] = static_cast<uint8_t>((f % 200) + 1);
    if (lastEmpty) (*m)[static_cast<size_t>(kLastFrame * kFrameBytes)] = 0;
    for (int b = kFrameCount * kFrameBytes; b < kStoreBytes; ++b)
        (*m)[static_cast<size_t>(b)] = 0x5A;
    return m;
}

// What the first byte of frames from..from+n-1 holds.
QList<int> firstBytes(const FrameMemory& m, int from, int n) {
    QList<int> out;
    for (int f = from; f < from + n; ++f) out << m[static_cast<size_t>(f * kFrameBytes)];
    return out;
}

std::vector<uint8_t> storeOf(const FrameMemory& m) { return {m.begin(), m.begin() + kStoreBytes}; }

}  // namespace

class TestWindowFrameCommands : public QObject {
    Q_OBJECT

    std::unique_ptr<ProgramFolder> folder_;
    ScriptedDialogs dialogs_;
    std::unique_ptr<frmMain> w_;

    void start(bool lastEmpty) {
        folder_ = std::make_unique<ProgramFolder>();
        QVERIFY(folder_->writeFrameFile(*numbered(lastEmpty)) &&
                folder_->writeSettings("3\r\n200\r\n10\r\n"));
        w_ = std::make_unique<frmMain>(folder_->path(), &dialogs_);
        w_->Form_Load();
        w_->show();
        QVERIFY(QTest::qWaitForWindowExposed(w_.get()));
        w_->cmdPattern[0]->setFocus();
    }
    void press(QKeyCombination keys) {
        QWidget* target = w_->focusWidget() != nullptr ? w_->focusWidget() : w_.get();
        QTest::keyClick(target, keys.key(), keys.keyboardModifiers());
    }

private slots:
    void cleanup() {
        w_.reset();
        dialogs_ = ScriptedDialogs{};
    }

    void keysRearrangeFramesAsOneStepEach_data() {
        QTest::addColumn<int>("frame");  // on show before
        QTest::addColumn<bool>("lastEmpty");
        QTest::addColumn<Keys>("keys");
        QTest::addColumn<int>("answer");  // to the question about frame 267; 0: none asked
        QTest::addColumn<int>("shown");
        QTest::addColumn<int>("from");
        QTest::addColumn<QList<int>>("after");  // first bytes of frames from..
        const int yes = int(Answer::Yes), no = int(Answer::No);
        const auto alt = Qt::AltModifier;
        QTest::newRow("N inserts, 267 empty")
            << 5 << true << Keys{Qt::Key_N} << 0 << 5 << 4 << QList{5, 0, 6, 7};
        QTest::newRow("N asks, Yes inserts")
            << 5 << false << Keys{Qt::Key_N} << yes << 5 << 4 << QList{5, 0, 6};
        QTest::newRow("N asks, No keeps all")
            << 5 << false << Keys{Qt::Key_N} << no << 5 << 4 << QList{5, 6, 7};
        QTest::newRow("Shift+N duplicates")
            << 5 << true << Keys{Qt::ShiftModifier | Qt::Key_N} << 0 << 6 << 4 << QList{5, 6, 6, 7};
        QTest::newRow("Alt+N duplicates")
            << 5 << true << Keys{alt | Qt::Key_N} << 0 << 6 << 4 << QList{5, 6, 6, 7};
        QTest::newRow("Alt+C deletes")
            << 5 << false << Keys{alt | Qt::Key_C} << 0 << 5 << 4 << QList{5, 7, 8};
        QTest::newRow("Alt+PgUp moves earlier")
            << 5 << false << Keys{alt | Qt::Key_PageUp} << 0 << 4 << 3 << QList{4, 6, 5, 7};
        QTest::newRow("Alt+PgDown moves later")
            << 5 << false << Keys{alt | Qt::Key_PageDown} << 0 << 6 << 4 << QList{5, 7, 6, 8};
        QTest::newRow("Alt+PgUp on frame 0: nothing")
            << 0 << false << Keys{alt | Qt::Key_PageUp} << 0 << 0 << 0 << QList{1, 2};
        QTest::newRow("moved twice")
            << 5 << false << Keys{alt | Qt::Key_PageDown, alt | Qt::Key_PageDown} << 0 << 7 << 5
            << QList{7, 8, 6, 9};
    }
    void keysRearrangeFramesAsOneStepEach() {
        QFETCH(int, frame);
        QFETCH(bool, lastEmpty);
        QFETCH(Keys, keys);
        QFETCH(int, answer);
        QFETCH(int, shown);
        QFETCH(int, from);
        QFETCH(QList<int>, after);
        start(lastEmpty);
        if (answer != 0) dialogs_.answers.push_back(static_cast<Answer>(answer));
        w_->hscFrame[0]->setValue(frame);
        w_->cmdPattern[1]->click();  // unstored drawing: dropped as after any memory command
        FrameMemory& m = w_->state().bytFrameData();
        std::vector<std::vector<uint8_t>> states{storeOf(m)};
        for (const QKeyCombination k : keys) {
            press(k);
            if (storeOf(m) != states.back()) states.push_back(storeOf(m));
        }
        QCOMPARE(dialogs_.calls.size(), size_t(answer != 0 ? 1 : 0));
        QCOMPARE(w_->hscFrame[0]->value(), shown);
        QCOMPARE(w_->state().intFrameNo, int16_t(shown));
        QCOMPARE(firstBytes(m, from, int(after.size())), after);
        QCOMPARE(int(m[130784]), 0x5A);  // after frame 267: never touched
        QCOMPARE(w_->history().undoCount(), states.size() - 1);
        // A command that changed the memory shows its frame; one that did nothing (No, or at
        // an edge) leaves the unstored drawing where it is.
        DotGrid shownGrid;
        if (states.size() > 1)
            Bit_Convert(m, shownGrid, shown);
        else
            for (int i = 0; i < kDotCount; ++i) shownGrid.put(i, true);
        QVERIFY(shownGrid.intDot == w_->state().dots.intDot);
        // Undo goes back one command at a time, redo forward again.
        for (size_t i = states.size() - 1; i > 0; --i) {
            press(Qt::ControlModifier | Qt::Key_Z);
            QVERIFY(storeOf(m) == states[i - 1]);
        }
        for (size_t i = 1; i < states.size(); ++i) {
            press(Qt::ControlModifier | Qt::Key_Y);
            QVERIFY(storeOf(m) == states[i]);
        }
    }
};

QTEST_MAIN(TestWindowFrameCommands)
#include "test_window_framecommands.moc"
