// The four scrolls and the frame-number step on the dot state alone. A plain 32 x 122 picture
// is the model that the in-place traversals over halves and pages must match.
#include <QtTest>
#include <array>
#include <functional>
#include <random>

#include "core/dotgrid.h"
#include "scroll/scroll.h"

using namespace dotreel;

namespace {

using Dir = ScrollDirection;
constexpr ScrollOptions kRotate{true, false}, kShift{false, false}, kShiftFill{false, true};
constexpr Dir kDirections[] = {Dir::Up, Dir::Down, Dir::Left, Dir::Right};

// State and look of each dot by screen row and column.
struct Picture {
    std::array<std::array<int16_t, kColumns>, kRows> value{};
    std::array<std::array<FillStyle, kColumns>, kRows> fill{};
    bool operator==(const Picture&) const = default;
};

Picture pictureOf(const DotGrid& g) {
    Picture p;
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kColumns; ++c) {
            p.value[r][c] = g.intDot[size_t(dotIndexAt(r, c))];
            p.fill[r][c] = g.fillStyle(dotIndexAt(r, c));
        }
    return p;
}

// Every dot takes its neighbour's value and look; the far edge takes the outgoing line
// (rotate, any non-zero lit) or a cleared or lit line (shift).
Picture modelScroll(const Picture& old, Dir d, ScrollOptions o) {
    Picture p;
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kColumns; ++c) {
            const int dr = d == Dir::Up ? 1 : d == Dir::Down ? -1 : 0;
            const int dc = d == Dir::Left ? 1 : d == Dir::Right ? -1 : 0;
            const int sr = (r + dr + kRows) % kRows, sc = (c + dc + kColumns) % kColumns;
            const bool edge = sr != r + dr || sc != c + dc;
            if (!edge) {
                p.value[r][c] = old.value[sr][sc];
                p.fill[r][c] = old.fill[sr][sc];
            } else {
                const bool on = o.rotate ? old.value[sr][sc] != 0 : o.fill;
                p.value[r][c] = on ? kDotOn : kDotOff;
                p.fill[r][c] = on ? kFillSolid : kFillTransparent;
            }
        }
    return p;
}

DotGrid gridWhere(const std::function<bool(int, int)>& lit) {
    DotGrid g;
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kColumns; ++c) g.put(dotIndexAt(r, c), lit(r, c));
    return g;
}

void randomize(DotGrid& g, unsigned seed, bool oddStates) {
    std::mt19937 gen(seed);
    const int16_t values[] = {-1, 0, 1, 7};
    for (int i = 0; i < kDotCount; ++i) {
        if (!oddStates) {
            g.put(i, (gen() & 1u) != 0);
            continue;
        }
        // Unusual states and looks that disagree with them: both must travel unchanged.
        g.intDot[size_t(i)] = values[gen() % 4];
        g.setFillStyle(i, (gen() & 1u) ? kFillSolid : kFillTransparent);
    }
}

}  // namespace

class TestScroll : public QObject {
    Q_OBJECT

private slots:
    void everyScrollMatchesThePlainPicture() {
        for (Dir d : kDirections)
            for (ScrollOptions o : {kRotate, kShift, kShiftFill, ScrollOptions{true, true}})
                for (unsigned seed = 1; seed <= 12; ++seed) {
                    DotGrid g;
                    randomize(g, seed, seed % 3 == 0);
                    const Picture before = pictureOf(g);
                    scrollPicture(g, d, o);
                    QVERIFY2(pictureOf(g) == modelScroll(before, d, o),
                             qPrintable(QString("direction %1 rotate %2 fill %3 seed %4")
                                            .arg(int(d))
                                            .arg(o.rotate)
                                            .arg(o.fill)
                                            .arg(seed)));
                    if (seed % 3 != 0) QVERIFY(g.viewMatchesState());
                }
    }

    void rotatingAFullTurnRestoresThePicture() {
        for (Dir d : kDirections) {
            DotGrid g;
            randomize(g, 1234, false);
            const auto before = g.intDot;
            const int turns = d == Dir::Up || d == Dir::Down ? kRows : kColumns;
            for (int i = 0; i < turns; ++i) {
                scrollPicture(g, d, kRotate);
                if (i == 0) QVERIFY(g.intDot != before);
            }
            QCOMPARE(g.intDot, before);
            QVERIFY(g.viewMatchesState());
        }
    }

    void namedCases() {
        const struct {
            const char* name;
            std::function<bool(int, int)> before;
            Dir d;
            ScrollOptions o;
            std::function<bool(int, int)> after;
        } cases[] = {
            {"rotate UP with row 0 lit", [](int r, int) { return r == 0; }, Dir::Up, kRotate,
             [](int r, int) { return r == 31; }},
            {"rotate DOWN brings row 31 to row 0", [](int r, int) { return r == 31; }, Dir::Down,
             kRotate, [](int r, int) { return r == 0; }},
            {"shift UP on a full grid", [](int, int) { return true; }, Dir::Up, kShift,
             [](int r, int) { return r != 31; }},
            {"shift+fill UP on a full grid", [](int, int) { return true; }, Dir::Up, kShiftFill,
             [](int, int) { return true; }},
            {"shift+fill LEFT on an empty grid", [](int, int) { return false; }, Dir::Left,
             kShiftFill, [](int, int c) { return c == 121; }},
            {"LEFT moves column 61 to 60", [](int r, int c) { return r == 9 && c == 61; },
             Dir::Left, kShift, [](int r, int c) { return r == 9 && c == 60; }},
            {"RIGHT moves column 60 to 61", [](int r, int c) { return r == 30 && c == 60; },
             Dir::Right, kShift, [](int r, int c) { return r == 30 && c == 61; }},
            {"rotate LEFT carries column 0 to 121", [](int r, int c) { return r == 4 && c == 0; },
             Dir::Left, kRotate, [](int r, int c) { return r == 4 && c == 121; }},
            {"UP keeps columns 60 and 61 in their halves",
             [](int r, int c) { return (r == 0 && c == 60) || (r == 8 && c == 61); }, Dir::Up,
             kRotate, [](int r, int c) { return (r == 31 && c == 60) || (r == 7 && c == 61); }},
        };
        for (const auto& k : cases) {
            DotGrid g = gridWhere(k.before);
            scrollPicture(g, k.d, k.o);
            QVERIFY2(pictureOf(g) == pictureOf(gridWhere(k.after)), k.name);
        }
    }

    void frameNumberStepWrapsAndModeNeedsExactImage() {
        const std::array<int, 3> steps[] = {{0, 1, 267}, {5, 6, 4}, {266, 267, 265}, {267, 0, 266}};
        for (const auto& [frame, next, previous] : steps) {
            QCOMPARE(int(nextFrameNumber(int16_t(frame))), next);
            QCOMPARE(int(previousFrameNumber(int16_t(frame))), previous);
        }
        QVERIFY(isImageMode("Image"));
        for (const char* other : {"Frame", "image", "Image ", ""}) QVERIFY(!isImageMode(other));
    }
};

QTEST_GUILESS_MAIN(TestScroll)
#include "test_scroll.moc"
