// Lines and rectangles on the real window: Shift (line) or Ctrl+Shift (rectangle) with a press, a
// drag and the release in pencil and eraser modes; click mode and presses without Shift as ever,
// with the release unhandled.
#include <QMouseEvent>
#include <QPushButton>
#include <QtTest>
#include <memory>
#include <set>

#include "ui/frmmain.h"
#include "windowfixture.h"

using namespace dotreel;
using namespace dotreel::testing;

namespace {

QPointF dotCentre(QPoint rowColumn) {
    return {28 + 7 * rowColumn.y() + 4.0, 28 + 7 * rowColumn.x() + 4.0};
}

using Dots = QList<QPoint>;  // row, column

}  // namespace

class TestWindowShapes : public QObject {
    Q_OBJECT

    std::unique_ptr<ProgramFolder> folder_;
    ScriptedDialogs dialogs_;
    std::unique_ptr<frmMain> w_;

    // Sends one mouse event to the window as the window system would; true when it was taken.
    bool send(QEvent::Type type, QPointF at, Qt::MouseButtons held, Qt::KeyboardModifiers mods) {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, at, w_->mapToGlobal(at), button, held, mods);
        QCoreApplication::sendEvent(w_.get(), &event);
        return event.isAccepted();
    }
    Dots changedDots(const std::array<int16_t, kDotStateSize>& before) {
        Dots out;
        for (int row = 0; row < kRows; ++row)
            for (int column = 0; column < kColumns; ++column)
                if (w_->state().dots.intDot[size_t(dotIndexAt(row, column))] !=
                    before[size_t(dotIndexAt(row, column))])
                    out << QPoint(row, column);
        return out;
    }

private slots:
    void init() {
        folder_ = std::make_unique<ProgramFolder>();
        QVERIFY(folder_->writeFrameFile(FrameMemory{}) &&
                folder_->writeSettings("0\r\n267\r\n10\r\n"));
        w_ = std::make_unique<frmMain>(folder_->path(), &dialogs_);
        w_->Form_Load();
        w_->show();
        QVERIFY(QTest::qWaitForWindowExposed(w_.get()));
    }
    void cleanup() { w_.reset(); }

    void pressDragRelease_data() {
        QTest::addColumn<int>("mode");  // presses of the mode button
        QTest::addColumn<bool>("filled");
        QTest::addColumn<Qt::KeyboardModifiers>("mods");
        QTest::addColumn<QPoint>("press");
        QTest::addColumn<QPoint>("drag");
        QTest::addColumn<QPoint>("release");
        QTest::addColumn<Dots>("whileDragging");  // the dots changed after the drag
        QTest::addColumn<Dots>("changed");        // after the release
        QTest::addColumn<bool>("releaseTaken");
        const Qt::KeyboardModifiers shift(Qt::ShiftModifier),
            ctrlShift(Qt::ShiftModifier | Qt::ControlModifier), none;
        QTest::newRow("pencil, Shift: a line, the drag's longer line gone")
            << 1 << false << shift << QPoint(2, 2) << QPoint(2, 6) << QPoint(2, 4)
            << Dots{{2, 2}, {2, 3}, {2, 4}, {2, 5}, {2, 6}} << Dots{{2, 2}, {2, 3}, {2, 4}} << true;
        QTest::newRow("eraser, Shift: a cleared diagonal")
            << 2 << true << shift << QPoint(0, 0) << QPoint(2, 2) << QPoint(2, 2)
            << Dots{{0, 0}, {1, 1}, {2, 2}} << Dots{{0, 0}, {1, 1}, {2, 2}} << true;
        QTest::newRow("pencil, Ctrl+Shift: a rectangle")
            << 1 << false << ctrlShift << QPoint(5, 5) << QPoint(6, 6) << QPoint(6, 7)
            << Dots{{5, 5}, {5, 6}, {6, 5}, {6, 6}}
            << Dots{{5, 5}, {5, 6}, {5, 7}, {6, 5}, {6, 6}, {6, 7}} << true;
        QTest::newRow("pencil, Shift, released off the grid")
            << 1 << false << shift << QPoint(31, 119) << QPoint(31, 121) << QPoint(31, 140)
            << Dots{{31, 119}, {31, 120}, {31, 121}} << Dots{{31, 119}, {31, 120}, {31, 121}}
            << true;
        QTest::newRow("pencil without Shift: the moves draw, as ever")
            << 1 << false << none << QPoint(2, 2) << QPoint(2, 6) << QPoint(2, 9) << Dots{{2, 6}}
            << Dots{{2, 6}, {2, 9}} << false;
        QTest::newRow("click mode with Shift: the press toggles, as ever")
            << 0 << false << shift << QPoint(2, 2) << QPoint(2, 6) << QPoint(2, 9) << Dots{{2, 2}}
            << Dots{{2, 2}} << false;
    }
    void pressDragRelease() {
        QFETCH(int, mode);
        QFETCH(bool, filled);
        QFETCH(Qt::KeyboardModifiers, mods);
        QFETCH(QPoint, press);
        QFETCH(QPoint, drag);
        QFETCH(QPoint, release);
        QFETCH(Dots, whileDragging);
        QFETCH(Dots, changed);
        QFETCH(bool, releaseTaken);
        w_->cmdPattern[filled ? 1 : 0]->click();
        for (int i = 0; i < mode; ++i) w_->cmdDrawTool[0]->click();
        const auto before = w_->state().dots.intDot;
        const auto memory = w_->state().bytFrameData();
        send(QEvent::MouseButtonPress, dotCentre(press), Qt::LeftButton, mods);
        send(QEvent::MouseMove, dotCentre(drag), Qt::LeftButton, mods);
        QCOMPARE(changedDots(before), whileDragging);
        send(QEvent::MouseMove, dotCentre(release), Qt::LeftButton, mods);
        QCOMPARE(send(QEvent::MouseButtonRelease, dotCentre(release), Qt::NoButton, mods),
                 releaseTaken);
        QCOMPARE(changedDots(before), changed);
        QVERIFY(w_->state().dots.viewMatchesState());
        QVERIFY(w_->state().bytFrameData() == memory);  // drawing only, until 記憶
    }

    // Shift without a button lifts the pencil: the pointer goes to a line's start undrawn.
    void shiftMovesWithoutAButtonDrawNothing() {
        w_->cmdDrawTool[0]->click();
        const auto before = w_->state().dots.intDot;
        send(QEvent::MouseMove, dotCentre({3, 3}), Qt::NoButton, Qt::ShiftModifier);
        QVERIFY(w_->state().dots.intDot == before);
        send(QEvent::MouseMove, dotCentre({3, 4}), Qt::NoButton, Qt::NoModifier);
        QCOMPARE(changedDots(before), Dots{QPoint(3, 4)});
    }
};

QTEST_MAIN(TestWindowShapes)
#include "test_window_shapes.moc"
