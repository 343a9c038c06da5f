// The dot index and the two transfers between a frame of the frame memory and the grid.
#include <QtTest>

#include <memory>
#include <random>
#include <vector>

#include "core/dotgrid.h"
#include "core/frame.h"
#include "platform/errors.h"

using namespace dotreel;

namespace {

// Records every dot whose look the grid reports as changed.
class RecordingObserver : public DotObserver {
public:
    void dotChanged(int index) override { changed.push_back(index); }
    std::vector<int> changed;
};

std::unique_ptr<FrameMemory> emptyMemory() {
    auto memory = std::make_unique<FrameMemory>();
    memory->fill(0);
    return memory;
}

// A pattern that differs from byte to byte and from frame to frame.
std::unique_ptr<FrameMemory> patternedMemory() {
    auto memory = std::make_unique<FrameMemory>();
    for (size_t k = 0; k < memory->size(); ++k)
        (*memory)[k] = static_cast<uint8_t>((k * 37 + k / 488 * 11 + 5) & 0xFF);
    return memory;
}

std::vector<int> dotsOn(const DotGrid& grid) {
    std::vector<int> on;
    for (int i = 0; i < kDotCount; ++i)
        if (grid.intDot[static_cast<size_t>(i)] == kDotOn) on.push_back(i);
    return on;
}

}  // namespace

class TestDotGrid : public QObject {
    Q_OBJECT

private slots:
    void dotIndexPlacesDotsOnTheScreen_data();
    void dotIndexPlacesDotsOnTheScreen();
    void everyDotHasItsOwnScreenPlace();

    void bitConvertShowsOneSetBit_data();
    void bitConvertShowsOneSetBit();
    void bitConvertReadsTheRightFrame_data();
    void bitConvertReadsTheRightFrame();
    void bitConvertWritesAllDots();
    void bitConvertLeavesTheLastStateEntryAlone();

    void bitDataSetAllOnGivesBytes255();
    void bitDataSetCountsOnlyMinusOneAsOn();
    void bitDataSetLeavesNeighbouringFramesUntouched();
    void storeAndLoadRoundTrip();
    void loadAndStoreLeavesTheMemoryUnchanged();

    void framesOutsideTheMemoryThrowAndChangeNothing_data();
    void framesOutsideTheMemoryThrowAndChangeNothing();

    void observerHearsOnlyOfChangedDots();
    void observerHearsEveryChangeBetweenRandomFrames_data();
    void observerHearsEveryChangeBetweenRandomFrames();
};

void TestDotGrid::dotIndexPlacesDotsOnTheScreen_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::newRow("0 top-left") << 0 << 0 << 0;
    QTest::newRow("7 bottom of page 0") << 7 << 7 << 0;
    QTest::newRow("8 next column") << 8 << 0 << 1;
    QTest::newRow("487 last of page 0") << 487 << 7 << 60;
    QTest::newRow("488 page 1") << 488 << 8 << 0;
    QTest::newRow("1951 last of the left half") << 1951 << 31 << 60;
    QTest::newRow("1952 right half") << 1952 << 0 << 61;
    QTest::newRow("3903 bottom-right") << 3903 << 31 << 121;
}

void TestDotGrid::dotIndexPlacesDotsOnTheScreen() {
    QFETCH(int, index);
    QFETCH(int, row);
    QFETCH(int, column);
    QCOMPARE(dotRow(index), row);
    QCOMPARE(dotColumn(index), column);
    QCOMPARE(dotIndexAt(row, column), index);
}

void TestDotGrid::everyDotHasItsOwnScreenPlace() {
    std::vector<int> seen(kDotCount, 0);
    for (int i = 0; i < kDotCount; ++i) {
        const int row = dotRow(i);
        const int column = dotColumn(i);
        QVERIFY(row >= 0 && row < kRows);
        QVERIFY(column >= 0 && column < kColumns);
        QCOMPARE(dotIndexAt(row, column), i);
        ++seen[static_cast<size_t>(row * kColumns + column)];
        // The byte of the frame that holds the dot, and its bit, follow the LCD layout.
        const int byte = i / 8;
        QCOMPARE(byte, dotHalf(i) * 244 + dotPage(i) * 61 + dotColumnInHalf(i));
        QCOMPARE(i % 8, row % 8);
    }
    for (int count : seen) QCOMPARE(count, 1);
}

