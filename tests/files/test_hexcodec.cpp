// The hexadecimal text of the frame files, in both directions, and the whole-file formats.
#include <QtTest>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/frame.h"
#include "files/hexcodec.h"
#include "platform/errors.h"

using namespace dotreel;

Q_DECLARE_METATYPE(std::string)

class TestHexCodec : public QObject {
    Q_OBJECT

private slots:
    void decodesTheFirstTwoCharacters_data();
    void decodesTheFirstTwoCharacters();
    void encodesBytesAsTwoUpperCaseDigits_data();
    void encodesBytesAsTwoUpperCaseDigits();
    void everyByteSurvivesTheRoundTrip();
    void frameFileIsAllBytesAsCrLfLines();
};

void TestHexCodec::decodesTheFirstTwoCharacters_data() {
    QTest::addColumn<std::string>("text");
    QTest::addColumn<int>("expected");  // -1: empty result
    QTest::newRow("7F") << std::string("7F") << 127;
    QTest::newRow("7f") << std::string("7f") << 127;
    QTest::newRow("ff") << std::string("ff") << 255;
    QTest::newRow("FF") << std::string("FF") << 255;
    QTest::newRow("00") << std::string("00") << 0;
    QTest::newRow("a0") << std::string("a0") << 160;
    QTest::newRow("A0") << std::string("A0") << 160;
    QTest::newRow("5 is the high digit") << std::string("5") << 80;
    QTest::newRow("empty") << std::string() << -1;
    QTest::newRow("G1") << std::string("G1") << 1;
    QTest::newRow("1G") << std::string("1G") << 16;
    QTest::newRow("0A1: third character ignored") << std::string("0A1") << 10;
    QTest::newRow("blank then A") << std::string(" A") << 10;
    QTest::newRow("0x12") << std::string("0x12") << 0;
    QTest::newRow("zz") << std::string("zz") << -1;
    QTest::newRow("G alone") << std::string("G") << -1;
    QTest::newRow("blank alone") << std::string(" ") << -1;
    QTest::newRow("g and f are not alike") << std::string("gf") << 15;
    QTest::newRow("non-ASCII first character") << std::string("é5") << 5;
    QTest::newRow("full-width first character") << std::string("Ａ5") << 5;
    QTest::newRow("non-ASCII second character") << std::string("5é") << 80;
    QTest::newRow("stray byte counts as a character") << std::string(
                                                             "\xff"
                                                             "7")
                                                      << 7;
    QTest::newRow("cut UTF-8 sequence") << std::string(
                                               "\xe3"
                                               "8")
                                        << 8;
}

void TestHexCodec::decodesTheFirstTwoCharacters() {
    QFETCH(std::string, text);
    QFETCH(int, expected);
    const std::optional<int16_t> result = funHexDecChange(text);
    if (expected < 0) {
        QVERIFY(!result.has_value());
        QCOMPARE(int(hexLineToByte(text)), 0);
    } else {
        QVERIFY(result.has_value());
        QCOMPARE(int(*result), expected);
        QCOMPARE(int(hexLineToByte(text)), expected);
    }
}

void TestHexCodec::encodesBytesAsTwoUpperCaseDigits_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<std::string>("text");
    QTest::newRow("0") << 0 << std::string("00");
    QTest::newRow("10") << 10 << std::string("0A");
    QTest::newRow("127") << 127 << std::string("7F");
    QTest::newRow("160") << 160 << std::string("A0");
    QTest::newRow("255") << 255 << std::string("FF");
}

void TestHexCodec::encodesBytesAsTwoUpperCaseDigits() {
    QFETCH(int, value);
    QFETCH(std::string, text);
    QCOMPARE(funDHChange(static_cast<uint8_t>(value)), text);
}

void TestHexCodec::everyByteSurvivesTheRoundTrip() {
    for (int v = 0; v < 256; ++v) {
        const std::string text = funDHChange(static_cast<uint8_t>(v));
        QCOMPARE(text.size(), size_t(2));
        QVERIFY(text.find_first_not_of("0123456789ABCDEF") == std::string::npos);
        QCOMPARE(int(hexLineToByte(text)), v);
        std::string lower = text;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        QCOMPARE(int(hexLineToByte(lower)), v);
    }
}

void TestHexCodec::frameFileIsAllBytesAsCrLfLines() {
    auto memory = std::make_unique<FrameMemory>();
    for (size_t k = 0; k < memory->size(); ++k) (*memory)[k] = static_cast<uint8_t>(k * 7 + 3);
    (*memory)[131072] = 0xEE;  // beyond the store: never saved
    const std::string file = formatFrameFile(*memory);
    QCOMPARE(file.size(), size_t(524288));
    for (size_t k = 0; k < 131072; ++k) {
        const std::string line = file.substr(k * 4, 4);
        if (line != funDHChange((*memory)[k]) + "\r\n")
            QFAIL(qPrintable(QString("line %1 is %2").arg(k).arg(QString::fromStdString(line))));
    }
}

QTEST_GUILESS_MAIN(TestHexCodec)
#include "test_hexcodec.moc"
