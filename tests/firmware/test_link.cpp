// The serial link's codec, on the host: the CRC's check value, every request and answer through
// the decoder and back, a line that drops, garbles or inserts bytes, and the device's dispatch
// against the simulated panel and 24C512 pair.
#include <QTest>

#include "firmware/hostports.h"

extern "C" {
#include "dotreel_link.h"
}

using namespace firmwaresim;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes packet(size_t (*encode)(uint8_t*)) {
    Bytes out(DOTREEL_LINK_MAX_PACKET);
    out.resize(encode(out.data()));
    return out;
}

struct Decoded {
    uint8_t type;
    uint8_t number;
    Bytes payload;
};

std::vector<Decoded> decodeAll(dotreel_link_decoder& d, const Bytes& line) {
    std::vector<Decoded> out;
    dotreel_link_packet p{};
    for (const uint8_t b : line)
        for (int got = dotreel_link_decoder_feed(&d, b, &p); got;
             got = dotreel_link_decoder_next(&d, &p))
            out.push_back({p.type, p.number, Bytes(p.payload, p.payload + p.length)});
    return out;
}

Bytes frameOf(uint8_t seed) {
    Bytes frame(DOTREEL_LINK_FRAME_BYTES);
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = uint8_t(size_t(seed) * 31 + i * 7);
    return frame;
}

// Two packets that follow each other on the line: a frame to show (number 7) and a stop (8).
Bytes showPacket() {
    static const Bytes frame = frameOf(3);
    Bytes out(DOTREEL_LINK_MAX_PACKET);
    out.resize(dotreel_link_encode_show(out.data(), 7, frame.data()));
    return out;
}
Bytes stopPacket() {
    return packet([](uint8_t* o) { return dotreel_link_encode_stop(o, 8); });
}

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// The board's side of the dispatch: the panel and the EEPROMs through the firmware's own calls.
struct Board {
    int plays = 0;
    int stops = 0;
    uint16_t start = 0, end = 0, interval = 0;
    uint8_t repeat = 0;
};

dotreel_link_device deviceFor(Board& board) {
    dotreel_link_device d{};
    d.context = &board;
    d.show = [](void*, const uint8_t* frame) {
        sg12232_show(frame);
        return 0;
    };
    d.write = [](void*, uint32_t address, const uint8_t* data, uint8_t length) {
        return int(dotreel_eeprom_write_page(uint8_t(0x50 + (address >> 16)),
                                             uint16_t(address & 0xFFFF), data, length));
    };
    d.read = [](void*, uint32_t address, uint8_t* data, uint8_t length) {
        return int(dotreel_eeprom_read(uint8_t(0x50 + (address >> 16)), uint16_t(address & 0xFFFF),
                                       data, length));
    };
    d.play = [](void* c, uint16_t s, uint16_t e, uint16_t i, uint8_t r) {
        auto* b = static_cast<Board*>(c);
        ++b->plays;
        b->start = s;
        b->end = e;
        b->interval = i;
        b->repeat = r;
    };
    d.stop = [](void* c) { ++static_cast<Board*>(c)->stops; };
    d.eeproms = [](void*) {
        return uint8_t((dotreel_eeprom_wait_ready(0x50) == DOTREEL_I2C_OK ? 1 : 0) |
                       (dotreel_eeprom_wait_ready(0x51) == DOTREEL_I2C_OK ? 2 : 0));
    };
    d.firmware_major = 1;
    d.firmware_minor = 2;
    d.firmware_patch = 3;
    return d;
}

}  // namespace

Q_DECLARE_METATYPE(Bytes)

class TestFirmwareLink : public QObject {
    Q_OBJECT

    Panel panel_;
    EepromBus bus_;
    Board board_;