void TestDotGrid::bitConvertShowsOneSetBit_data() {
    QTest::addColumn<int>("byte");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::newRow("byte 0 = 1") << 0 << 1 << 0 << 0 << 0;
    QTest::newRow("byte 0 = 128") << 0 << 128 << 7 << 7 << 0;
    QTest::newRow("byte 1 = 1") << 1 << 1 << 8 << 0 << 1;
    QTest::newRow("byte 61 = 1") << 61 << 1 << 488 << 8 << 0;
    QTest::newRow("byte 243 = 128") << 243 << 128 << 1951 << 31 << 60;
    QTest::newRow("byte 244 = 1") << 244 << 1 << 1952 << 0 << 61;
    QTest::newRow("byte 487 = 128") << 487 << 128 << 3903 << 31 << 121;
}

void TestDotGrid::bitConvertShowsOneSetBit() {
    QFETCH(int, byte);
    QFETCH(int, value);
    QFETCH(int, index);
    QFETCH(int, row);
    QFETCH(int, column);
    auto memory = emptyMemory();
    (*memory)[static_cast<size_t>(byte)] = static_cast<uint8_t>(value);
    DotGrid grid;
    Bit_Convert(*memory, grid, 0);
    QCOMPARE(dotsOn(grid), std::vector<int>{index});
    QCOMPARE(grid.fillStyle(index), kFillSolid);
    QVERIFY(grid.viewMatchesState());
    QCOMPARE(dotRow(index), row);
    QCOMPARE(dotColumn(index), column);
}

void TestDotGrid::bitConvertReadsTheRightFrame_data() {
    QTest::addColumn<int>("frame");
    QTest::addColumn<int>("firstByte");
    QTest::newRow("frame 0") << 0 << 0;
    QTest::newRow("frame 1 starts at 488") << 1 << 488;
    QTest::newRow("frame 267 is bytes 130296..130783") << 267 << 130296;
}

void TestDotGrid::bitConvertReadsTheRightFrame() {
    QFETCH(int, frame);
    QFETCH(int, firstByte);
    auto memory = emptyMemory();
    // First and last byte of the frame, and the bytes just outside it, set.
    (*memory)[static_cast<size_t>(firstByte)] = 0x01;
    (*memory)[static_cast<size_t>(firstByte + 487)] = 0x80;
    if (firstByte > 0) (*memory)[static_cast<size_t>(firstByte - 1)] = 0xFF;
    (*memory)[static_cast<size_t>(firstByte + 488)] = 0xFF;
    DotGrid grid;
    Bit_Convert(*memory, grid, frame);
    QCOMPARE(dotsOn(grid), (std::vector<int>{0, 3903}));
}

void TestDotGrid::bitConvertWritesAllDots() {
    // Garbage in the state (values other than -1 and 0) and a view out of step with it are all
    // overwritten: every one of the 3904 dots is written.
    DotGrid grid;
    for (int i = 0; i < kDotCount; ++i) {
        grid.intDot[static_cast<size_t>(i)] = static_cast<int16_t>(i % 3 == 0 ? 1 : 7);
        grid.setFillStyle(i, i % 2 == 0 ? kFillSolid : kFillTransparent);
    }
    auto memory = patternedMemory();
    Bit_Convert(*memory, grid, 5);
    for (int i = 0; i < kDotCount; ++i) {
        const bool on = (((*memory)[static_cast<size_t>(5 * 488 + i / 8)] >> (i % 8)) & 1) != 0;
        QCOMPARE(grid.intDot[static_cast<size_t>(i)], on ? kDotOn : kDotOff);
    }
    QVERIFY(grid.viewMatchesState());
}

