// The EEPROM arithmetic and the Intel HEX writer.
#include <QtTest>
#include <optional>
#include <string>

#include "tool/eeprom.h"
#include "toolfixtures.h"

using namespace dotreel;
using namespace dotreel::tool;

namespace {

int hexByte(const std::string& s, size_t at) { return std::stoi(s.substr(at, 2), nullptr, 16); }

// Reads an Intel HEX text back into bytes, checking every record's count and checksum and that
// the end record closes it. Empty on any fault.
std::optional<std::string> parseIntelHex(const std::string& text) {
    std::string data;
    unsigned upper = 0;
    size_t pos = 0;
    bool ended = false;
    while (pos < text.size()) {
        const size_t eol = text.find("\r\n", pos);
        if (eol == std::string::npos || ended) return std::nullopt;
        const std::string rec = text.substr(pos, eol - pos);
        pos = eol + 2;
        if (rec.size() < 11 || rec[0] != ':' || (rec.size() - 11) % 2 != 0) return std::nullopt;
        const int count = hexByte(rec, 1);
        if (rec.size() != static_cast<size_t>(11 + 2 * count)) return std::nullopt;
        int sum = 0;
        for (size_t i = 1; i + 1 < rec.size(); i += 2) sum += hexByte(rec, i);
        if ((sum & 0xFF) != 0) return std::nullopt;
        const unsigned address = static_cast<unsigned>(hexByte(rec, 3) * 256 + hexByte(rec, 5));
        const int type = hexByte(rec, 7);
        if (type == 1) {
            ended = true;
        } else if (type == 4) {
            upper = static_cast<unsigned>(hexByte(rec, 9) * 256 + hexByte(rec, 11));
        } else if (type == 0) {
            const size_t at = (static_cast<size_t>(upper) << 16) + address;
            if (at != data.size()) return std::nullopt;  // the writer leaves no holes
            for (int i = 0; i < count; ++i)
                data.push_back(static_cast<char>(hexByte(rec, 9 + 2 * i)));
        } else {
            return std::nullopt;
        }
    }
    if (!ended) return std::nullopt;
    return data;
}

}  // namespace

class TestEeprom : public QObject {
    Q_OBJECT
private slots:
    void wholeFramesPerChip_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("bytes");
        QTest::addColumn<int>("frames");
        QTest::newRow("24C64") << "24c64" << 8192 << 16;
        QTest::newRow("24C128") << "24C128" << 16384 << 33;
        QTest::newRow("24C256") << "256" << 32768 << 67;
        QTest::newRow("24C512") << "24c512" << 65536 << 134;
    }
    void wholeFramesPerChip() {
        QFETCH(QString, name);
        QFETCH(int, bytes);
        QFETCH(int, frames);
        const auto chip = chipTypeByName(name.toStdString());
        QVERIFY(chip.has_value());
        QCOMPARE(chip->bytes, bytes);
        QCOMPARE(framesPerChip(chip->bytes), frames);
        // The last whole frame ends inside the chip, one more would not.
        QVERIFY(frames * kFrameBytes <= bytes);
        QVERIFY((frames + 1) * kFrameBytes > bytes);
    }

    void framesLandOnTheTwoChipsInStoreOrder_data() {
        QTest::addColumn<int>("frame");
        QTest::addColumn<int>("startChip");
        QTest::addColumn<int>("startAddress");
        QTest::addColumn<int>("endChip");
        QTest::addColumn<int>("endAddress");
        QTest::newRow("frame 0") << 0 << 0 << 0 << 0 << 487;
        QTest::newRow("frame 133, last whole one on chip 0") << 133 << 0 << 64904 << 0 << 65391;
        QTest::newRow("frame 134 crosses into chip 1") << 134 << 0 << 65392 << 1 << 343;
        QTest::newRow("frame 135") << 135 << 1 << 344 << 1 << 831;
        QTest::newRow("frame 267") << 267 << 1 << 130296 - 65536 << 1 << 130783 - 65536;
    }
    void framesLandOnTheTwoChipsInStoreOrder() {
        QFETCH(int, frame);
        QFETCH(int, startChip);
        QFETCH(int, startAddress);
        QFETCH(int, endChip);
        QFETCH(int, endAddress);
        QCOMPARE(frameStartAddress(frame).chip, startChip);
        QCOMPARE(frameStartAddress(frame).address, startAddress);
        QCOMPARE(frameEndAddress(frame).chip, endChip);
        QCOMPARE(frameEndAddress(frame).address, endAddress);
    }

    void intelHexMatchesKnownRecords() {
        std::string sixteen;
        for (int i = 0; i < 16; ++i) sixteen.push_back(static_cast<char>(i));
        QCOMPARE(QString::fromStdString(formatIntelHex(sixteen)),
                 QString(":10000000000102030405060708090A0B0C0D0E0F78\r\n:00000001FF\r\n"));
        // 17 bytes: a full record and a short one at address 0x0010.
        std::string seventeen(16, '\0');
        seventeen += "\xFF";
        QCOMPARE(QString::fromStdString(formatIntelHex(seventeen)),
                 QString(":1000000000000000000000000000000000000000F0\r\n"
                         ":01001000FFF0\r\n"
                         ":00000001FF\r\n"));
        QCOMPARE(QString::fromStdString(formatIntelHex("")), QString(":00000001FF\r\n"));
    }

    void intelHexOfTheWholeStoreReadsBackExactly() {
        const auto store = fixtures::patternStore();
        const std::string bytes = storeBytes(*store, 0, kStoreBytes);
        const std::string hex = formatIntelHex(bytes);
        const auto back = parseIntelHex(hex);
        QVERIFY(back.has_value());
        QVERIFY(*back == bytes);
        // Past 64 KiB an extended linear address record selects the upper half.
        QVERIFY(hex.find(":020000040001F9\r\n") != std::string::npos);
        QCOMPARE(hex.find(":02000004"), hex.rfind(":02000004"));
    }

    void packedFramesFollowTheRangeOrder() {
        const auto store = fixtures::patternStore();
        const std::string up = packFrames(*store, {3, 5});
        QCOMPARE(up.size(), size_t{3 * 488});
        QVERIFY(up.substr(0, 488) == fixtures::frameBytes(*store, 3));
        QVERIFY(up.substr(976, 488) == fixtures::frameBytes(*store, 5));
        const std::string down = packFrames(*store, {5, 3});
        QVERIFY(down.substr(0, 488) == fixtures::frameBytes(*store, 5));
        QVERIFY(down.substr(976, 488) == fixtures::frameBytes(*store, 3));
    }
};

QTEST_GUILESS_MAIN(TestEeprom)
#include "test_eeprom.moc"
