// The firmware player on the host: its SG12232 driver against simulated SED1520 controllers,
// its frame sources against the tool's EEPROM images, and its playback rules against the
// editor's own.
#include <QTest>

#include "firmware/hostports.h"
#include "playback/playback.h"

using namespace firmwaresim;

Q_DECLARE_METATYPE(Module)

class TestFirmwarePlayer : public QObject {
    Q_OBJECT

    Panel panel_;
    EepromBus bus_;
    dotreel_eeprom_pair pair_{{0x50, 0x51}};

private slots:
    void init() {
        panel_ = Panel();
        bus_ = EepromBus();
        hostboard::attach(panel_, bus_);
        sg12232_set_options(SG12232_MAPPING_NORMAL, 0);
        QCOMPARE(sg12232_init(), 0);
    }

    // Sets up panel and driver afresh for one module variant, with or without the busy poll.
    void startWith(Module module, bool poll) {
        panel_ = Panel();
        panel_.module = module;
        hostboard::attach(panel_, bus_);
        sg12232_set_options(
            module == Module::Inverted ? SG12232_MAPPING_INVERTED : SG12232_MAPPING_NORMAL, poll);
        QCOMPARE(sg12232_init(), 0);
    }

    static void addBuilds() {
        QTest::addColumn<Module>("module");
        QTest::addColumn<bool>("poll");
        QTest::newRow("normal module") << Module::Normal << false;
        QTest::newRow("inverted module") << Module::Inverted << false;
        QTest::newRow("normal module, busy poll") << Module::Normal << true;
        QTest::newRow("inverted module, busy poll") << Module::Inverted << true;
    }

    void initWaitsOutTheResetsAndShowsNoGarbage_data() { addBuilds(); }

    // The controllers are busy for 1 ms after RES rises and after the reset command; nothing may
    // be lost, and the display goes on only over cleared RAM (it powers up random).
    void initWaitsOutTheResetsAndShowsNoGarbage() {
        QFETCH(Module, module);
        QFETCH(bool, poll);
        startWith(module, poll);
        for (const Sed1520& c : panel_.chips) {
            QCOMPARE(c.lost, 0);
            QVERIFY(c.displayOn);
            QCOMPARE(c.strayDotsAtDisplayOn, 0);
            QCOMPARE(c.adcReverse, module == Module::Inverted);
            QVERIFY(c.duty32 && !c.staticDrive && c.startLine == 0);
        }
        QCOMPARE(panel_.litDots(), 0);
    }

    // The simulated controller is strict: a command right after a reset is lost, and a display
    // on lost so leaves its half dark.
    void aCommandWhileResettingIsLost() {
        panel_.command(1, SED1520_RESET, hostboard::now);
        panel_.command(1, SED1520_DISPLAY_OFF, hostboard::now + 50000);
        panel_.command(1, SED1520_DISPLAY_ON, hostboard::now + Sed1520::kResetNs - 1000);
        QCOMPARE(panel_.chips[1].lost, 2);
        QVERIFY(panel_.chips[1].displayOn);
        panel_.chips[1].res(false, hostboard::now);
        panel_.chips[1].res(true, hostboard::now + 10000);
        panel_.command(1, SED1520_DISPLAY_ON, hostboard::now + 20000);
        QVERIFY(!panel_.chips[1].displayOn);
        panel_.failures.clear();
    }

    // With the busy poll, a controller that never gets ready is reported, not waited for.
    void aControllerNeverReadyIsReported() {
        panel_ = Panel();
        panel_.chips[1].neverReady = true;
        hostboard::attach(panel_, bus_);
        sg12232_set_options(SG12232_MAPPING_NORMAL, 1);
        QCOMPARE(sg12232_init(), -1);
        QVERIFY(panel_.chips[0].displayOn);
        QVERIFY(hostboard::now < 2000000000u);  // seconds at most, not forever
        panel_.failures.clear();
    }

