// Insert, duplicate, delete and move of whole frames: which frame ends up where, what happens at
// frames 0 and 267, and that the bytes after frame 267 never change.
#include <QtTest/QtTest>

#include <memory>

#include "core/frame.h"
#include "layers/framecommand.h"

using namespace dotreel;

namespace {

constexpr int kEmpty = -1;
constexpr uint8_t kTail = 0xA5;  // the 288 bytes after frame 267

// Frame f holds its own number in its first two bytes and a pattern of it elsewhere.
std::unique_ptr<FrameMemory> numberedMemory() {
    auto m = std::make_unique<FrameMemory>();
    m->fill(kTail);
    for (int f = 0; f < kFrameCount; ++f)
        for (int k = 0; k < kFrameBytes; ++k)
            (*m)[static_cast<size_t>(f * kFrameBytes + k)] =
                k == 0   ? static_cast<uint8_t>(f & 0xFF)
                : k == 1 ? static_cast<uint8_t>(0x80 | (f >> 8))
                         : static_cast<uint8_t>((f * 7 + k) | 1);
    return m;
}

// The number a frame holds, or kEmpty when every byte is 0; -2 for anything else.
int frameNumber(const FrameMemory& m, int frame) {
    if (frameIsEmpty(m, frame)) return kEmpty;
    const size_t base = static_cast<size_t>(frame) * kFrameBytes;
    const int f = m[base] | ((m[base + 1] & 0x7F) << 8);
    for (int k = 2; k < kFrameBytes; ++k)
        if (m[base + static_cast<size_t>(k)] != static_cast<uint8_t>((f * 7 + k) | 1)) return -2;
    return f;
}

}  // namespace

class TestFrameCommand : public QObject {
    Q_OBJECT

private slots:
    void commandsRearrangeTheFrames_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("frame");
        QTest::addColumn<bool>("changed");
        QTest::addColumn<int>("shown");
        QTest::addColumn<int>("from");          // the first frame listed in `after`
        QTest::addColumn<QList<int>>("after");  // what frames from.. hold afterwards
        QTest::addColumn<int>("last");          // what frame 267 holds afterwards
        const int ins = int(FrameCommand::InsertEmpty), dup = int(FrameCommand::Duplicate),
                  del = int(FrameCommand::Delete), up = int(FrameCommand::MoveEarlier),
                  down = int(FrameCommand::MoveLater);
        QTest::newRow("insert at 5")
            << ins << 5 << true << 5 << 3 << QList{3, 4, kEmpty, 5, 6} << 266;
        QTest::newRow("insert at 0") << ins << 0 << true << 0 << 0 << QList{kEmpty, 0, 1} << 266;
        QTest::newRow("insert at 266")
            << ins << 266 << true << 266 << 265 << QList{265, kEmpty, 266} << 266;
        QTest::newRow("insert at 267")
            << ins << 267 << true << 267 << 265 << QList{265, 266, kEmpty} << kEmpty;
        QTest::newRow("duplicate 5") << dup << 5 << true << 6 << 4 << QList{4, 5, 5, 6, 7} << 266;
        QTest::newRow("duplicate 266")
            << dup << 266 << true << 267 << 265 << QList{265, 266, 266} << 266;
        QTest::newRow("duplicate 267: no room")
            << dup << 267 << false << 267 << 266 << QList{266, 267} << 267;
        QTest::newRow("delete 5") << del << 5 << true << 5 << 4 << QList{4, 6, 7} << kEmpty;
        QTest::newRow("delete 0") << del << 0 << true << 0 << 0 << QList{1, 2} << kEmpty;
        QTest::newRow("delete 267")
            << del << 267 << true << 267 << 265 << QList{265, 266} << kEmpty;
        QTest::newRow("move 5 earlier") << up << 5 << true << 4 << 3 << QList{3, 5, 4, 6} << 267;
        QTest::newRow("move 0 earlier: nothing")
            << up << 0 << false << 0 << 0 << QList{0, 1} << 267;
        QTest::newRow("move 5 later") << down << 5 << true << 6 << 4 << QList{4, 6, 5, 7} << 267;
        QTest::newRow("move 267 later: nothing")
            << down << 267 << false << 267 << 266 << QList{266, 267} << 267;
        QTest::newRow("move 266 later")
            << down << 266 << true << 267 << 265 << QList{265, 267, 266} << 266;
        QTest::newRow("frame 268: nothing")
            << del << 268 << false << 268 << 266 << QList{266, 267} << 267;
        QTest::newRow("frame -1: nothing") << ins << -1 << false << -1 << 0 << QList{0, 1} << 267;
    }
    void commandsRearrangeTheFrames() {
        QFETCH(int, command);
        QFETCH(int, frame);
        QFETCH(bool, changed);
        QFETCH(int, shown);
        QFETCH(int, from);
        QFETCH(QList<int>, after);
        QFETCH(int, last);
        auto memory = numberedMemory();
        const FrameCommandResult result =
            applyFrameCommand(*memory, static_cast<FrameCommand>(command), frame);
        QCOMPARE(result.changed, changed);
        QCOMPARE(result.shownFrame, shown);
        for (int i = 0; i < after.size(); ++i) QCOMPARE(frameNumber(*memory, from + i), after[i]);
        QCOMPARE(frameNumber(*memory, kLastFrame), last);
        // Every frame is whole: a frame or an empty one, never a mix.
        for (int f = 0; f < kFrameCount; ++f) QVERIFY(frameNumber(*memory, f) != -2);
        for (int b = kFrameCount * kFrameBytes; b < kMemoryBytes; ++b)
            QCOMPARE((*memory)[static_cast<size_t>(b)], kTail);
    }

    // Moving a frame later and then earlier again gives back the memory as it was.
    void moveThereAndBackIsTheSameMemory() {
        auto memory = numberedMemory();
        const auto original = *memory;
        const int at = applyFrameCommand(*memory, FrameCommand::MoveLater, 100).shownFrame;
        applyFrameCommand(*memory, FrameCommand::MoveEarlier, at);
        QVERIFY(*memory == original);
    }

    void onlyInsertAndDuplicateDropTheLastFrame() {
        QVERIFY(commandDropsLastFrame(FrameCommand::InsertEmpty));
        QVERIFY(commandDropsLastFrame(FrameCommand::Duplicate));
        QVERIFY(!commandDropsLastFrame(FrameCommand::Delete));
        QVERIFY(!commandDropsLastFrame(FrameCommand::MoveLater));
    }
};

QTEST_MAIN(TestFrameCommand)
#include "test_framecommand.moc"