void TestDotGrid::bitConvertLeavesTheLastStateEntryAlone() {
    DotGrid grid;
    grid.intDot[3904] = 123;
    auto memory = emptyMemory();
    memory->fill(0xFF);
    Bit_Convert(*memory, grid, 0);
    QCOMPARE(grid.intDot[3904], int16_t(123));
    QCOMPARE(dotsOn(grid).size(), size_t(kDotCount));
}

void TestDotGrid::bitDataSetAllOnGivesBytes255() {
    DotGrid grid;
    for (int i = 0; i < kDotCount; ++i) grid.intDot[static_cast<size_t>(i)] = kDotOn;
    auto memory = emptyMemory();
    Bit_Data_Set(*memory, grid, 3);
    for (int k = 0; k < kFrameBytes; ++k)
        QCOMPARE(int((*memory)[static_cast<size_t>(3 * 488 + k)]), 255);

    for (int i = 0; i < kDotCount; ++i) grid.intDot[static_cast<size_t>(i)] = kDotOff;
    Bit_Data_Set(*memory, grid, 3);
    for (int k = 0; k < kFrameBytes; ++k)
        QCOMPARE(int((*memory)[static_cast<size_t>(3 * 488 + k)]), 0);
}

void TestDotGrid::bitDataSetCountsOnlyMinusOneAsOn() {
    DotGrid grid;
    grid.intDot[0] = 1;
    grid.intDot[1] = kDotOn;
    grid.intDot[2] = -2;
    grid.intDot[3] = 32767;
    grid.intDot[7] = kDotOn;
    grid.intDot[3903] = -32768;
    grid.intDot[3904] = kDotOn;  // beyond the last dot: never stored
    // The view is not read: a solid look without the state stores nothing.
    grid.setFillStyle(10, kFillSolid);
    auto memory = emptyMemory();
    Bit_Data_Set(*memory, grid, 0);
    QCOMPARE(int((*memory)[0]), 0x82);
    for (int k = 1; k < kFrameBytes; ++k) QCOMPARE(int((*memory)[static_cast<size_t>(k)]), 0);
    QCOMPARE(int((*memory)[488]), 0);
}

void TestDotGrid::bitDataSetLeavesNeighbouringFramesUntouched() {
    const auto reference = patternedMemory();
    auto memory = patternedMemory();
    DotGrid grid;
    for (int i = 0; i < kDotCount; i += 3) grid.intDot[static_cast<size_t>(i)] = kDotOn;
    for (const int frame : {0, 100, 267}) {
        *memory = *reference;
        Bit_Data_Set(*memory, grid, frame);
        const size_t first = static_cast<size_t>(frame) * 488;
        for (size_t k = 0; k < memory->size(); ++k) {
            if (k >= first && k < first + 488) continue;
            if ((*memory)[k] != (*reference)[k])
                QFAIL(qPrintable(QString("frame %1 changed byte %2").arg(frame).arg(k)));
        }
        // ...and the frame itself holds the grid.
        DotGrid back;
        Bit_Convert(*memory, back, frame);
        QCOMPARE(dotsOn(back), dotsOn(grid));
    }
}

void TestDotGrid::storeAndLoadRoundTrip() {
    DotGrid grid;
    for (int i = 0; i < kDotCount; ++i)
        grid.intDot[static_cast<size_t>(i)] = (i * 7919 % 5 < 2) ? kDotOn : kDotOff;
    auto memory = emptyMemory();
    Bit_Data_Set(*memory, grid, 42);
    DotGrid back;
    Bit_Convert(*memory, back, 42);
    QVERIFY(std::equal(grid.intDot.begin(), grid.intDot.begin() + kDotCount, back.intDot.begin()));
    QVERIFY(back.viewMatchesState());
}

void TestDotGrid::loadAndStoreLeavesTheMemoryUnchanged() {
    const auto reference = patternedMemory();
    auto memory = patternedMemory();
    DotGrid grid;
    for (int frame = 0; frame < kFrameCount; ++frame) {
        Bit_Convert(*memory, grid, frame);
        Bit_Data_Set(*memory, grid, frame);
    }
    QVERIFY(*memory == *reference);
}