    // One request through the decoder into the dispatch; its answer decoded again.
    Decoded ask(const Bytes& request) {
        dotreel_link_decoder in;
        dotreel_link_decoder_init(&in);
        dotreel_link_packet p{};
        bool got = false;
        for (const uint8_t b : request) got = dotreel_link_decoder_feed(&in, b, &p) != 0 || got;
        if (!got) return {0, 0, {}};
        const dotreel_link_device device = deviceFor(board_);
        Bytes out(DOTREEL_LINK_MAX_ANSWER);
        out.resize(dotreel_link_dispatch(&device, &p, out.data()));
        dotreel_link_decoder back;
        dotreel_link_decoder_init(&back);
        const auto answers = decodeAll(back, out);
        return answers.size() == 1 ? answers[0] : Decoded{0, 0, {}};
    }

private slots:
    void init() {
        panel_ = Panel();
        bus_ = EepromBus();
        board_ = Board();
        hostboard::attach(panel_, bus_);
        sg12232_set_options(SG12232_MAPPING_NORMAL, 0);
        QCOMPARE(sg12232_init(), 0);
    }

    void crcIsCcittFalse() {
        const char* check = "123456789";
        QCOMPARE(
            dotreel_link_crc(DOTREEL_LINK_CRC_INIT, reinterpret_cast<const uint8_t*>(check), 9),
            uint16_t(0x29B1));
        QCOMPARE(dotreel_link_crc(DOTREEL_LINK_CRC_INIT, nullptr, 0), uint16_t(0xFFFF));
    }

    void roundTrips_data() {
        QTest::addColumn<Bytes>("line");
        QTest::addColumn<int>("type");
        QTest::addColumn<Bytes>("payload");
        const Bytes frame = frameOf(9);
        const Bytes markers(DOTREEL_LINK_FRAME_BYTES, DOTREEL_LINK_START);
        Bytes block(128);
        for (size_t i = 0; i < block.size(); ++i) block[i] = uint8_t(0xA5 ^ i);
        auto enc = [](auto f) {
            Bytes out(DOTREEL_LINK_MAX_PACKET);
            out.resize(f(out.data()));
            return out;
        };
        QTest::newRow("hello") << enc([](uint8_t* o) { return dotreel_link_encode_hello(o, 1); })
                               << int(DOTREEL_LINK_HELLO) << Bytes{};
        QTest::newRow("show") << enc([&](uint8_t* o) {
            return dotreel_link_encode_show(o, 1, frame.data());
        }) << int(DOTREEL_LINK_SHOW)
                              << frame;
        QTest::newRow("show, every byte a start marker")
            << enc([&](uint8_t* o) { return dotreel_link_encode_show(o, 1, markers.data()); })
            << int(DOTREEL_LINK_SHOW) << markers;
        Bytes write = {0x80, 0x00, 0x01, 0x00};
        write.insert(write.end(), block.begin(), block.end());
        QTest::newRow("write, chip 1") << enc([&](uint8_t* o) {
            return dotreel_link_encode_write(o, 1, 0x10080, block.data(), 128);
        }) << int(DOTREEL_LINK_WRITE) << write;
        QTest::newRow("read") << enc([](uint8_t* o) {
            return dotreel_link_encode_read(o, 1, 0xFFFF, 1);
        }) << int(DOTREEL_LINK_READ)
                              << Bytes{0xFF, 0xFF, 0, 0, 1};
        QTest::newRow("play") << enc([](uint8_t* o) {
            return dotreel_link_encode_play(o, 1, 267, 3, 1000, 1);
        }) << int(DOTREEL_LINK_PLAY)
                              << Bytes{0x0B, 0x01, 3, 0, 0xE8, 0x03, 1};
        QTest::newRow("stop") << enc([](uint8_t* o) { return dotreel_link_encode_stop(o, 1); })
                              << int(DOTREEL_LINK_STOP) << Bytes{};
        QTest::newRow("error answer") << enc([](uint8_t* o) {
            return dotreel_link_encode_error(o, DOTREEL_LINK_WRITE, 1, DOTREEL_LINK_E_EEPROM, 2);
        }) << int(DOTREEL_LINK_ERROR) << Bytes{DOTREEL_LINK_WRITE, DOTREEL_LINK_E_EEPROM, 2};
    }

    // Every packet comes out of the decoder as it went in, whatever bytes its payload holds.
    void roundTrips() {
        QFETCH(Bytes, line);
        QFETCH(int, type);
        QFETCH(Bytes, payload);
        QCOMPARE(line.size(), DOTREEL_LINK_HEADER_BYTES + payload.size() + 2);
        dotreel_link_decoder d;
        dotreel_link_decoder_init(&d);
        const auto got = decodeAll(d, line);
        QCOMPARE(got.size(), size_t(1));
        QCOMPARE(int(got[0].type), type);
        QCOMPARE(got[0].number, uint8_t(1));
        QVERIFY(got[0].payload == payload);
        QCOMPARE(int(d.dropped), 0);
    }

