// The ATmega328P example answering the serial link in simavr, its UART on a pseudo-terminal:
// first through a small host of the test's own (the shared codec, request by request), then
// through the real `dotreel-tool device`, the simulated EEPROMs compared with the tool's
// --split images byte for byte and the simulated panel with the store's frames.
#include <QCoreApplication>
#include <QTest>
#include <cstdio>

#ifdef DOTREEL_HAVE_SIMAVR
#include <csignal>
#include <optional>

#include "firmware/simboard.h"

extern "C" {
#include "dotreel_eeprom.h"
}

using namespace firmwaresim;

namespace {

// A board with the store of `kind` in its EEPROMs (none: both erased), its UART on a
// pseudo-terminal, run past its power-up.
struct Rig {
    QTemporaryDir dir;
    StoreImages images;
    Board board;
    SerialLine line;
    LinkHost host;
    explicit Rig(const QString& build, const QString& kind = QStringLiteral("random:23"))
        : images(makeImages(kind, dir)), board(elfPath(build)), line(board), host(line) {
        if (board.loaded()) load(board.bus, images);
    }
    bool ok() const { return images.ok() && board.loaded() && line.ok(); }
    void powerUp() { line.run(kCpuHz / 10); }
    const uint8_t* frame(int n) const {
        return reinterpret_cast<const uint8_t*>(images.store->data()) + ptrdiff_t(n) * 488;
    }
    QByteArray storeBytes() const {
        return QByteArray(reinterpret_cast<const char*>(images.store->data()), 131072);
    }
    QByteArray chip(int c) {
        const auto& m = board.bus.chips[size_t(c)].memory();
        return QByteArray(reinterpret_cast<const char*>(m.data()), qsizetype(m.size()));
    }
};

bool isDone(const std::optional<Answer>& a, uint8_t request) {
    return a && a->type == (request | DOTREEL_LINK_ANSWER);
}

QString tool() { return QStringLiteral(DOTREEL_TOOL_PATH); }

// The tool of this build has the device commands (they came later than the firmware's side).
bool toolHasDevice() {
    QProcess p;
    p.start(tool(), {"device", "--help"});
    return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Runs dotreel-tool against the board; its exit code (-1: did not end within the wall time).
struct ToolRun {
    int code;
    QString err;
};
ToolRun runTool(SerialLine& line, const QStringList& args, int wallMs = 120000) {
    QProcess p;
    p.start(tool(), QStringList{"device"} + args + QStringList{"--port", line.slavePath()});
    if (!p.waitForStarted(10000)) return {-1, "did not start"};
    const int code = line.serve(p, wallMs);
    return {code, QString::fromUtf8(p.readAllStandardError() + p.readAllStandardOutput())};
}

}  // namespace

class TestFirmwareAvrLink : public QObject {
    Q_OBJECT

private slots:
    void helloSaysWhichEepromsAnswer_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("eeproms");
        QTest::addColumn<int>("led");
        QTest::newRow("both chips") << "" << 3 << 0;
        QTest::newRow("chip 1 absent") << "absent1" << 1 << 0;
        QTest::newRow("chip 0 absent") << "absent0" << 2 << 2;  // frame 0 cannot be read
        QTest::newRow("SDA held for good") << "held" << 0 << 3;
    }
    // A board whose bus is broken still answers, and says what it found.
    void helloSaysWhichEepromsAnswer() {
        QFETCH(QString, fault);
        QFETCH(int, eeproms);
        QFETCH(int, led);
        Rig rig("default");
        QVERIFY(rig.ok());
        if (fault == "absent1") rig.board.bus.chips[1].absent = true;
        if (fault == "absent0") rig.board.bus.chips[0].absent = true;
        if (fault == "held") rig.board.bus.sdaHeldClocks = 100;
        rig.powerUp();
        const auto a = rig.host.hello();
        QVERIFY(isDone(a, DOTREEL_LINK_HELLO));
        dotreel_link_packet p{a->type, a->number, uint16_t(a->payload.size()),
                              reinterpret_cast<const uint8_t*>(a->payload.constData())};
        dotreel_link_hello_info info{};
        QVERIFY(dotreel_link_parse_hello_answer(&p, &info));
        QCOMPARE(int(info.version), int(DOTREEL_LINK_VERSION));
        QCOMPARE(int(info.width), 122);
        QCOMPARE(int(info.height), 32);
        QCOMPARE(info.store_bytes, uint32_t(131072));
        QCOMPARE(int(info.eeproms), eeproms);
        QCOMPARE(int(info.firmware_major), 1);
        rig.line.run(kCpuHz * 3 / 2);
        QCOMPARE(rig.board.ledCode(), led);
        QCOMPARE(rig.line.ringOverflows(), 0);
    }

