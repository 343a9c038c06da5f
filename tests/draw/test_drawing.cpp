// Mouse drawing on the dot state alone: the hit test, the three edits, the mode cycle and the
// whole-grid patterns, with the view watched through its observer.
#include <QtTest>
#include <limits>
#include <random>
#include <vector>

#include "core/dotgrid.h"
#include "draw/drawtools.h"
#include "draw/hittest.h"
#include "draw/patterns.h"

using namespace dotreel;

namespace {

// Records the order of view changes and whether each dot's state was written first.
struct Recorder : DotObserver {
    explicit Recorder(const DotGrid& g) : grid(g) {}
    void dotChanged(int i) override {
        changed.push_back(i);
        if ((grid.fillStyle(i) == kFillSolid) != (grid.intDot[size_t(i)] == kDotOn)) ++early;
    }
    const DotGrid& grid;
    std::vector<int> changed;
    int early = 0;
};

void randomize(DotGrid& grid, unsigned seed) {
    std::mt19937 gen(seed);
    for (int i = 0; i < kDotCount; ++i) grid.put(i, (gen() & 1u) != 0);
}

}  // namespace

class TestDrawing : public QObject {
    Q_OBJECT

private slots:
    void hitTestFollowsPitchHalvesAndPages() {
        constexpr int none = -1;
        const float nan = std::numeric_limits<float>::quiet_NaN();
        const struct {
            float x, y;
            int dot;
        } cases[] = {
            {420, 420, 0},         {524, 420, 0},       {525, 420, 8},        {6824, 420, 480},
            {6825, 420, 1952},     {13229, 3779, 3903}, {420, 1259, 7},       {420, 1260, 488},
            {420, 2940, 1464},     {524.5f, 420, 0},    {524.6f, 420, 8},     {629.5f, 420, 16},
            {420, 524.6f, 1},      {13230, 420, none},  {420, 3780, none},    {419.9f, 420, none},
            {420, 419, none},      {nan, 420, none},    {6824.6f, 420, 480},  {6824.5f, 420, 480},
            {13229.7f, 420, 2432}, {420, 1259.7f, 7},   {420, 3779.6f, 1471},
        };
        for (const auto& c : cases) {
            const auto hit = dotAtTwips(c.x, c.y);
            QVERIFY2(
                hit.value_or(none) == c.dot,
                qPrintable(QString("(%1, %2) gave %3").arg(c.x).arg(c.y).arg(hit.value_or(none))));
        }
        // The centre pixel of every dot, in twips as the window reports it.
        for (int r = 0; r < kRows; ++r)
            for (int c = 0; c < kColumns; ++c)
                QCOMPARE(
                    dotAtTwips(float((32 + 7 * c) * 15), float((32 + 7 * r) * 15)).value_or(none),
                    dotIndexAt(r, c));
    }

    void editsFollowTheDrawMode() {
        DotGrid grid;
        QVERIFY(drawOnPress(grid, kDrawClick, 6825, 420));
        QVERIFY(grid.intDot[1952] == kDotOn && grid.fillStyle(1952) == kFillSolid);
        QVERIFY(drawOnPress(grid, kDrawClick, 6825, 420));
        QVERIFY(grid.intDot[1952] == kDotOff && grid.fillStyle(1952) == kFillTransparent);
        grid.intDot[0] = 1;  // any non-zero state counts as on for the toggle
        QVERIFY(drawOnPress(grid, kDrawClick, 420, 420));
        QCOMPARE(grid.intDot[0], kDotOff);

        // Pencil and eraser act on moves only, and write a dot whatever its state was.
        QVERIFY(!drawOnPress(grid, kDrawPencil, 420, 420) &&
                !drawOnMove(grid, kDrawClick, 420, 420));
        QCOMPARE(grid.intDot[0], kDotOff);
        grid.intDot[3903] = 5;
        QVERIFY(drawOnMove(grid, kDrawPencil, 13229, 3779));
        QVERIFY(grid.intDot[3903] == kDotOn && grid.fillStyle(3903) == kFillSolid);
        QVERIFY(!drawOnPress(grid, kDrawEraser, 13229, 3779));
        QCOMPARE(grid.intDot[3903], kDotOn);
        QVERIFY(drawOnMove(grid, kDrawEraser, 13229, 3779));
        QVERIFY(grid.intDot[3903] == kDotOff && grid.fillStyle(3903) == kFillTransparent);
        QVERIFY(!drawOnMove(grid, kDrawPencil, 13230, 3779));
        QVERIFY(!drawOnPress(grid, kDrawClick, 419, 420));
        QVERIFY(
            std::all_of(grid.intDot.begin(), grid.intDot.end(), [](int16_t v) { return v == 0; }));
    }

    void modeButtonCyclesClickPencilEraser() {
        const uint8_t modes[] = {kDrawPencil, kDrawEraser, kDrawClick};
        const char* captions[] = {"鉛  筆", "消しゴム", "クリック"};
        uint8_t mode = kDrawClick;
        for (int i = 0; i < 3; ++i) {
            mode = nextDrawMode(mode);
            QCOMPARE(mode, modes[i]);
            QCOMPARE(QString::fromUtf8(drawModeCaption(mode)), QString::fromUtf8(captions[i]));
        }
    }

    void patternsRewriteEveryDotStateFirst() {
        DotGrid grid;
        Recorder recorder(grid);
        grid.setObserver(&recorder);
        applyPattern(grid, ScreenPattern::Fill);
        QCOMPARE(recorder.changed.size(), size_t(kDotCount));
        QVERIFY(std::is_sorted(recorder.changed.begin(), recorder.changed.end()));
        QCOMPARE(recorder.early, 0);
        FrameMemory memory{};
        Bit_Data_Set(memory, grid, 2);
        QCOMPARE(std::count(memory.begin(), memory.end(), uint8_t(255)), long(kFrameBytes));
        QVERIFY(std::all_of(memory.begin() + 2 * 488, memory.begin() + 3 * 488,
                            [](uint8_t b) { return b == 255; }));
        applyPattern(grid, ScreenPattern::Erase);
        QVERIFY(
            std::all_of(grid.intDot.begin(), grid.intDot.end(), [](int16_t v) { return v == 0; }));
        QVERIFY(grid.viewMatchesState());
        QCOMPARE(recorder.early, 0);
    }

    void invertTwiceRestoresAndTestsForExactlyMinusOne() {
        DotGrid grid;
        randomize(grid, 23);
        const auto before = grid.intDot;
        applyPattern(grid, ScreenPattern::Invert);
        for (int i = 0; i < kDotCount; ++i)
            QCOMPARE(grid.intDot[size_t(i)] == kDotOn, before[size_t(i)] != kDotOn);
        QVERIFY(grid.viewMatchesState());
        applyPattern(grid, ScreenPattern::Invert);
        QCOMPARE(grid.intDot, before);

        grid.intDot[10] = 1;  // stored as off, and inverted to on
        applyPattern(grid, ScreenPattern::Invert);
        QCOMPARE(grid.intDot[10], kDotOn);
        QCOMPARE(grid.intDot[kDotCount], int16_t(0));  // the spare entry is never written
    }
};

QTEST_GUILESS_MAIN(TestDrawing)
#include "test_drawing.moc"