    void damagedLines_data() {
        QTest::addColumn<Bytes>("line");
        QTest::addColumn<bool>("gap");  // the line goes quiet after the damaged part
        QTest::addColumn<QList<int>>("numbers");
        const Bytes show = showPacket();
        const Bytes stop = stopPacket();
        const Bytes garbage = {0x00, 0xFF, 0xA5, 0x13, 0xA5, 0xA5, 0x02};
        Bytes flipped = show;
        flipped[200] ^= 0x10;
        Bytes dropped = show;
        dropped.erase(dropped.begin() + 100);
        Bytes badCrc = stop;
        badCrc.back() ^= 1;
        const Bytes oversize = {0xA5, 0x02, 0x09, 0xE9, 0x01};  // 489 bytes: one too many
        const Bytes truncated(show.begin(), show.begin() + 300);
        QTest::newRow("clean") << cat({show, stop}) << false << QList<int>{7, 8};
        QTest::newRow("garbage first") << cat({garbage, show, stop}) << false << QList<int>{7, 8};
        QTest::newRow("garbage between") << cat({show, garbage, stop}) << false << QList<int>{7, 8};
        QTest::newRow("a bit flipped") << cat({flipped, stop}) << false << QList<int>{8};
        QTest::newRow("a byte dropped") << cat({dropped, stop}) << false << QList<int>{8};
        QTest::newRow("wrong CRC") << cat({badCrc, show}) << false << QList<int>{7};
        QTest::newRow("oversize length") << cat({oversize, stop}) << false << QList<int>{8};
        QTest::newRow("truncated, then more")
            << cat({truncated, stop, show}) << false << QList<int>{8, 7};
        QTest::newRow("truncated, two more inside its length")
            << cat({truncated, stop, stopPacket(), Bytes(200, 0x00)}) << false << QList<int>{8, 8};
        QTest::newRow("truncated, a pause") << cat({truncated, stop}) << true << QList<int>{8};
        QTest::newRow("only a header")
            << Bytes(show.begin(), show.begin() + 4) << false << QList<int>{};
    }

    // A damaged packet is dropped and never taken for another; the packets after it are found,
    // also when they arrived inside the length the broken one claimed.
    void damagedLines() {
        QFETCH(Bytes, line);
        QFETCH(bool, gap);
        QFETCH(QList<int>, numbers);
        dotreel_link_decoder d;
        dotreel_link_decoder_init(&d);
        std::vector<Decoded> got;
        if (gap) {
            const size_t cut = 300;  // the truncated packet's bytes
            got = decodeAll(d, Bytes(line.begin(), line.begin() + cut));
            dotreel_link_decoder_gap(&d);
            const auto rest = decodeAll(d, Bytes(line.begin() + cut, line.end()));
            got.insert(got.end(), rest.begin(), rest.end());
        } else {
            got = decodeAll(d, line);
        }
        QList<int> seen;
        for (const auto& p : got) {
            seen << p.number;
            if (p.type == DOTREEL_LINK_SHOW) QVERIFY(p.payload == frameOf(3));
        }
        QCOMPARE(seen, numbers);
    }

    void encodersRefuse_data() {
        QTest::addColumn<int>("which");
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("length");
        QTest::newRow("write, not page-aligned") << 0 << 0x40 << 16;
        QTest::newRow("write, 129 bytes") << 0 << 0 << 129;
        QTest::newRow("write, nothing") << 0 << 0 << 0;
        QTest::newRow("write, past the store") << 0 << 0x20000 << 1;
        QTest::newRow("read, across the chips") << 1 << 0xFFFF << 2;
        QTest::newRow("read, past the store") << 1 << 0x1FFFF << 2;
        QTest::newRow("play, frame 268") << 2 << 268 << 10;
        QTest::newRow("play, interval 0") << 2 << 0 << 0;
        QTest::newRow("play, interval 1001") << 2 << 0 << 1001;
    }