    // A panel whose controller never gets ready (busy poll build): the LED says so, hello is
    // still answered, and a show is refused with the panel's error instead of hanging.
    void aDeadPanelIsReportedNotWaitedFor() {
        Rig rig("busypoll");
        QVERIFY(rig.ok());
        rig.board.panel.chips[1].neverReady = true;
        rig.powerUp();
        QVERIFY(isDone(rig.host.hello(), DOTREEL_LINK_HELLO));
        const auto refused = rig.host.show(rig.frame(2));
        QVERIFY(refused);
        QCOMPARE(int(refused->errorCode()), int(DOTREEL_LINK_E_PANEL));
        QCOMPARE(int(uint8_t(refused->payload[2])), 1);
        rig.line.run(kCpuHz * 3 / 2);
        QCOMPARE(rig.board.ledCode(), 1);
        QVERIFY(isDone(rig.host.stop(), DOTREEL_LINK_STOP));
    }

    // Blocks written through the link land in the right chip at the right place, read back the
    // same; a write the EEPROM refuses is answered with the error, never acknowledged.
    void writesAndReadsBlocks() {
        Rig rig("default");
        QVERIFY(rig.ok());
        rig.powerUp();
        uint8_t block[128];
        for (int i = 0; i < 128; ++i) block[i] = uint8_t(i * 7 + 3);
        // The default build plays from power-up; the first write stops it for good.
        QVERIFY(!rig.board.shown.empty());
        QVERIFY(isDone(rig.host.write(256, block, 128), DOTREEL_LINK_WRITE));
        const size_t shown = rig.board.shown.size();
        rig.line.run(kCpuHz / 5);
        QCOMPARE(rig.board.shown.size(), shown);
        for (uint32_t address : {0u, 65408u, 65536u, 131072u - 128u}) {
            QVERIFY(isDone(rig.host.write(address, block, 128), DOTREEL_LINK_WRITE));
            const auto& chip = rig.board.bus.chips[address >> 16].memory();
            QVERIFY(std::equal(block, block + 128, chip.begin() + (address & 0xFFFF)));
            const auto r = rig.host.read(address, 128);
            QVERIFY(isDone(r, DOTREEL_LINK_READ));
            QCOMPARE(r->payload.mid(4), QByteArray(reinterpret_cast<const char*>(block), 128));
        }
        rig.board.bus.chips[1].absent = true;
        const auto refused = rig.host.write(65536u + 256u, block, 128);
        QVERIFY(refused);
        QCOMPARE(int(refused->type), int(DOTREEL_LINK_ERROR));
        QCOMPARE(int(refused->errorCode()), int(DOTREEL_LINK_E_EEPROM));
        QCOMPARE(int(uint8_t(refused->payload[2])), int(DOTREEL_I2C_NACK));
        QCOMPARE(int(rig.host.read(65536u, 16)->errorCode()), int(DOTREEL_LINK_E_EEPROM));
        // chip 0 still fine
        QVERIFY(isDone(rig.host.read(0, 16), DOTREEL_LINK_READ));
        QCOMPARE(rig.line.ringOverflows(), 0);
    }

