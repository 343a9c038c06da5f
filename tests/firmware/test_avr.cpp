// The ATmega328P example running in simavr: two simulated 24C512 on its TWI pins hold
// dotreel-tool's --split images, the simulated SG12232 hangs on its bus pins, and every frame the
// panel shows must be the store's frame, in the player's order, one interval apart.
#include <QCoreApplication>
#include <QTest>
#include <cstdio>
#include <cstdlib>

#ifdef DOTREEL_HAVE_SIMAVR
#include "firmware/simboard.h"

using namespace firmwaresim;

Q_DECLARE_METATYPE(Module)

class TestFirmwareAvr : public QObject {
    Q_OBJECT

private slots:
    void playsTheStoreInOrderAtItsInterval_data() {
        QTest::addColumn<QString>("build");
        QTest::addColumn<Module>("module");
        QTest::addColumn<int>("intervalMs");
        QTest::addColumn<bool>("ends");  // playback ends (the link is still answered)
        QTest::addColumn<QString>("expected");
        // The builds' playback settings are fixed in cmake/firmware.cmake.
        QTest::newRow("132..136 repeated, every 40 ms")
            << "repeat" << Module::Normal << 40 << false
            << "132 133 134 135 136 132 133 134 135 136 132";
        QTest::newRow("136..133 once, every 25 ms")
            << "once" << Module::Normal << 25 << true << "136 135 134 133";
        QTest::newRow("inverted mapping on an inverted module")
            << "inverted" << Module::Inverted << 40 << false << "132 133 134 135 136 132";
        QTest::newRow("busy poll (R/W wired)")
            << "busypoll" << Module::Normal << 40 << false << "132 133 134 135 136 132";
    }

    // Every frame whole and right, one interval apart, on a panel that loses what comes while it
    // resets or is busy; each frame written within 5 ms of simulated time from its first byte to
    // its last (no slow tearing).
    void playsTheStoreInOrderAtItsInterval() {
        QFETCH(QString, build);
        QFETCH(Module, module);
        QFETCH(int, intervalMs);
        QFETCH(bool, ends);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const StoreImages images = makeImages("random:11", dir);
        QVERIFY(images.ok());
        Board board(elfPath(build));
        QVERIFY(board.loaded());
        board.panel.module = module;
        load(board.bus, images);

        const QStringList frames = expected.split(' ');
        // Past the last frame by two intervals: a build that plays once must show nothing more.
        const double seconds = 0.1 + double((frames.size() + 2) * intervalMs) / 1000.0;
        board.run(ends ? frames.size() + 1 : frames.size(), seconds);
        QVERIFY(!board.crashed());
        for (const auto& f : board.panel.failures) qWarning("panel: %s", f.c_str());
        for (const auto& f : board.bus.failures) qWarning("eeprom: %s", f.c_str());
        QVERIFY(!board.halted());  // it goes on answering the link
        QCOMPARE(board.shown.size(), size_t(frames.size()));

        avr_cycle_count_t worst = 0;
        avr_cycle_count_t longestWrite = 0;
        for (qsizetype i = 0; i < frames.size(); ++i) {
            const Board::Shown& s = board.shown[size_t(i)];
            const std::string difference = s.panel.differenceFrom(*images.store, frames[i].toInt());
            QVERIFY2(difference.empty(), difference.c_str());
            longestWrite = std::max(longestWrite, s.writeCycles);
            if (i == 0) continue;
            const avr_cycle_count_t gap = s.cycle - board.shown[size_t(i) - 1].cycle;
            const avr_cycle_count_t want = avr_cycle_count_t(intervalMs) * (kCpuHz / 1000);
            const avr_cycle_count_t off = gap > want ? gap - want : want - gap;
            worst = std::max(worst, off);
            QVERIFY2(off <= kCpuHz / 1000,
                     qPrintable(QString("frame %1 came %2 us after the last, written in %3 us")
                                    .arg(i)
                                    .arg(gap / (kCpuHz / 1000000))
                                    .arg(s.writeCycles / (kCpuHz / 1000000))));
        }
        qInfo(
            "%lld frames compared; intervals within %llu us of %d ms; %d I2C transactions; "
            "a frame written in at most %llu us",
            qlonglong(frames.size()), (unsigned long long)(worst / (kCpuHz / 1000000)), intervalMs,
            board.bus.transactions, (unsigned long long)(longestWrite / (kCpuHz / 1000000)));
        QVERIFY(board.panel.failures.empty());
        QVERIFY(board.bus.failures.empty());
        for (const Sed1520& c : board.panel.chips) QCOMPARE(c.strayDotsAtDisplayOn, 0);
        QCOMPARE(board.ledCode(), 0);
        QVERIFY2(longestWrite < 5 * kCpuHz / 1000, "a frame took 5 ms or more to write");
    }

