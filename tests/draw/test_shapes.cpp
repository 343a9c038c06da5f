// Lines and rectangle outlines: the dots of a line in the eight directions and the degenerate
// cases, the lattice place of a position off the grid, and a stroke shown while it is dragged.
#include <QtTest/QtTest>

#include <algorithm>

#include "core/frame.h"
#include "draw/hittest.h"
#include "draw/shapes.h"

using namespace dotreel;

using Points = QList<QPoint>;  // column, row
Q_DECLARE_METATYPE(LatticePoint)

namespace {

Points places(const std::vector<int>& dots) {
    Points out;
    for (const int index : dots) out << QPoint(dotColumn(index), dotRow(index));
    return out;
}

float twipsOfColumn(int column) { return float(kGridLeftTwips + column * kDotPitchTwips + 50); }

}  // namespace

class TestShapes : public QObject {
    Q_OBJECT

private slots:
    void lineDots_data() {
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("to");
        QTest::addColumn<Points>("dots");
        const QPoint c(10, 10);
        QTest::newRow("east") << c << QPoint(13, 10)
                              << Points{{10, 10}, {11, 10}, {12, 10}, {13, 10}};
        QTest::newRow("west") << c << QPoint(7, 10) << Points{{10, 10}, {9, 10}, {8, 10}, {7, 10}};
        QTest::newRow("south") << c << QPoint(10, 13)
                               << Points{{10, 10}, {10, 11}, {10, 12}, {10, 13}};
        QTest::newRow("north") << c << QPoint(10, 7) << Points{{10, 10}, {10, 9}, {10, 8}, {10, 7}};
        QTest::newRow("south-east")
            << c << QPoint(13, 13) << Points{{10, 10}, {11, 11}, {12, 12}, {13, 13}};
        QTest::newRow("north-east")
            << c << QPoint(13, 7) << Points{{10, 10}, {11, 9}, {12, 8}, {13, 7}};
        QTest::newRow("south-west")
            << c << QPoint(7, 13) << Points{{10, 10}, {9, 11}, {8, 12}, {7, 13}};
        QTest::newRow("north-west")
            << c << QPoint(7, 7) << Points{{10, 10}, {9, 9}, {8, 8}, {7, 7}};
        QTest::newRow("shallow") << QPoint(0, 0) << QPoint(5, 2)
                                 << Points{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}, {5, 2}};
        QTest::newRow("shallow, backwards")
            << QPoint(5, 2) << QPoint(0, 0)
            << Points{{5, 2}, {4, 2}, {3, 1}, {2, 1}, {1, 0}, {0, 0}};
        QTest::newRow("steep") << QPoint(0, 0) << QPoint(2, 5)
                               << Points{{0, 0}, {0, 1}, {1, 2}, {1, 3}, {2, 4}, {2, 5}};
        QTest::newRow("across the halves")
            << QPoint(59, 31) << QPoint(62, 31) << Points{{59, 31}, {60, 31}, {61, 31}, {62, 31}};
        QTest::newRow("press = release") << QPoint(121, 31) << QPoint(121, 31) << Points{{121, 31}};
        QTest::newRow("release off the grid")
            << QPoint(119, 30) << QPoint(124, 30) << Points{{119, 30}, {120, 30}, {121, 30}};
        QTest::newRow("press off the grid")
            << QPoint(-2, -2) << QPoint(1, 1) << Points{{0, 0}, {1, 1}};
        QTest::newRow("far off") << QPoint(0, 0) << QPoint(-100000, 0) << Points{{0, 0}};
        QTest::newRow("both ends off") << QPoint(-3, 5) << QPoint(-1, 40) << Points{};
    }
    void lineDots() {
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        QFETCH(Points, dots);
        QCOMPARE(places(dotreel::lineDots({from.x(), from.y()}, {to.x(), to.y()})), dots);
    }

    void rectangleDots_data() {
        QTest::addColumn<QPoint>("a");
        QTest::addColumn<QPoint>("b");
        QTest::addColumn<int>("count");
        QTest::addColumn<Points>("some");  // dots that must be among them
        QTest::newRow("3 x 3") << QPoint(2, 2) << QPoint(0, 0) << 8
                               << Points{{0, 0}, {2, 0}, {0, 2}, {2, 2}, {1, 0}, {0, 1}};
        QTest::newRow("one dot") << QPoint(5, 5) << QPoint(5, 5) << 1 << Points{{5, 5}};
        QTest::newRow("one row") << QPoint(1, 3) << QPoint(4, 3) << 4 << Points{{1, 3}, {4, 3}};
        QTest::newRow("one column")
            << QPoint(7, 0) << QPoint(7, 31) << 32 << Points{{7, 0}, {7, 31}};
        QTest::newRow("whole grid")
            << QPoint(0, 0) << QPoint(121, 31) << 2 * 122 + 2 * 30 << Points{{121, 31}, {0, 15}};
        QTest::newRow("corner far off") << QPoint(120, 30) << QPoint(5000, 5000) << 3
                                        << Points{{120, 30}, {121, 30}, {120, 31}};
    }
    void rectangleDots() {
        QFETCH(QPoint, a);
        QFETCH(QPoint, b);
        QFETCH(int, count);
        QFETCH(Points, some);
        const Points dots = places(dotreel::rectangleDots({a.x(), a.y()}, {b.x(), b.y()}));
        QCOMPARE(dots.size(), count);
        for (const QPoint& p : some) QVERIFY2(dots.contains(p), qPrintable(QString::number(p.x())));
        for (const QPoint& p : dots) QCOMPARE(dots.count(p), 1);  // each dot once
    }

    void latticeAtTwips_data() {
        QTest::addColumn<float>("x");
        QTest::addColumn<float>("y");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QPoint>("place");
        QTest::newRow("first dot") << 420.f << 420.f << true << QPoint(0, 0);
        QTest::newRow("last dot") << 13229.f << 3779.f << true << QPoint(121, 31);
        QTest::newRow("right of the grid") << 13230.f << 420.f << true << QPoint(122, 0);
        QTest::newRow("above the grid") << twipsOfColumn(5) << 300.f << true << QPoint(5, -2);
        QTest::newRow("left, below") << 0.f << 4000.f << true << QPoint(-4, 34);
        QTest::newRow("not a number") << std::nanf("") << 420.f << false << QPoint();
        QTest::newRow("absurdly far") << 3e9f << 420.f << false << QPoint();
    }
    void latticeAtTwips() {
        QFETCH(float, x);
        QFETCH(float, y);
        QFETCH(bool, found);
        QFETCH(QPoint, place);
        const auto p = dotreel::latticeAtTwips(x, y);
        QCOMPARE(p.has_value(), found);
        if (found) QCOMPARE(QPoint(p->column, p->row), place);
        // On the grid the lattice place is exactly the hit test's dot.
        if (const auto index = dotAtTwips(x, y)) QCOMPARE(dotIndexAt(p->row, p->column), *index);
    }

    // While dragging only the latest shape is on the grid, over the grid as it was at the press.
    void strokeShowsOnlyTheLatestShape() {
        DotGrid grid;
        grid.put(dotIndexAt(0, 3), true);  // lit before the press, crossed by the first line
        grid.put(dotIndexAt(5, 5), true);
        const auto before = grid.intDot;
        ShapeStroke stroke(grid, ShapeKind::Line, false, {0, 0});  // eraser
        stroke.moveTo({6, 0});
        QCOMPARE(grid.intDot[size_t(dotIndexAt(0, 3))], kDotOff);
        stroke.moveTo({0, 6});  // the row comes back, the column is cleared
        QCOMPARE(grid.intDot[size_t(dotIndexAt(0, 3))], kDotOn);
        QCOMPARE(grid.intDot[size_t(dotIndexAt(5, 5))], kDotOn);
        stroke.moveTo({0, 0});
        auto expected = before;
        expected[0] = kDotOff;
        QVERIFY(grid.intDot == expected);
        QVERIFY(grid.viewMatchesState());
    }

    // A frame shown in the middle of a drag (a playback tick) is not overwritten by the old one.
    void strokeOverAReplacedGridKeepsTheNewGrid() {
        DotGrid grid;
        ShapeStroke stroke(grid, ShapeKind::Rectangle, true, {0, 0});
        stroke.moveTo({3, 3});
        for (int i = 0; i < kDotCount; ++i) grid.put(i, i % 2 == 0);  // the grid replaced
        const auto replaced = grid.intDot;
        stroke.moveTo({1, 1});
        for (int i = 0; i < kDotCount; ++i) {
            const bool onOutline = dotRow(i) <= 1 && dotColumn(i) <= 1;
            QCOMPARE(grid.intDot[size_t(i)], onOutline ? kDotOn : replaced[size_t(i)]);
        }
    }
};

QTEST_MAIN(TestShapes)
#include "test_shapes.moc"