    // Two requests sent back to back, the second arriving while the first is carried out (a
    // page's I2C and write cycle, a block's read and its answer going out): it waits in the
    // receive ring, both are answered, nothing overflows. The first write lands during the
    // playback that runs from power-up.
    void twoRequestsInFlight_data() {
        QTest::addColumn<QString>("build");
        QTest::newRow("115200 baud") << "default";
        QTest::newRow("1000000 baud") << "fast";
    }
    void twoRequestsInFlight() {
        QFETCH(QString, build);
        Rig rig(build);
        QVERIFY(rig.ok());
        rig.powerUp();
        uint8_t block[2][128];
        for (int i = 0; i < 128; ++i) {
            block[0][i] = uint8_t(i * 5 + 1);
            block[1][i] = uint8_t(255 - i * 3);
        }
        const uint32_t address[2] = {65536u - 128u, 65536u};  // one page in each chip
        uint8_t packet[2][DOTREEL_LINK_MAX_PACKET];
        uint8_t number[2];
        // the pair of writes, then the pair of reads of the same pages
        for (int round = 0; round < 2; ++round) {
            const bool writing = round == 0;
            size_t length[2];
            for (int k = 0; k < 2; ++k) {
                number[k] = rig.host.next();
                length[k] =
                    writing
                        ? dotreel_link_encode_write(packet[k], number[k], address[k], block[k], 128)
                        : dotreel_link_encode_read(packet[k], number[k], address[k], 128);
            }
            QVERIFY(rig.host.send(packet[0], length[0]));
            QVERIFY(rig.host.send(packet[1], length[1]));
            const uint8_t type = writing ? DOTREEL_LINK_WRITE : DOTREEL_LINK_READ;
            bool answered[2] = {false, false};
            for (int got = 0; got < 2; ++got) {
                const auto a = rig.host.nextAnswer(0.2);
                QVERIFY2(a, qPrintable(QStringLiteral("%1 answer(s) of 2").arg(got)));
                QCOMPARE(int(a->type), int(type | DOTREEL_LINK_ANSWER));
                const int k = a->number == number[0] ? 0 : 1;
                QCOMPARE(a->number, number[k]);
                QVERIFY(!answered[k]);
                answered[k] = true;
                const auto* p = reinterpret_cast<const uint8_t*>(a->payload.constData());
                QCOMPARE(uint32_t(p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24),
                         address[k]);
                if (!writing)
                    QCOMPARE(a->payload.mid(4),
                             QByteArray(reinterpret_cast<const char*>(block[k]), 128));
            }
            for (int k = 0; writing && k < 2; ++k) {
                const auto& chip = rig.board.bus.chips[address[k] >> 16].memory();
                QVERIFY(std::equal(block[k], block[k] + 128, chip.begin() + (address[k] & 0xFFFF)));
            }
        }
        QCOMPARE(rig.line.ringOverflows(), 0);
        QCOMPARE(rig.board.ramByte("rx_line_errors"), 0);
    }

    void showPutsTheFrameOnThePanel_data() {
        QTest::addColumn<QString>("build");
        QTest::addColumn<int>("delayUs");  // after power-up: lands anywhere in a tick
        QTest::newRow("115200, idle") << "once" << 200000;
        QTest::newRow("115200, during playback") << "repeat" << 3000;
        QTest::newRow("115200, during another tick") << "repeat" << 27000;
        QTest::newRow("1000000, during playback") << "fast" << 6500;
    }
    // A show request that arrives while a tick reads its frame is not lost: playback stops
    // and the frame stays on show.
    void showPutsTheFrameOnThePanel() {
        QFETCH(QString, build);
        QFETCH(int, delayUs);
        Rig rig(build);
        QVERIFY(rig.ok());
        rig.line.run(kCpuHz / 10 + avr_cycle_count_t(delayUs) * 16);
        const int frame = 200;
        const auto a = rig.host.show(rig.frame(frame));
        QVERIFY2(isDone(a, DOTREEL_LINK_SHOW),
                 qPrintable(QString("ring overflows %1, %2 in, %3 out")
                                .arg(rig.line.ringOverflows())
                                .arg(rig.line.bytesIn)
                                .arg(rig.line.bytesOut)));
        QVERIFY(!rig.board.shown.empty());
        QCOMPARE(rig.board.shown.back().panel.differenceFrom(*rig.images.store, frame),
                 std::string());
        const size_t shown = rig.board.shown.size();
        rig.line.run(kCpuHz / 5);  // playback has stopped
        QCOMPARE(rig.board.shown.size(), shown);
        QCOMPARE(rig.board.panel.differenceFrom(*rig.images.store, frame), std::string());
        QCOMPARE(rig.line.ringOverflows(), 0);
        QVERIFY(rig.board.panel.failures.empty());
    }