    // What the device would refuse is not even sent.
    void encodersRefuse() {
        QFETCH(int, which);
        QFETCH(int, address);
        QFETCH(int, length);
        Bytes out(DOTREEL_LINK_MAX_PACKET);
        const Bytes data(256, 0x11);
        size_t n = 0;
        if (which == 0)
            n = dotreel_link_encode_write(out.data(), 1, uint32_t(address), data.data(),
                                          uint8_t(std::min(length, 255)));
        if (which == 1)
            n = dotreel_link_encode_read(out.data(), 1, uint32_t(address), uint8_t(length));
        if (which == 2)
            n = dotreel_link_encode_play(out.data(), 1, uint16_t(address), 0, uint16_t(length), 0);
        QCOMPARE(n, size_t(0));
    }

    // The device writes a block to the right chip, answers only once it is written, and reads it
    // back; frames reach the panel; play and stop reach the player.
    void dispatchOnTheBoard() {
        Bytes block(128);
        for (size_t i = 0; i < block.size(); ++i) block[i] = uint8_t(i * 5 + 1);
        Bytes out(DOTREEL_LINK_MAX_PACKET);
        out.resize(dotreel_link_encode_write(out.data(), 40, 0x10080, block.data(), 128));
        const Decoded w = ask(out);
        QCOMPARE(int(w.type), int(DOTREEL_LINK_WRITE | DOTREEL_LINK_ANSWER));
        QCOMPARE(w.number, uint8_t(40));
        QCOMPARE(bus_.chips[1].writeCycles, 1);
        QVERIFY(hostboard::now >= bus_.chips[1].busyUntil);
        QVERIFY(std::equal(block.begin(), block.end(), bus_.chips[1].memory().begin() + 0x80));

        out.resize(DOTREEL_LINK_MAX_PACKET);
        out.resize(dotreel_link_encode_read(out.data(), 41, 0x10080, 128));
        const Decoded r = ask(out);
        QCOMPARE(int(r.type), int(DOTREEL_LINK_READ | DOTREEL_LINK_ANSWER));
        QCOMPARE(r.payload.size(), size_t(132));
        QVERIFY(std::equal(block.begin(), block.end(), r.payload.begin() + 4));

        auto store = std::make_unique<FrameMemory>();
        const Bytes frame = frameOf(5);
        std::copy(frame.begin(), frame.end(), store->begin() + qsizetype(488) * 10);
        out.resize(DOTREEL_LINK_MAX_PACKET);
        out.resize(dotreel_link_encode_show(out.data(), 42, frame.data()));
        QCOMPARE(int(ask(out).type), int(DOTREEL_LINK_SHOW | DOTREEL_LINK_ANSWER));
        QCOMPARE(panel_.differenceFrom(*store, 10), std::string());

        out.resize(DOTREEL_LINK_MAX_PACKET);
        out.resize(dotreel_link_encode_play(out.data(), 43, 132, 136, 40,
                                            DOTREEL_LINK_PLAY_REPEAT | DOTREEL_LINK_PLAY_KEEP));
        QCOMPARE(int(ask(out).type), int(DOTREEL_LINK_PLAY | DOTREEL_LINK_ANSWER));
        QCOMPARE(board_.plays, 1);
        QCOMPARE(board_.start, uint16_t(132));
        QCOMPARE(board_.end, uint16_t(136));
        QCOMPARE(board_.interval, uint16_t(40));
        QCOMPARE(board_.repeat, uint8_t(DOTREEL_LINK_PLAY_REPEAT | DOTREEL_LINK_PLAY_KEEP));
        QCOMPARE(int(ask(stopPacket()).type), int(DOTREEL_LINK_STOP | DOTREEL_LINK_ANSWER));
        QCOMPARE(board_.stops, 1);
        QVERIFY(panel_.failures.empty());
    }

    void hello_data() {
        QTest::addColumn<bool>("chip1Absent");
        QTest::addColumn<int>("eeproms");
        QTest::newRow("both answer") << false << 3;
        QTest::newRow("chip 1 absent") << true << 1;
    }

