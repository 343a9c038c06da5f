// Paced repaints: a lone request is painted at once, a stream of them at the screen's pace, and
// the last request of a stream is never lost.
#include <QElapsedTimer>
#include <QtTest>
#include <memory>

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
    QCoreApplication::processEvents();
    QCOMPARE(widget.paints, before + 1);
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
    pacer.update(first.get());  // passed at once
    auto gone = std::make_unique<CountingWidget>();
    pacer.update(gone.get());  // waits for the next refresh
    gone.reset();
    QTRY_COMPARE(pacer.passes(), 2);
}

QTEST_MAIN(PacedUpdatesTest)
#include "test_pacedupdates.moc"
