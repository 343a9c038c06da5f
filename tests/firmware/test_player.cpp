// The firmware player on the host: its SG12232 driver against simulated SED1520 controllers,
// its frame sources against the tool's EEPROM images, and its playback rules against the
// editor's own.
#include <QTest>

#include "firmware/simparts.h"
#include "playback/playback.h"

extern "C" {
#include "dotreel_player.h"
}

using namespace firmwaresim;

namespace {

Panel* gPanel = nullptr;
EepromBus* gBus = nullptr;

}  // namespace

// The board's side of the driver and the EEPROM source, wired to the simulated parts.
extern "C" void sg12232_port_command(uint8_t chip, uint8_t command) {
    gPanel->command(chip, command);
}
extern "C" void sg12232_port_data(uint8_t chip, uint8_t data) { gPanel->data(chip, data); }
extern "C" void sg12232_port_delay_us(uint16_t) {}

extern "C" int dotreel_port_i2c_read(uint8_t device, uint16_t address, uint8_t* buffer,
                                     uint8_t len) {
    const bool ok = gBus->start(unsigned(device) << 1) && gBus->write(address >> 8) &&
                    gBus->write(address & 0xFF) && gBus->start((unsigned(device) << 1) | 1);
    for (uint8_t i = 0; ok && i < len; ++i) buffer[i] = gBus->read();
    gBus->stop();
    return ok ? 0 : -1;
}

class TestFirmwarePlayer : public QObject {
    Q_OBJECT

    Panel panel_;
    EepromBus bus_;
    dotreel_eeprom_pair pair_{{0x50, 0x51}};

private slots:
    void init() {
        panel_ = Panel();
        bus_ = EepromBus();
        gPanel = &panel_;
        gBus = &bus_;
        sg12232_init();
    }

    void cleanup() {
        for (const auto& f : panel_.failures) qWarning("panel: %s", f.c_str());
        for (const auto& f : bus_.failures) qWarning("eeprom: %s", f.c_str());
        QVERIFY(panel_.failures.empty());
        QVERIFY(bus_.failures.empty());
    }

    void everyFrameShowsTheEditorsDots_data() {
        QTest::addColumn<QString>("store");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::newRow("random store, all frames") << "random:1" << 0 << dotreel::kLastFrame;
        QTest::newRow("other random store, all frames") << "random:77" << 0 << dotreel::kLastFrame;
        QTest::newRow("demo") << "demo" << 0 << 47;
        QTest::newRow("across the chip boundary") << "random:5" << 133 << 135;
    }

    // Both sources, the tool's EEPROM images and the frames in program memory, give the panel
    // exactly what Bit_Convert puts on the editor's grid.
    void everyFrameShowsTheEditorsDots() {
        QFETCH(QString, store);
        QFETCH(int, first);
        QFETCH(int, last);
        QTemporaryDir dir;
        const StoreImages images = makeImages(store, dir);
        QVERIFY(images.ok());
        load(bus_, images);
        const dotreel_source eeprom = dotreel_eeprom_source(&pair_);
        const dotreel_pgm_frames frames{
            reinterpret_cast<const uint8_t(*)[SG12232_FRAME_BYTES]>(images.store->data()), 0, 1,
            dotreel::kFrameCount};
        const dotreel_source pgm = dotreel_pgm_source(&frames);
        for (const dotreel_source* source : {&eeprom, &pgm}) {
            for (int f = first; f <= last; ++f) {
                panel_.chips[0].ram = panel_.chips[1].ram = {};
                QCOMPARE(dotreel_show_frame(source, int16_t(f)), 0);
                QCOMPARE(panel_.differenceFrom(*images.store, f), std::string());
            }
        }
    }