    void hello() {
        QFETCH(bool, chip1Absent);
        QFETCH(int, eeproms);
        bus_.chips[1].absent = chip1Absent;
        const Decoded a = ask(packet([](uint8_t* o) { return dotreel_link_encode_hello(o, 9); }));
        dotreel_link_packet p{a.type, a.number, uint16_t(a.payload.size()), a.payload.data()};
        dotreel_link_hello_info info{};
        QVERIFY(dotreel_link_parse_hello_answer(&p, &info));
        QCOMPARE(a.number, uint8_t(9));
        QCOMPARE(int(info.version), int(DOTREEL_LINK_VERSION));
        QCOMPARE(int(info.width), 122);
        QCOMPARE(int(info.height), 32);
        QCOMPARE(info.store_bytes, uint32_t(131072));
        QCOMPARE(int(info.eeproms), eeproms);
        QCOMPARE(int(info.firmware_minor), 2);
    }

    void refusedRequests_data() {
        QTest::addColumn<Bytes>("request");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("detail");
        auto raw = [](uint8_t type, Bytes payload) {
            Bytes out(DOTREEL_LINK_MAX_PACKET);
            out.resize(
                dotreel_link_encode(out.data(), type, 5, payload.data(), uint16_t(payload.size())));
            return out;
        };
        Bytes unaligned = {0x40, 0, 0, 0, 1, 2, 3};
        Bytes pastStore = {0, 0, 2, 0, 1};
        QTest::newRow("unknown request") << raw(0x09, {}) << int(DOTREEL_LINK_E_UNKNOWN) << 0;
        QTest::newRow("short frame")
            << raw(DOTREEL_LINK_SHOW, Bytes(487, 0)) << int(DOTREEL_LINK_E_LENGTH) << 0;
        QTest::newRow("hello with a payload")
            << raw(DOTREEL_LINK_HELLO, {1}) << int(DOTREEL_LINK_E_LENGTH) << 0;
        QTest::newRow("write, not page-aligned")
            << raw(DOTREEL_LINK_WRITE, unaligned) << int(DOTREEL_LINK_E_ADDRESS) << 0;
        QTest::newRow("write, past the store")
            << raw(DOTREEL_LINK_WRITE, pastStore) << int(DOTREEL_LINK_E_ADDRESS) << 0;
        QTest::newRow("read of 0 bytes")
            << raw(DOTREEL_LINK_READ, {0, 0, 0, 0, 0}) << int(DOTREEL_LINK_E_ADDRESS) << 0;
        QTest::newRow("play, interval 0")
            << raw(DOTREEL_LINK_PLAY, {0, 0, 1, 0, 0, 0, 0}) << int(DOTREEL_LINK_E_ARGUMENT) << 0;
        QTest::newRow("play, an unknown flag")
            << raw(DOTREEL_LINK_PLAY, {0, 0, 1, 0, 10, 0, 4}) << int(DOTREEL_LINK_E_ARGUMENT) << 0;
        QTest::newRow("write to an absent chip")
            << raw(DOTREEL_LINK_WRITE, {0, 0, 0, 0, 7}) << int(DOTREEL_LINK_E_EEPROM)
            << int(DOTREEL_I2C_NACK);
    }

    // A request the device cannot carry out is answered with the reason, and nothing is done:
    // a write that failed is never acknowledged.
    void refusedRequests() {
        QFETCH(Bytes, request);
        QFETCH(int, code);
        QFETCH(int, detail);
        bus_.chips[0].absent = true;
        const std::vector<uint8_t> before = bus_.chips[0].memory();
        const Decoded a = ask(request);
        dotreel_link_packet p{a.type, a.number, uint16_t(a.payload.size()), a.payload.data()};
        uint8_t req = 0, c = 0, det = 0;
        QVERIFY(dotreel_link_parse_error(&p, &req, &c, &det));
        QCOMPARE(a.number, uint8_t(5));
        QCOMPARE(req, request[1]);
        QCOMPARE(int(c), code);
        QCOMPARE(int(det), detail);
        QVERIFY(bus_.chips[0].memory() == before);
        QCOMPARE(board_.plays, 0);
    }
};

QTEST_GUILESS_MAIN(TestFirmwareLink)
#include "test_link.moc"
