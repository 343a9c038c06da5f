// The frame-file reader: lines split by every line end, decoded as the hex codec decodes them,
// a short file refused at its missing line, and what it tells a checker.
#include <QtTest>

#include <memory>
#include <random>
#include <string>

#include "files/framefile.h"
#include "files/hexcodec.h"
#include "platform/errors.h"

using namespace dotreel;

namespace {

// Bytes that matter to the decoder: digits, non-digits, UTF-8 lead bytes of every length,
// continuation bytes, bytes that never start a character, and NUL.
const std::string kAlphabet = std::string("0159aAfFgG x") + "\xC3\xA9\xE3\x81\x82\xEF\xBC\x90" +
                              "\xF0\x9F\x98\x80\x80\xBF\xC0\xC1\xF5\xFF" + std::string(1, '\0');

// Line k: mostly two upper-case digits, every third an odd line.
std::string lineFor(size_t k, std::mt19937& random) {
    if (k % 3 != 0) return funDHChange(static_cast<uint8_t>(k * 37));
    std::string line(std::uniform_int_distribution<size_t>(0, 10)(random), '\0');
    for (char& c : line) c = kAlphabet[std::uniform_int_distribution<size_t>(0, 25)(random)];
    return line;
}

std::string frameText(size_t lines, const std::string& end = "\r\n", const char* line = "5A") {
    std::string text;
    for (size_t k = 0; k < lines; ++k) text += line + end;
    return text;
}

}  // namespace

class TestFrameFile : public QObject {
    Q_OBJECT

private slots:
    void decodesEveryLineAsTheCodecDoes_data() {
        QTest::addColumn<QString>("lineEnd");
        QTest::newRow("CR LF") << "\r\n";
        QTest::newRow("lone LF") << "\n";
        QTest::newRow("lone CR") << "\r";
        QTest::newRow("mixed") << "";
    }
    void decodesEveryLineAsTheCodecDoes() {
        QFETCH(QString, lineEnd);
        const char* mixed[] = {"\r\n", "\n", "\r"};
        std::mt19937 random(7);
        std::vector<std::string> lines(kStoreBytes);
        std::string content;
        for (size_t k = 0; k < lines.size(); ++k) {
            lines[k] = lineFor(k, random);
            content += lines[k] + (lineEnd.isEmpty() ? mixed[k % 3] : lineEnd.toStdString());
        }
        auto bytes = std::make_unique<FrameBytes>();
        FrameFileReader reader(content, "FirstData.txt", *bytes);
        reader.readLines();
        QVERIFY(reader.complete());
        for (size_t k = 0; k < lines.size(); ++k)
            if ((*bytes)[k] != hexLineToByte(lines[k]))
                QFAIL(qPrintable(QString("line %1").arg(k)));

        auto memory = std::make_unique<FrameMemory>();
        memory->fill(0xEE);
        storeFrameBytes(*bytes, *memory);
        QCOMPARE(int((*memory)[1]), int(hexLineToByte(lines[1])));
        QCOMPARE(int((*memory)[kStoreBytes]), 0xEE);  // no file holds the last byte
    }

    void linesAfterTheLastAreNeverRead() {
        const std::string content = frameText(131072, "\r\n", "01") + "FF\r\nno line end";
        auto bytes = std::make_unique<FrameBytes>();
        FrameFileReader reader(content, "x", *bytes);
        reader.readLines();
        QCOMPARE(int(bytes->back()), 1);
        QCOMPARE(reader.linesRead(), size_t(kStoreBytes));
    }

    void shortFileFailsAtTheMissingLineEveryTime_data() {
        QTest::addColumn<int>("lines");
        QTest::newRow("one short") << 131071;
        QTest::newRow("empty") << 0;
    }
    void shortFileFailsAtTheMissingLineEveryTime() {
        QFETCH(int, lines);
        const std::string content = frameText(static_cast<size_t>(lines));
        auto bytes = std::make_unique<FrameBytes>();
        bytes->fill(0x33);
        FrameFileReader reader(content, "/data/FirstData.txt", *bytes);
        for (int attempt = 0; attempt < 2; ++attempt) {
            try {
                reader.readLines();
                QFAIL("a short file was read whole");
            } catch (const PlatformError& e) {
                QCOMPARE(e.kind(), ErrorKind::EndOfFile);
                QVERIFY(e.description().find("/data/FirstData.txt") != std::string::npos);
            }
            QCOMPARE(reader.linesRead(), size_t(lines));
        }
        QCOMPARE(int(bytes->back()), 0x33);
    }

    // The fuzz target's short whole files: the count bounds the read, and never the buffer.
    void aGivenLineCountBoundsTheRead_data() {
        QTest::addColumn<size_t>("count");
        QTest::addColumn<bool>("complete");
        QTest::newRow("fewer than the file") << size_t(3) << true;
        QTest::newRow("beyond the store") << size_t(kStoreBytes) * 2 << false;
    }
    void aGivenLineCountBoundsTheRead() {
        QFETCH(size_t, count);
        QFETCH(bool, complete);
        const std::string content = frameText(5);
        auto bytes = std::make_unique<FrameBytes>();
        bytes->fill(0x33);
        FrameFileReader reader(content, "x", *bytes, count);
        try {
            reader.readLines();
        } catch (const PlatformError& e) {
            QCOMPARE(e.kind(), ErrorKind::EndOfFile);
        }
        QCOMPARE(reader.complete(), complete);
        QCOMPARE(reader.linesRead(), std::min<size_t>(count, 5));
        QCOMPARE(int((*bytes)[reader.linesRead()]), 0x33);
        QCOMPARE(inspectFrameFile(content, *bytes, count).lineCount, 5L);
    }

    void inspectionCountsWhatACheckerReports() {
        std::string content = frameText(131073);
        content.replace(4 * 2, 2, "a0");      // line 3: lower case
        content.replace(4 * 4, 2, "G1");      // line 5: bad
        content.replace(4 * 9 + 2, 2, "\n");  // line 10 ends in a lone LF (and line 11 moves)
        content.pop_back();                   // line 131073: ends in a lone CR
        auto bytes = std::make_unique<FrameBytes>();
        const FrameFileFindings found = inspectFrameFile(content, *bytes);
        QCOMPARE(found.lineCount, 131073L);
        QCOMPARE(found.badLineCount, 1L);
        QCOMPARE(found.firstBadLines.at(0).number, 5L);
        QCOMPARE(found.firstBadLines.at(0).text, std::string_view("G1"));
        QCOMPARE(int((*bytes)[4]), 1);
        QCOMPARE(found.lowerCaseCount, 1L);
        QCOMPARE(found.firstLowerCaseLine, 3L);
        QCOMPARE(found.ends.lf, 1L);
        QCOMPARE(found.ends.cr, 1L);
        QCOMPARE(found.ends.crlf, 131071L);
        QCOMPARE(found.ends.firstOddLine, 10L);
    }
};

QTEST_GUILESS_MAIN(TestFrameFile)
#include "test_framefile.moc"