    // Frame 134 straddles the chips: its 488 bytes take more than one read per page at the
    // boundary, never a read running past the end of chip 0.
    void frameAcrossTheBoundaryReadsFromBothChips() {
        QTemporaryDir dir;
        const StoreImages images = makeImages("random:9", dir);
        QVERIFY(images.ok());
        load(bus_, images);
        bus_.chips[1].memory()[0] ^= 0xFF;  // store byte 65536 lies in frame 134, page 1
        const dotreel_source eeprom = dotreel_eeprom_source(&pair_);
        QCOMPARE(dotreel_show_frame(&eeprom, 134), 0);
        QVERIFY(!panel_.differenceFrom(*images.store, 134).empty());
        (*images.store)[65536] ^= 0xFF;
        QCOMPARE(panel_.differenceFrom(*images.store, 134), std::string());
    }

    void framesOutsideTheSourceFail_data() {
        QTest::addColumn<int>("frame");
        QTest::newRow("below the store") << -1;
        QTest::newRow("above the store") << 268;
        QTest::newRow("outside a header's range") << 20;
    }

    void framesOutsideTheSourceFail() {
        QFETCH(int, frame);
        static const uint8_t frames[3][SG12232_FRAME_BYTES] = {};
        const dotreel_pgm_frames header{frames, 12, -1, 3};  // frames 12, 11, 10
        const dotreel_source eeprom = dotreel_eeprom_source(&pair_);
        const dotreel_source pgm = dotreel_pgm_source(&header);
        QCOMPARE(dotreel_show_frame(&pgm, int16_t(frame)), -1);
        if (frame != 20) QCOMPARE(dotreel_show_frame(&eeprom, int16_t(frame)), -1);
        QCOMPARE(dotreel_show_frame(&pgm, 10), 0);
    }

    void playsAsTheEditorDoes_data() {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::addColumn<bool>("repeat");
        QTest::addColumn<QString>("expected");  // START, then 7 ticks
        QTest::newRow("10..12 repeat") << 10 << 12 << true << "10 11 12 10 11 12 10 11";
        QTest::newRow("10..12 once") << 10 << 12 << false << "10 11 12 stop";
        QTest::newRow("12..10 repeat") << 12 << 10 << true << "12 11 10 12 11 10 12 11";
        QTest::newRow("12..10 once") << 12 << 10 << false << "12 11 10 stop";
        QTest::newRow("5..5 once") << 5 << 5 << false << "5 stop";
        QTest::newRow("5..5 repeat") << 5 << 5 << true << "5 - - - - - - -";
        QTest::newRow("end past the store")
            << 265 << 300 << true << "265 266 267 265 266 267 265 266";
        QTest::newRow("end below the store") << 1 << -4 << false << "1 0 stop";
        QTest::newRow("start outside the store") << 300 << 10 << true << "refused";
    }

    // The same sequence from the firmware's player (shown on the panel) and from the editor's
    // playbackStep decisions.
    void playsAsTheEditorDoes() {
        QFETCH(int, start);
        QFETCH(int, end);
        QFETCH(bool, repeat);
        QFETCH(QString, expected);
        const auto store = randomStore(3);
        const dotreel_pgm_frames frames{
            reinterpret_cast<const uint8_t(*)[SG12232_FRAME_BYTES]>(store->data()), 0, 1,
            dotreel::kFrameCount};
        const dotreel_source pgm = dotreel_pgm_source(&frames);
        dotreel_player player;
        dotreel_player_init(&player, &pgm, int16_t(start), int16_t(end), 100, repeat);

        QStringList firmware;
        QStringList editor;
        const auto record = [&](dotreel_result r) {
            if (r == DOTREEL_SHOWN) {
                firmware << QString::number(player.shown);
                QCOMPARE(panel_.differenceFrom(*store, player.shown), std::string());
            }
            if (r == DOTREEL_UNCHANGED) firmware << "-";
            if (r == DOTREEL_STOPPED) firmware << "stop";
            if (r == DOTREEL_REFUSED) firmware << "refused";
        };
        record(dotreel_player_start(&player));
        for (int t = 0; t < 7 && player.playing; ++t) record(dotreel_player_tick(&player));

        const dotreel::StartDecision s = dotreel::startPlayback(start);
        if (s.action == dotreel::StartAction::Refuse) {
            editor << "refused";
        } else {
            int v = s.frame;
            editor << QString::number(v);
            for (int t = 0; t < 7; ++t) {
                const dotreel::TickDecision d = dotreel::playbackStep(v, start, end, repeat);
                if (d.action == dotreel::TickAction::Stop) {
                    editor << "stop";
                    break;
                }
                if (d.action == dotreel::TickAction::KeepRunning) editor << "-";
                if (d.action == dotreel::TickAction::ShowFrame)
                    editor << QString::number(v = d.frame);
            }
        }
        QCOMPARE(firmware, editor);
        QCOMPARE(firmware.join(' '), expected);
    }