    // Every command of the SED1520's set is known to the simulated controller, and does what
    // the chip does; anything else is refused.
    void theControllerKnowsItsCommandSet() {
        Sed1520& c = panel_.chips[0];
        const auto send = [&](unsigned command) {
            hostboard::now += Sed1520::kResetNs;
            panel_.command(0, command, hostboard::now);
        };
        for (unsigned command : {0xA1u, 0xA0u, 0xA8u, 0xA9u, 0xC5u, 0xC0u, 0xBAu, 0x4Fu, 0xEEu})
            send(command);
        QVERIFY(panel_.failures.empty());
        for (auto& p : c.ram) p.fill(0);
        send(0xA5);  // static drive: the whole half lit, whatever the RAM holds
        QCOMPARE(panel_.litDots(), dotreel::kHalfColumns * dotreel::kRows);
        send(0xA4);
        send(0xA8);
        c.ram[3][0] = 0xFF;
        QVERIFY(!panel_.dot(31, 0));  // 1/16 duty drives rows 0..15 only
        send(0xA9);
        QVERIFY(panel_.dot(31, 0));
        send(0xB8);
        send(0x05);
        send(0xE0);  // read-modify-write: reads leave the column, END brings it back
        (void)c.readData();
        (void)c.readData();
        panel_.data(0, 0x12, hostboard::now += 1000);
        QCOMPARE(c.column, 6);
        send(0xEE);
        QCOMPARE(c.column, 5);
        for (unsigned wrong : {0x50u, 0xA2u, 0xE1u, 0xFFu}) send(wrong);
        QCOMPARE(panel_.failures.size(), size_t(4));
        panel_.failures.clear();
    }

    // A driver set for the other variant shows each half mirrored: the mapping matters.
    void theWrongMappingShowsAMirroredPicture() {
        const auto store = randomStore(8);
        startWith(Module::Inverted, false);
        sg12232_set_options(SG12232_MAPPING_NORMAL, 0);
        sg12232_show(store->data() + 3 * SG12232_FRAME_BYTES);
        QVERIFY(!panel_.differenceFrom(*store, 3).empty());
        sg12232_set_options(SG12232_MAPPING_INVERTED, 0);
        sg12232_show(store->data() + 3 * SG12232_FRAME_BYTES);
        QCOMPARE(panel_.differenceFrom(*store, 3), std::string());
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
        QTest::addColumn<Module>("module");
        QTest::newRow("random store, all frames")
            << "random:1" << 0 << dotreel::kLastFrame << Module::Normal;
        QTest::newRow("same store, inverted module")
            << "random:1" << 0 << dotreel::kLastFrame << Module::Inverted;
        QTest::newRow("other random store, all frames")
            << "random:77" << 0 << dotreel::kLastFrame << Module::Normal;
        QTest::newRow("demo") << "demo" << 0 << 47 << Module::Normal;
        QTest::newRow("demo, inverted module") << "demo" << 0 << 47 << Module::Inverted;
        QTest::newRow("across the chip boundary") << "random:5" << 133 << 135 << Module::Normal;
    }

    // Both sources, the tool's EEPROM images and the frames in program memory, give the panel
    // exactly what Bit_Convert puts on the editor's grid, on either module variant.
    void everyFrameShowsTheEditorsDots() {
        QFETCH(QString, store);
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(Module, module);
        startWith(module, false);
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
                for (Sed1520& c : panel_.chips)
                    for (auto& p : c.ram) p.fill(0x5A);
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
        QCOMPARE(dotreel_show_frame(&pgm, int16_t(frame)), DOTREEL_NOT_IN_SOURCE);
        if (frame != 20)
            QCOMPARE(dotreel_show_frame(&eeprom, int16_t(frame)), DOTREEL_NOT_IN_SOURCE);
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
        QCOMPARE(player.error, uint8_t(DOTREEL_I2C_NACK));
        QCOMPARE(player.shown, int16_t(3));
    }
};

QTEST_GUILESS_MAIN(TestFirmwarePlayer)
#include "test_player.moc"