    void busFaultsAreRecoveredOrShown_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("frames");  // of 132 133 134 ... shown before it stops, or 6
        QTest::addColumn<int>("code");    // the LED's blinks, 0 for none
        QTest::addColumn<int>("stops");   // bus recoveries (STOP made by hand), at least
        QTest::newRow("SDA held at power-up, freed by 5 clocks") << "held:5" << 6 << 0 << 1;
        QTest::newRow("SDA held for good") << "held:100" << 0 << 3 << 1;
        QTest::newRow("SDA held later, freed by 4 clocks") << "later:4" << 6 << 0 << 2;
        QTest::newRow("SDA held later, for good") << "later:100" << 2 << 3 << 2;
        QTest::newRow("chip 1 absent") << "absent" << 2 << 2 << 3;
        QTest::newRow("chip 1 NACKs once") << "nack" << 6 << 0 << 2;
        QTest::newRow("SCL held low") << "scl" << 0 << 4 << 3;
    }

    // The example on a bus that misbehaves: it frees a held bus at start-up and after a time-out,
    // tries a failed read again, and where nothing helps stops playback with the frame on show
    // and blinks the reason on the LED (2: no answer, 3: SDA held, 4: time-out), never hanging:
    // the link is still answered (firmware/avr_link).
    void busFaultsAreRecoveredOrShown() {
        QFETCH(QString, fault);
        QFETCH(int, frames);
        QFETCH(int, code);
        QFETCH(int, stops);
        QTemporaryDir dir;
        const StoreImages images = makeImages("random:11", dir);
        QVERIFY(images.ok());
        Board board(elfPath("repeat"));
        QVERIFY(board.loaded());
        load(board.bus, images);
        const int clocks = fault.section(':', 1).toInt();
        if (fault.startsWith("held")) board.bus.sdaHeldClocks = clocks;
        if (fault.startsWith("later")) {
            // frame 134's first read: a frame is read in 8 pieces (the UART's bytes are taken in
            // between), each a START for the address and one for the read
            board.bus.holdSdaAtTransaction = 32;
            board.bus.sdaHeldLater = clocks;
        }
        if (fault == "absent") board.bus.chips[1].absent = true;
        if (fault == "nack") board.bus.chips[1].nackNext = 1;
        if (fault == "scl") board.bus.sclHeld = true;

        board.run(6, 0.1 + 0.04 * 6 + (code ? 1.5 : 0.0));
        QVERIFY(!board.crashed());
        QCOMPARE(board.shown.size(), size_t(frames));
        const char* order[] = {"132", "133", "134", "135", "136", "132"};
        for (int i = 0; i < frames; ++i)
            QCOMPARE(board.shown[size_t(i)].panel.differenceFrom(*images.store, atoi(order[i])),
                     std::string());
        QCOMPARE(board.ledCode(), code);
        QVERIFY(!board.halted());
        QVERIFY2(board.stops >= stops, qPrintable(QString::number(board.stops)));
        QVERIFY(board.panel.failures.empty());
    }
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    TestFirmwareAvr test;
    return QTest::qExec(&test, argc, argv);
}

#else

// Without simavr or gcc-avr the test cannot run; CTest reports it as skipped, never passed.
int main() {
    std::puts("SKIP: simavr (libsimavr-dev, libelf-dev) or gcc-avr is not installed");
    return 77;
}

#endif

#ifdef DOTREEL_HAVE_SIMAVR
#include "test_avr.moc"
#endif