    // play and stop: the frames in order, then nothing more; with the keep flag the settings
    // outlive a reset, without it the compiled-in ones come back.
    void playsStopsAndKeeps() {
        Rig rig("default");
        QVERIFY(rig.ok());
        rig.powerUp();
        QVERIFY(isDone(rig.host.play(140, 137, 20, DOTREEL_LINK_PLAY_KEEP), DOTREEL_LINK_PLAY));
        size_t first = rig.board.shown.size();
        rig.line.run(kCpuHz / 10);
        QCOMPARE(rig.board.shown.size(), first + 4);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(
                rig.board.shown[first + size_t(i)].panel.differenceFrom(*rig.images.store, 140 - i),
                std::string());
        const auto refused = rig.host.raw(DOTREEL_LINK_PLAY, QByteArray("\0\0\x0c\x01\x14\0\0", 7));
        QVERIFY(refused);  // end frame 268
        QCOMPARE(int(refused->errorCode()), int(DOTREEL_LINK_E_ARGUMENT));

        QVERIFY(isDone(rig.host.play(10, 12, 10, DOTREEL_LINK_PLAY_REPEAT), DOTREEL_LINK_PLAY));
        rig.line.run(kCpuHz / 20);
        QVERIFY(isDone(rig.host.stop(), DOTREEL_LINK_STOP));
        first = rig.board.shown.size();
        rig.line.run(kCpuHz / 10);
        QCOMPARE(rig.board.shown.size(), first);

        // Power cycle: the kept 140..137 once, every 20 ms.
        rig.board.reset();
        first = rig.board.shown.size();
        rig.line.run(kCpuHz / 5);
        QCOMPARE(rig.board.shown.size(), first + 4);
        QCOMPARE(rig.board.shown.back().panel.differenceFrom(*rig.images.store, 137),
                 std::string());
        const avr_cycle_count_t gap = rig.board.shown.back().cycle - rig.board.shown[first].cycle;
        QVERIFY2(gap > 59 * kCpuHz / 1000 && gap < 61 * kCpuHz / 1000,
                 qPrintable(QString::number(gap)));

        // Kept without the flag: the compiled-in 0..47 every 60 ms come back after the next one.
        QVERIFY(isDone(rig.host.play(5, 5, 100, 0), DOTREEL_LINK_PLAY));
        rig.line.run(kCpuHz / 50);
        rig.board.reset();
        first = rig.board.shown.size();
        rig.line.run(kCpuHz / 5);
        QCOMPARE(rig.board.shown.size(), first + 4);  // the kept ones still: 140..137
        QVERIFY(isDone(rig.host.play(3, 4, 30, DOTREEL_LINK_PLAY_REPEAT | DOTREEL_LINK_PLAY_KEEP),
                       DOTREEL_LINK_PLAY));
        rig.line.run(kCpuHz / 50);
        rig.board.reset();
        first = rig.board.shown.size();
        rig.line.run(kCpuHz / 5);
        QVERIFY(rig.board.shown.size() >= first + 5);  // repeated 3, 4, 3, 4, ...
        QCOMPARE(rig.board.shown[first].panel.differenceFrom(*rig.images.store, 3), std::string());
        QCOMPARE(rig.board.shown[first + 1].panel.differenceFrom(*rig.images.store, 4),
                 std::string());
        QCOMPARE(rig.board.shown[first + 2].panel.differenceFrom(*rig.images.store, 3),
                 std::string());
    }

    // A packet begun and never finished is given up after 100 ms without a byte: the next
    // request is answered, not swallowed into the broken one's claimed length.
    void aBrokenPacketIsGivenUpAfterTheGap() {
        Rig rig("default");
        QVERIFY(rig.ok());
        rig.powerUp();
        uint8_t packet[DOTREEL_LINK_MAX_PACKET];
        const size_t n = dotreel_link_encode_show(packet, 9, rig.frame(3));
        QVERIFY(rig.host.send(packet, n / 3));
        rig.line.run(kCpuHz * 15 / 100);
        QVERIFY(isDone(rig.host.hello(), DOTREEL_LINK_HELLO));
    }

