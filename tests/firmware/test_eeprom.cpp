// The firmware's I2C side on the host: reads and page writes of the simulated 24C512 pair
// through the same calls the board uses, with chips that NACK, are absent, are busy in their
// write cycle or hold SDA low; every call must return, recovered or with its reason.
#include <QTest>

#include "firmware/hostports.h"

using namespace firmwaresim;

class TestFirmwareEeprom : public QObject {
    Q_OBJECT

    Panel panel_;
    EepromBus bus_;
    dotreel_eeprom_pair pair_{{0x50, 0x51}};

    void fillStore(unsigned seed) {
        const auto store = randomStore(seed);
        for (size_t c = 0; c < 2; ++c)
            std::copy(store->begin() + qsizetype(c * 65536),
                      store->begin() + qsizetype(c * 65536 + 65536),
                      bus_.chips[c].memory().begin());
        store_ = *store;
    }
    FrameMemory store_{};

private slots:
    void init() {
        panel_ = Panel();
        bus_ = EepromBus();
        hostboard::attach(panel_, bus_);
        sg12232_set_options(SG12232_MAPPING_NORMAL, 0);
        QCOMPARE(sg12232_init(), 0);
        fillStore(21);
    }

    void cleanup() {
        for (const auto& f : panel_.failures) qWarning("panel: %s", f.c_str());
        QVERIFY(panel_.failures.empty());
    }

    void busFaultsAreRecoveredOrReported_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("status");  // of showing frame 134, which spans both chips
        QTest::addColumn<int>("recoveries");
        QTest::newRow("no fault") << "none" << int(DOTREEL_I2C_OK) << 0;
        QTest::newRow("one NACK: retried") << "nack1" << int(DOTREEL_I2C_OK) << 1;
        QTest::newRow("NACKs on every try") << "nack3" << int(DOTREEL_I2C_NACK) << 2;
        QTest::newRow("chip 1 absent") << "absent" << int(DOTREEL_I2C_NACK) << 2;
        QTest::newRow("SDA held for 5 clocks") << "hold5" << int(DOTREEL_I2C_OK) << 1;
        QTest::newRow("SDA held for 9 clocks") << "hold9" << int(DOTREEL_I2C_OK) << 1;
        QTest::newRow("SDA held for good") << "hold" << int(DOTREEL_I2C_BUS_STUCK) << 1;
        QTest::newRow("SCL held low") << "scl" << int(DOTREEL_I2C_TIMEOUT) << 2;
    }

    // A failed read is tried again, three times in all, the bus recovered before each new try;
    // what cannot be recovered comes back as its reason, and the panel keeps the frame it had.
    void busFaultsAreRecoveredOrReported() {
        QFETCH(QString, fault);
        QFETCH(int, status);
        QFETCH(int, recoveries);
        const dotreel_source eeprom = dotreel_eeprom_source(&pair_);
        QCOMPARE(dotreel_show_frame(&eeprom, 133), 0);
        if (fault == "nack1") bus_.chips[1].nackNext = 1;
        if (fault == "nack3") bus_.chips[1].nackNext = 3;
        if (fault == "absent") bus_.chips[1].absent = true;
        if (fault == "scl") bus_.sclHeld = true;
        if (fault.startsWith("hold")) {
            bus_.holdSdaAtTransaction = bus_.transactions;
            bus_.sdaHeldLater = fault == "hold" ? 100 : fault.mid(4).toInt();
        }
        QCOMPARE(dotreel_show_frame(&eeprom, 134), status);
        QCOMPARE(bus_.recoveries, recoveries);
        QCOMPARE(panel_.differenceFrom(store_, status == 0 ? 134 : 133), std::string());
    }

    // The player stops on a read that failed for good, with the reason for the board to show.
    void thePlayerReportsWhyItStopped() {
        const dotreel_source eeprom = dotreel_eeprom_source(&pair_);
        dotreel_player player;
        dotreel_player_init(&player, &eeprom, 132, 136, 40, 1);
        QCOMPARE(dotreel_player_start(&player), DOTREEL_SHOWN);
        bus_.holdSdaAtTransaction = bus_.transactions;
        bus_.sdaHeldLater = 100;
        QCOMPARE(dotreel_player_tick(&player), DOTREEL_READ_FAILED);
        QCOMPARE(player.error, uint8_t(DOTREEL_I2C_BUS_STUCK));
        QCOMPARE(player.shown, int16_t(132));
        QCOMPARE(panel_.differenceFrom(store_, 132), std::string());
    }

    void pageWrites_data() {
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("status");
        QTest::newRow("a whole page") << 0x1280 << 128 << int(DOTREEL_I2C_OK);
        QTest::newRow("one byte") << 0xFFFF << 1 << int(DOTREEL_I2C_OK);
        QTest::newRow("the end of a page") << 0x0170 << 16 << int(DOTREEL_I2C_OK);
        QTest::newRow("nothing") << 0x0100 << 0 << int(DOTREEL_I2C_BAD_REQUEST);
        QTest::newRow("over a page") << 0x0100 << 129 << int(DOTREEL_I2C_BAD_REQUEST);
        QTest::newRow("across two pages") << 0x0170 << 17 << int(DOTREEL_I2C_BAD_REQUEST);
    }

    // A page write lands whole, and returns only once the chip has finished its write cycle
    // (it NACKs its address until then), so a read right after gives the new bytes.
    void pageWrites() {
        QFETCH(int, address);
        QFETCH(int, length);
        QFETCH(int, status);
        std::vector<uint8_t> data(size_t(std::max(length, 1)));
        for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(0xC3 ^ i);
        const std::vector<uint8_t> before = bus_.chips[1].memory();
        QCOMPARE(
            int(dotreel_eeprom_write_page(0x51, uint16_t(address), data.data(), uint8_t(length))),
            status);
        if (status != DOTREEL_I2C_OK) {
            QVERIFY(bus_.chips[1].memory() == before);
            QCOMPARE(bus_.chips[1].writeCycles, 0);
            return;
        }
        QCOMPARE(bus_.chips[1].writeCycles, 1);
        QVERIFY(hostboard::now >= bus_.chips[1].busyUntil);
        std::vector<uint8_t> back(static_cast<size_t>(length));
        QCOMPARE(int(dotreel_eeprom_read(0x51, uint16_t(address), back.data(), uint16_t(length))),
                 int(DOTREEL_I2C_OK));
        QVERIFY(std::equal(back.begin(), back.end(), data.begin()));
        QCOMPARE(bus_.recoveries, 0);
    }

    // The chip's other side: absent, or a write cycle that never ends, is reported in bounded
    // time.
    void pageWriteFailuresAreReported() {
        const uint8_t data[4] = {1, 2, 3, 4};
        bus_.chips[0].absent = true;
        QCOMPARE(int(dotreel_eeprom_write_page(0x50, 0, data, 4)), int(DOTREEL_I2C_NACK));
        bus_.chips[1].neverFinishes = true;
        const Ns before = hostboard::now;
        QCOMPARE(int(dotreel_eeprom_write_page(0x51, 0, data, 4)), int(DOTREEL_I2C_WRITE_TIMEOUT));
        QVERIFY(hostboard::now - before >= 2 * Eeprom24C512::kWriteCycleNs);
        QVERIFY(hostboard::now - before < 100 * Eeprom24C512::kWriteCycleNs);
    }
};

QTEST_GUILESS_MAIN(TestFirmwareEeprom)
#include "test_eeprom.moc"
