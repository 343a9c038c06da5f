// Paced repaints: a lone request is painted right after the handler that asks, a stream of them at
// the screen's pace, and the last request of a stream is never lost.
#include <QElapsedTimer>
#include <QtTest>
#include <memory>

#include "core/frame.h"
#include "paintcounter.h"
#include "ui/dotview.h"
#include "ui/pacedupdates.h"

using namespace dotreel;

namespace {

class CountingWidget : public QWidget {
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent*) override { ++paints; }
};

}  // namespace

class PacedUpdatesTest : public QObject {
    Q_OBJECT
private slots:
    void loneRequestIsPaintedAtOnce();
    void streamIsPaintedAtTheScreensPaceAndEndsPainted();
    void widgetGoneWhileWaitingIsSkipped();
    void oneHandlersRequestsAndChangedDotsGoInOnePass();
    void changedDotsAloneAreRepaintedByThePacersPass();
};

void PacedUpdatesTest::loneRequestIsPaintedAtOnce() {
    CountingWidget widget;
    widget.resize(50, 20);
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));
    QTRY_VERIFY(widget.paints > 0);
    const int before = widget.paints;
    PacedUpdates pacer;
    pacer.update(&widget);
    QCOMPARE(pacer.passes(), 0);  // not while the handler that asks runs
    QCoreApplication::processEvents();
    QCOMPARE(pacer.passes(), 1);  // but right after it, without waiting for a refresh
    QTRY_COMPARE(widget.paints, before + 1);
}

void PacedUpdatesTest::streamIsPaintedAtTheScreensPaceAndEndsPainted() {
    CountingWidget widget;
    widget.resize(50, 20);
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));
    QTRY_VERIFY(widget.paints > 0);
    PacedUpdates pacer;
    const int before = widget.paints;
    QElapsedTimer clock;
    clock.start();
    const int requests = 60;
    for (int i = 0; i < requests; ++i) {
        pacer.update(&widget, QRect(0, 0, 10, 10));
        QCoreApplication::processEvents();
    }
    // One pass per refresh that has begun, and the one at once.
    const qint64 refreshes = clock.elapsed() / PacedUpdates::kRefreshMs + 2;
    const int painted = widget.paints - before;
    QVERIFY2(painted <= refreshes, qPrintable(QString("%1 paints").arg(painted)));
    // A request right after a pass waits for the next refresh, and then reaches the widget.
    const int settled = widget.paints;
    pacer.update(&widget);
    QTRY_VERIFY(widget.paints > settled);
}

void PacedUpdatesTest::widgetGoneWhileWaitingIsSkipped() {
    PacedUpdates pacer;
    auto first = std::make_unique<CountingWidget>();
    pacer.update(first.get());
    QCoreApplication::processEvents();
    auto gone = std::make_unique<CountingWidget>();
    pacer.update(gone.get());  // waits for the next refresh
    gone.reset();
    QTRY_COMPARE(pacer.passes(), 2);
}

// A caption written before the frame's dots changed must not appear a refresh ahead of them.
void PacedUpdatesTest::oneHandlersRequestsAndChangedDotsGoInOnePass() {
    QWidget window;
    window.resize(DotView::kViewWidth, DotView::kViewHeight + 30);
    auto* caption = new CountingWidget;
    caption->setParent(&window);
    caption->setGeometry(0, DotView::kViewHeight, 100, 30);
    DotGrid grid;
    auto* view = new DotView(grid, &window);
    PacedUpdates pacer;
    view->setPacer(&pacer);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(2 * PacedUpdates::kRefreshMs);
    const int before = pacer.passes();
    pacer.update(caption);
    grid.put(dotIndexAt(3, 4), true);
    QCoreApplication::processEvents();
    QCOMPARE(pacer.passes(), before + 1);
    QTest::qWait(3 * PacedUpdates::kRefreshMs);
    QCOMPARE(pacer.passes(), before + 1);  // nothing was left for a later pass
}

// With a pacer the grid posts nothing of its own: the pacer's pass must still carry its change,
// both right after a quiet spell and while a stream of passes is under way.
void PacedUpdatesTest::changedDotsAloneAreRepaintedByThePacersPass() {
    QWidget window;
    window.resize(DotView::kViewWidth, DotView::kViewHeight);
    DotGrid grid;
    auto* view = new DotView(grid, &window);
    view->setGeometry(0, 0, DotView::kViewWidth, DotView::kViewHeight);
    PacedUpdates pacer;
    view->setPacer(&pacer);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(2 * PacedUpdates::kRefreshMs);
    testing::PaintCounter paints(view);
    const int before = pacer.passes();
    grid.put(dotIndexAt(3, 4), true);
    QCoreApplication::processEvents();
    QCOMPARE(pacer.passes(), before + 1);
    QTRY_COMPARE(paints.count, 1);
    grid.put(dotIndexAt(5, 6), true);  // within the same refresh: waits for the next one
    QTRY_COMPARE(pacer.passes(), before + 2);
    QTRY_COMPARE(paints.count, 2);
}

QTEST_MAIN(PacedUpdatesTest)
#include "test_pacedupdates.moc"