    // Every request type, then the RAM: .data + .bss and the deepest stack leave a margin.
    void ramStaysWithinTheChip() {
        Rig rig("default");
        QVERIFY(rig.ok());
        rig.powerUp();
        QVERIFY(isDone(rig.host.hello(), DOTREEL_LINK_HELLO));
        QVERIFY(isDone(rig.host.show(rig.frame(1)), DOTREEL_LINK_SHOW));
        QVERIFY(isDone(rig.host.write(128, rig.frame(0), 128), DOTREEL_LINK_WRITE));
        QVERIFY(isDone(rig.host.read(128, 128), DOTREEL_LINK_READ));
        QVERIFY(isDone(rig.host.play(1, 2, 10, DOTREEL_LINK_PLAY_REPEAT | DOTREEL_LINK_PLAY_KEEP),
                       DOTREEL_LINK_PLAY));
        rig.line.run(kCpuHz / 20);
        QVERIFY(isDone(rig.host.stop(), DOTREEL_LINK_STOP));
        const auto past = rig.host.raw(DOTREEL_LINK_READ, QByteArray("\xff\xff\x01\0\x02", 5));
        QVERIFY(past);  // 2 bytes from 131071
        QCOMPARE(int(past->errorCode()), int(DOTREEL_LINK_E_ADDRESS));
        const int margin = rig.board.untouchedRam();
        qInfo("static RAM %u bytes, deepest stack %d bytes, never touched %d of 2048",
              rig.board.staticRam(), rig.board.deepestStack(), margin);
        QVERIFY2(margin >= 128, qPrintable(QString::number(margin)));
    }

    // --- The real dotreel-tool on the pseudo-terminal ---------------------------------------

    // upload writes the whole store (the demo) through the player; both EEPROMs then hold the
    // --split images byte for byte; show and play put the store's frames on the panel.
    void toolUploadsShowsAndPlays() {
        if (!toolHasDevice()) QSKIP("this build's dotreel-tool has no device command");
        Rig rig("default", "demo");
        QVERIFY(rig.ok());
        for (auto& c : rig.board.bus.chips) std::fill(c.memory().begin(), c.memory().end(), 0xFF);
        rig.powerUp();
        const QString file = rig.dir.filePath(QStringLiteral("データー/FirstData.txt"));
        const ToolRun up = runTool(rig.line, {"upload", file});
        QVERIFY2(up.code == 0, qPrintable(up.err));
        QCOMPARE(rig.chip(0), rig.images.chip[0]);
        QCOMPARE(rig.chip(1), rig.images.chip[1]);
        QCOMPARE(rig.board.bus.chips[0].writeCycles + rig.board.bus.chips[1].writeCycles, 1024);

        const ToolRun verify = runTool(rig.line, {"verify", file});
        QVERIFY2(verify.code == 0, qPrintable(verify.err));

        const ToolRun show = runTool(rig.line, {"show", file, "--frame", "77"});
        QVERIFY2(show.code == 0, qPrintable(show.err));
        QCOMPARE(rig.board.panel.differenceFrom(*rig.images.store, 77), std::string());

        const size_t first = rig.board.shown.size();
        const ToolRun play = runTool(
            rig.line, {"play", "--start", "20", "--end", "23", "--interval", "30", "--once"});
        QVERIFY2(play.code == 0, qPrintable(play.err));
        rig.line.run(kCpuHz / 5);
        QCOMPARE(rig.board.shown.size(), first + 4);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(
                rig.board.shown[first + size_t(i)].panel.differenceFrom(*rig.images.store, 20 + i),
                std::string());
        QCOMPARE(rig.line.ringOverflows(), 0);
    }