void TestDotGrid::framesOutsideTheMemoryThrowAndChangeNothing_data() {
    QTest::addColumn<int>("frame");
    QTest::newRow("-1") << -1;
    QTest::newRow("268 would end at byte 131271") << 268;
    QTest::newRow("269") << 269;
    QTest::newRow("huge") << 2147483647;
    QTest::newRow("most negative") << -2147483647 - 1;
}

void TestDotGrid::framesOutsideTheMemoryThrowAndChangeNothing() {
    QFETCH(int, frame);
    const auto reference = patternedMemory();
    auto memory = patternedMemory();
    DotGrid grid;
    Bit_Convert(*memory, grid, 1);
    const auto stateBefore = grid.intDot;
    RecordingObserver observer;
    grid.setObserver(&observer);

    try {
        Bit_Convert(*memory, grid, frame);
        QFAIL("Bit_Convert accepted the frame");
    } catch (const PlatformError& e) {
        QCOMPARE(e.kind(), ErrorKind::OutOfRange);
    }
    QVERIFY(grid.intDot == stateBefore);
    QVERIFY(observer.changed.empty());

    try {
        Bit_Data_Set(*memory, grid, frame);
        QFAIL("Bit_Data_Set accepted the frame");
    } catch (const PlatformError& e) {
        QCOMPARE(e.kind(), ErrorKind::OutOfRange);
    }
    QVERIFY(*memory == *reference);
}

void TestDotGrid::observerHearsOnlyOfChangedDots() {
    auto memory = emptyMemory();
    (*memory)[0] = 0x01;          // frame 0: dot 0
    (*memory)[488] = 0x03;        // frame 1: dots 0 and 1
    (*memory)[488 + 487] = 0x80;  // frame 1: dot 3903
    DotGrid grid;
    RecordingObserver observer;
    grid.setObserver(&observer);

    Bit_Convert(*memory, grid, 0);
    QCOMPARE(observer.changed, std::vector<int>{0});
    observer.changed.clear();

    Bit_Convert(*memory, grid, 0);
    QVERIFY(observer.changed.empty());

    Bit_Convert(*memory, grid, 1);
    QCOMPARE(observer.changed, (std::vector<int>{1, 3903}));
    observer.changed.clear();

    Bit_Convert(*memory, grid, 2);
    QCOMPARE(observer.changed, (std::vector<int>{0, 1, 3903}));
    QVERIFY(grid.viewMatchesState());
}

void TestDotGrid::observerHearsEveryChangeBetweenRandomFrames_data() {
    QTest::addColumn<unsigned>("seed");
    QTest::newRow("seed 1") << 1u;
    QTest::newRow("seed 12232") << 12232u;
    QTest::newRow("seed 99") << 99u;
}

// Frame 0 after frame 1, both random: the reported dots are exactly those whose bit differs, in
// ascending order, and every state is rewritten even where the look stays.
void TestDotGrid::observerHearsEveryChangeBetweenRandomFrames() {
    QFETCH(unsigned, seed);
    auto memory = emptyMemory();
    std::mt19937 random(seed);
    for (int k = 0; k < 2 * kFrameBytes; ++k)
        (*memory)[static_cast<size_t>(k)] = static_cast<uint8_t>(random() & 0xFF);
    DotGrid grid;
    Bit_Convert(*memory, grid, 1);
    grid.intDot.fill(7);  // a state no transfer writes
    RecordingObserver observer;
    grid.setObserver(&observer);

    Bit_Convert(*memory, grid, 0);

    std::vector<int> expected;
    for (int dot = 0; dot < kDotCount; ++dot) {
        const auto bitOf = [&](int frame) {
            return ((*memory)[static_cast<size_t>(frame * kFrameBytes + dot / 8)] >> (dot % 8)) & 1;
        };
        if (bitOf(0) != bitOf(1)) expected.push_back(dot);
        QCOMPARE(grid.intDot[static_cast<size_t>(dot)], bitOf(0) != 0 ? kDotOn : kDotOff);
    }
    QCOMPARE(observer.changed, expected);
    QVERIFY(grid.viewMatchesState());
}

QTEST_GUILESS_MAIN(TestDotGrid)
#include "test_dotgrid.moc"
