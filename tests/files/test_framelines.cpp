// The compact line buffer of a frame file: it keeps only what decoding reads of each line, and
// decoding it must give exactly what decoding the whole lines gives.
#include <QtTest>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "files/hexcodec.h"
#include "platform/errors.h"

using namespace dotreel;

namespace {

// Bytes that matter to the decoder: digits, non-digits, UTF-8 lead bytes of every length,
// continuation bytes, bytes that never start a character, and NUL.
const std::string kAlphabet = std::string("0159aAfFgG x") + "\xC3\xA9\xE3\x81\x82\xEF\xBC\x90" +
                              "\xF0\x9F\x98\x80\x80\xBF\xC0\xC1\xF5\xFF" + std::string(1, '\0');

std::string randomLine(std::mt19937& random) {
    std::uniform_int_distribution<size_t> length(0, 10);
    std::uniform_int_distribution<size_t> pick(0, kAlphabet.size() - 1);
    std::string line(length(random), '\0');
    for (char& c : line) c = kAlphabet[pick(random)];
    return line;
}

}  // namespace

class TestFrameLines : public QObject {
    Q_OBJECT

private slots:
    void headIsTheFirstTwoCharacters_data();
    void headIsTheFirstTwoCharacters();
    void decodingTheHeadGivesWhatTheWholeLineGives();
    void buffersLinesInOrder();
    void decodeGivesTheSameStoreAsWholeLines();
    void decodeRefusesAShortBufferAndChangesNothing();
};

void TestFrameLines::headIsTheFirstTwoCharacters_data() {
    // Lines and heads as hexadecimal bytes.
    auto bytes = [](const char* hex) { return QByteArray::fromHex(hex); };
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("head");
    QTest::newRow("empty") << bytes("") << bytes("");
    QTest::newRow("one digit") << bytes("35") << bytes("35");
    QTest::newRow("long line \"0x12 and more\"") << QByteArray("0x12 and more") << bytes("3078");
    QTest::newRow("two-byte character first") << bytes("c3a9 3146") << bytes("c3a9 31");
    QTest::newRow("full-width digits") << bytes("efbc90 efbc91 efbc92") << bytes("efbc90 efbc91");
    QTest::newRow("four-byte character second") << bytes("41 f09f9880 42") << bytes("41 f09f9880");
    QTest::newRow("lead byte cut short by a digit") << bytes("e3 3132") << bytes("e3 31");
    QTest::newRow("four-byte lead broken late") << bytes("f09f98 41") << bytes("f09f");
    QTest::newRow("lone continuation bytes") << bytes("80bf 3132") << bytes("80bf");
    QTest::newRow("NUL is a character") << bytes("00 3132") << bytes("00 31");
}

void TestFrameLines::headIsTheFirstTwoCharacters() {
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, head);
    const std::string_view text(line.constData(), static_cast<size_t>(line.size()));
    const std::string_view kept = hexLineHead(text);
    QCOMPARE(QByteArray(kept.data(), static_cast<qsizetype>(kept.size())), head);
    QCOMPARE(funHexDecChange(kept), funHexDecChange(text));
}

void TestFrameLines::decodingTheHeadGivesWhatTheWholeLineGives() {
    std::mt19937 random(20240611);
    for (int i = 0; i < 200000; ++i) {
        const std::string line = randomLine(random);
        const std::string_view head = hexLineHead(line);
        if (funHexDecChange(head) != funHexDecChange(line) || head.size() > 8 ||
            line.compare(0, head.size(), head) != 0)
            QFAIL(qPrintable("line " + QByteArray::fromStdString(line).toHex(' ')));
    }
}

void TestFrameLines::buffersLinesInOrder() {
    FrameLines lines;
    lines.push_back("A5");
    lines.push_back("");
    lines.push_back("7");
    lines.push_back("ＦＦ full-width");
    lines.push_back("0C trailing text");
    QCOMPARE(lines.size(), size_t(5));
    QCOMPARE(lines[0], std::string_view("A5"));
    QCOMPARE(lines[1], std::string_view(""));
    QCOMPARE(lines[2], std::string_view("7"));
    QCOMPARE(lines[3], std::string_view("ＦＦ"));
    QCOMPARE(lines[4], std::string_view("0C"));
}

void TestFrameLines::decodeGivesTheSameStoreAsWholeLines() {
    std::mt19937 random(7);
    std::vector<std::string> whole(131072);
    FrameLines compact;
    compact.reserve(whole.size());
    for (size_t k = 0; k < whole.size(); ++k) {
        // Mostly ordinary lines, with every kind of odd one in between.
        whole[k] = k % 3 == 0 ? randomLine(random) : funDHChange(static_cast<uint8_t>(k * 37));
        compact.push_back(whole[k]);
    }
    auto fromWhole = std::make_unique<FrameMemory>();
    auto fromCompact = std::make_unique<FrameMemory>();
    fromWhole->fill(0x5A);
    fromCompact->fill(0x5A);
    decodeFrameLines(whole, *fromWhole);
    decodeFrameLines(compact, *fromCompact);
    for (size_t k = 0; k < fromWhole->size(); ++k)
        if ((*fromWhole)[k] != (*fromCompact)[k]) QFAIL(qPrintable(QString("byte %1").arg(k)));
    QCOMPARE(int((*fromCompact)[131072]), 0x5A);
}

void TestFrameLines::decodeRefusesAShortBufferAndChangesNothing() {
    FrameLines lines;
    for (int k = 0; k < 131071; ++k) lines.push_back("FF");
    auto memory = std::make_unique<FrameMemory>();
    memory->fill(0x11);
    QVERIFY_THROWS_EXCEPTION(PlatformError, decodeFrameLines(lines, *memory));
    for (const uint8_t b : *memory) QCOMPARE(int(b), 0x11);
}

QTEST_GUILESS_MAIN(TestFrameLines)
#include "test_framelines.moc"