    // Ctrl+C in the middle of an upload: the tool stops after the block in flight and says the
    // store is incomplete; the player goes on answering, and the next upload starts over and
    // ends with the whole store.
    void toolUploadInterruptedThenAgain() {
        if (!toolHasDevice()) QSKIP("this build's dotreel-tool has no device command");
        Rig rig("fast", "random:37");
        QVERIFY(rig.ok());
        for (auto& c : rig.board.bus.chips) std::fill(c.memory().begin(), c.memory().end(), 0xFF);
        rig.powerUp();
        QProcess p;
        const QString file = rig.dir.filePath("store.txt");
        p.start(tool(),
                {"device", "upload", file, "--baud", "1000000", "--port", rig.line.slavePath()});
        QVERIFY(p.waitForStarted(10000));
        rig.line.onBytesInAt = 30000;  // about a fifth of the writes
        rig.line.onBytesIn = [&p] { ::kill(pid_t(p.processId()), SIGINT); };
        QCOMPARE(rig.line.serve(p, 60000), 130);
        QVERIFY(rig.chip(0) != rig.images.chip[0]);
        const ToolRun info = runTool(rig.line, {"info", "--baud", "1000000"});
        QVERIFY2(info.code == 0, qPrintable(info.err));
        const ToolRun again = runTool(rig.line, {"upload", file, "--baud", "1000000"});
        QVERIFY2(again.code == 0, qPrintable(again.err));
        QCOMPARE(rig.chip(0), rig.images.chip[0]);
        QCOMPARE(rig.chip(1), rig.images.chip[1]);
    }

    void toolUploadOnABadLine_data() {
        QTest::addColumn<int>("dropEvery");
        QTest::addColumn<int>("garbleEvery");
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<int>("resetAfter");
        // Each fault costs the tool its 500 ms wait for an answer: few of them, for the wall time.
        QTest::newRow("every 30011th byte lost") << 30011 << 0 << 0 << 0;
        QTest::newRow("every 20011th byte garbled") << 0 << 20011 << 0 << 0;
        QTest::newRow("answers 20 ms late") << 0 << 0 << 20 << 0;
        QTest::newRow("reset mid-upload") << 0 << 0 << 0 << 40000;
        QTest::newRow("every 40th byte lost: no request gets through") << 40 << 0 << 0 << 0;
    }
    // Through a line that loses, garbles or delays bytes, or a device that resets in the middle,
    // the upload ends with a store that is right, or with an honest error: never exit 0 with a
    // store that differs. At 1000000 baud, to keep the wall time down.
    void toolUploadOnABadLine() {
        if (!toolHasDevice()) QSKIP("this build's dotreel-tool has no device command");
        QFETCH(int, dropEvery);
        QFETCH(int, garbleEvery);
        QFETCH(int, delayMs);
        QFETCH(int, resetAfter);
        Rig rig("fast", "random:31");
        QVERIFY(rig.ok());
        for (auto& c : rig.board.bus.chips) std::fill(c.memory().begin(), c.memory().end(), 0);
        rig.powerUp();
        rig.line.dropEvery = dropEvery;
        rig.line.garbleEvery = garbleEvery;
        rig.line.delayNs = Ns(delayMs) * 1000000;
        rig.line.resetAfter = resetAfter;
        const QString file = rig.dir.filePath("store.txt");
        const ToolRun up = runTool(rig.line, {"upload", file, "--baud", "1000000"});
        const bool right = rig.chip(0) == rig.images.chip[0] && rig.chip(1) == rig.images.chip[1];
        qInfo("exit %d, store %s, %ld bytes in, %ld out, %d resets", up.code,
              right ? "right" : "wrong", rig.line.bytesIn, rig.line.bytesOut, rig.line.resets);
        QVERIFY2(up.code == 0 || up.code == 1, qPrintable(up.err));
        if (up.code == 0) QVERIFY2(right, "exit 0 with a store that differs");
        if (up.code == 1) QVERIFY2(!up.err.trimmed().isEmpty(), "an error without a message");
        if (resetAfter > 0) QCOMPARE(rig.line.resets, 1);
        // Mild faults are overcome by the retries.
        if (dropEvery == 0 || dropEvery > 1000) QVERIFY2(up.code == 0, qPrintable(up.err));
    }
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    TestFirmwareAvrLink test;
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
#include "test_avr_link.moc"
#endif
