// The undo history as data: deltas that restore exactly, undo and redo with the memory's source,
// the redo branch dropped by a new step, the depth limit and what the steps cost.
#include <QtTest>
#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/history.h"
#include "core/frame.h"

using namespace dotreel;

namespace {

using Bytes = std::vector<uint8_t>;
using History = MemoryHistory<std::string>;  // the source: a file name

Bytes randomBytes(size_t n, unsigned seed) {
    std::mt19937 random(seed);
    Bytes bytes(n);
    for (auto& b : bytes) b = static_cast<uint8_t>(random());
    return bytes;
}

QByteArray qt(const Bytes& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())};
}

std::span<uint8_t> store(FrameMemory& m) { return {m.data(), static_cast<size_t>(kStoreBytes)}; }

}  // namespace

class TestHistory : public QObject {
    Q_OBJECT

private slots:
    void deltaRestoresBothWays_data() {
        QTest::addColumn<QByteArray>("beforeText");
        QTest::addColumn<QByteArray>("afterText");
        const Bytes random = randomBytes(5000, 1);
        Bytes ends = random;
        ends.front() ^= 1;
        ends.back() ^= 0x80;
        Bytes mixed = random;
        std::fill(mixed.begin() + 10, mixed.begin() + 3000, 0xFF);  // a long repeated run
        mixed[3001] ^= 3;                                           // then single changes
        mixed[3003] ^= 3;
        std::fill(mixed.begin() + 3004, mixed.begin() + 3007, 0x00);  // a short run in a literal
        QTest::newRow("nothing changed") << qt(random) << qt(random);
        QTest::newRow("first and last byte") << qt(random) << qt(ends);
        QTest::newRow("runs and literals") << qt(random) << qt(mixed);
        QTest::newRow("every byte, unrelated") << qt(random) << qt(randomBytes(5000, 2));
        QTest::newRow("one byte") << qt({7}) << qt({9});
        QTest::newRow("empty") << QByteArray() << QByteArray();
    }
    void deltaRestoresBothWays() {
        QFETCH(QByteArray, beforeText);
        QFETCH(QByteArray, afterText);
        const Bytes before(beforeText.begin(), beforeText.end());
        const Bytes after(afterText.begin(), afterText.end());
        const ByteDelta delta = makeDelta(before, after);
        QCOMPARE(delta.empty(), before == after);
        Bytes bytes = before;
        applyDelta(delta, bytes);
        QCOMPARE(bytes, after);
        applyDelta(delta, bytes);
        QCOMPARE(bytes, before);
    }

    void undoRedoRestoreMemoryAndSource() {
        Bytes memory(100, 0);
        std::string source = "FirstData.txt";
        History history;
        auto step = [&](size_t at, uint8_t value, const char* newSource) {
            const auto before = History::snapshot(memory, source);
            memory[at] = value;
            source = newSource;
            return history.commit(before, memory, source);
        };
        QVERIFY(step(0, 1, "FirstData.txt"));
        QVERIFY(step(1, 2, "SecondData.txt"));   // a layer load: new content, new source
        QVERIFY(!step(1, 2, "SecondData.txt"));  // changed nothing: no step

        QVERIFY(history.undo(memory, source));
        QCOMPARE(memory[1], uint8_t{0});
        QCOMPARE(source, std::string("FirstData.txt"));
        QVERIFY(history.undo(memory, source));
        QCOMPARE(memory, Bytes(100, 0));
        QVERIFY(!history.undo(memory, source));
        QCOMPARE(memory, Bytes(100, 0));

        QVERIFY(history.redo(memory, source));
        QVERIFY(history.redo(memory, source));
        QCOMPARE(memory[0], uint8_t{1});
        QCOMPARE(memory[1], uint8_t{2});
        QCOMPARE(source, std::string("SecondData.txt"));
        QVERIFY(!history.redo(memory, source));

        // A new step after an undo drops what could have been redone.
        QVERIFY(history.undo(memory, source));
        QVERIFY(step(5, 9, "FirstData.txt"));
        QCOMPARE(history.redoCount(), size_t{0});
        QVERIFY(!history.redo(memory, source));
        QCOMPARE(memory[1], uint8_t{0});
        QCOMPARE(history.undoCount(), size_t{2});
    }

    void keepsTheLastStepsUpToItsDepth_data() {
        QTest::addColumn<int>("depth");
        QTest::addColumn<int>("steps");
        QTest::newRow("default, under") << 100 << 99;
        QTest::newRow("default, exactly") << 100 << 100;
        QTest::newRow("default, over") << 100 << 150;
        QTest::newRow("one") << 1 << 3;
    }
    void keepsTheLastStepsUpToItsDepth() {
        QFETCH(int, depth);
        QFETCH(int, steps);
        History history(static_cast<size_t>(depth));
        Bytes memory(1000, 0);
        std::string source;
        for (int i = 1; i <= steps; ++i) {
            const auto before = History::snapshot(memory, source);
            memory[static_cast<size_t>(i)] = 1;
            QVERIFY(history.commit(before, memory, source));
        }
        const int kept = std::min(depth, steps);
        int undone = 0;
        while (history.undo(memory, source)) ++undone;
        QCOMPARE(undone, kept);
        // The oldest steps are gone: their bytes stay as those steps left them.
        for (int i = 1; i <= steps; ++i)
            QCOMPARE(memory[static_cast<size_t>(i)], uint8_t(i <= steps - kept ? 1 : 0));
    }

    // What 100 whole-store steps cost: erasing and filling everything in turn costs almost
    // nothing; replacing the store with unrelated content each time (a layer load) costs one
    // store per step, the most a step can cost.
    void wholeStoreStepsCostOnlyWhatChanged_data() {
        QTest::addColumn<bool>("unrelated");
        QTest::addColumn<size_t>("maxBytes");
        QTest::newRow("fill, erase, fill...") << false << size_t{32 * 1024};
        QTest::newRow("unrelated stores") << true << size_t{100 * (kStoreBytes + 1024)};
    }
    void wholeStoreStepsCostOnlyWhatChanged() {
        QFETCH(bool, unrelated);
        QFETCH(size_t, maxBytes);
        auto memory = std::make_unique<FrameMemory>();
        memory->fill(0);
        std::string source;
        History history;
        for (int i = 0; i < 100; ++i) {
            const auto before = History::snapshot(store(*memory), source);
            const Bytes next = unrelated ? randomBytes(kStoreBytes, static_cast<unsigned>(i))
                                         : Bytes(kStoreBytes, i % 2 == 0 ? 0xFF : 0x00);
            std::copy(next.begin(), next.end(), memory->begin());
            QVERIFY(history.commit(before, store(*memory), source));
        }
        QCOMPARE(history.undoCount(), size_t{100});
        QVERIFY2(history.memoryUse() <= maxBytes, std::to_string(history.memoryUse()).c_str());
        qInfo("100 steps: %zu bytes", history.memoryUse());
        while (history.undo(store(*memory), source)) {
        }
        QVERIFY(std::all_of(memory->begin(), memory->begin() + kStoreBytes,
                            [](uint8_t b) { return b == 0; }));
    }
};

QTEST_GUILESS_MAIN(TestHistory)
#include "test_history.moc"