    // Every decision, the editor's deliberate differences at the store's edges included, for
    // frames on show around the ends of ranges and of the store.
    void eachTickDecidesAsTheEditor() {
        const int frames[] = {-1, 0, 1, 5, 10, 11, 12, 13, 266, 267, 268, 300};
        for (int v : frames)
            for (int s : frames)
                for (int e : frames)
                    for (bool repeat : {false, true}) {
                        const dotreel::TickDecision d = dotreel::playbackStep(v, s, e, repeat);
                        int16_t next = -100;
                        const dotreel_tick_action a = dotreel_playback_step(
                            int16_t(v), int16_t(s), int16_t(e), repeat, &next);
                        const QString at =
                            QString("v %1 s %2 e %3 repeat %4").arg(v).arg(s).arg(e).arg(repeat);
                        const dotreel_tick_action want =
                            d.action == dotreel::TickAction::ShowFrame     ? DOTREEL_TICK_SHOW
                            : d.action == dotreel::TickAction::KeepRunning ? DOTREEL_TICK_KEEP
                                                                           : DOTREEL_TICK_STOP;
                        QVERIFY2(a == want, qPrintable(at));
                        if (a == DOTREEL_TICK_SHOW) QVERIFY2(next == d.frame, qPrintable(at));
                    }
    }

    // START again while the start frame is still on show redraws nothing; a panel written by
    // someone else in between keeps what it shows until the first step.
    void restartAtTheFrameOnShowRedrawsNothing() {
        const auto store = randomStore(4);
        const dotreel_pgm_frames frames{
            reinterpret_cast<const uint8_t(*)[SG12232_FRAME_BYTES]>(store->data()), 0, 1,
            dotreel::kFrameCount};
        const dotreel_source pgm = dotreel_pgm_source(&frames);
        dotreel_player player;
        dotreel_player_init(&player, &pgm, 7, 9, 100, 0);
        QCOMPARE(dotreel_player_start(&player), DOTREEL_SHOWN);
        dotreel_player_stop(&player);
        QCOMPARE(dotreel_player_tick(&player), DOTREEL_STOPPED);
        QCOMPARE(dotreel_player_start(&player), DOTREEL_UNCHANGED);
        QVERIFY(player.playing);
        QCOMPARE(dotreel_player_tick(&player), DOTREEL_SHOWN);
        QCOMPARE(player.shown, int16_t(8));
    }

    // A source that fails stops playback; the player keeps the last frame it showed whole.
    void aFailingSourceStopsPlayback() {
        const dotreel_source eeprom = dotreel_eeprom_source(&pair_);
        const dotreel_eeprom_pair absent{{0x52, 0x53}};
        const dotreel_source missing = dotreel_eeprom_source(&absent);
        dotreel_player player;
        dotreel_player_init(&player, &eeprom, 3, 5, 100, 1);
        QCOMPARE(dotreel_player_start(&player), DOTREEL_SHOWN);
        player.source = &missing;
        QCOMPARE(dotreel_player_tick(&player), DOTREEL_READ_FAILED);
        QVERIFY(!player.playing);
        QCOMPARE(player.shown, int16_t(3));
    }
};

QTEST_GUILESS_MAIN(TestFirmwarePlayer)
#include "test_player.moc"
