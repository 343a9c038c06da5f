// Frames as the clipboard's text: the frame file's own lines, read back exactly, and every other
// text refused.
#include <QtTest/QtTest>

#include <string>
#include <vector>

#include "core/frame.h"
#include "files/frametext.h"

using namespace dotreel;

namespace {

std::vector<uint8_t> frames(int count) {
    std::vector<uint8_t> bytes(static_cast<size_t>(count * kFrameBytes));
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 31 + 7);
    return bytes;
}

std::string lines(const std::string& line, int count, const char* end = "\r\n") {
    std::string text;
    for (int i = 0; i < count; ++i) text += line + end;
    return text;
}

}  // namespace

class TestFrameText : public QObject {
    Q_OBJECT

private slots:
    void formatIsTheFrameFilesLines() {
        const std::string text = formatFrameText(std::vector<uint8_t>{0, 10, 255});
        QCOMPARE(QByteArray::fromStdString(text), QByteArray("00\r\n0A\r\nFF\r\n"));
    }

    void roundTrip_data() {
        QTest::addColumn<int>("count");
        QTest::newRow("one frame") << 1;
        QTest::newRow("three frames") << 3;
        QTest::newRow("every frame") << kFrameCount;
    }
    void roundTrip() {
        QFETCH(int, count);
        const auto bytes = frames(count);
        const auto read = parseFrameText(formatFrameText(bytes));
        QVERIFY(read.has_value());
        QVERIFY(*read == bytes);
    }

    void readsOtherwise_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("bytes");  // -1: refused
        QTest::newRow("LF only") << QByteArray::fromStdString(lines("1f", kFrameBytes, "\n"))
                                 << kFrameBytes;
        QTest::newRow("no last line end")
            << QByteArray::fromStdString(lines("AB", kFrameBytes - 1) + "AB") << kFrameBytes;
        QTest::newRow("487 lines") << QByteArray::fromStdString(lines("00", kFrameBytes - 1)) << -1;
        QTest::newRow("489 lines") << QByteArray::fromStdString(lines("00", kFrameBytes + 1)) << -1;
        QTest::newRow("a blank line inside")
            << QByteArray::fromStdString(lines("00", 10) + "\r\n" + lines("00", kFrameBytes - 10))
            << -1;
        QTest::newRow("three digits")
            << QByteArray::fromStdString("123\r\n" + lines("00", kFrameBytes - 1)) << -1;
        QTest::newRow("not hexadecimal")
            << QByteArray::fromStdString("G0\r\n" + lines("00", kFrameBytes - 1)) << -1;
        QTest::newRow("a lone CR")
            << QByteArray::fromStdString(lines("00", kFrameBytes, "\r")) << -1;
        QTest::newRow("a word") << QByteArray("hello") << -1;
        QTest::newRow("empty") << QByteArray() << -1;
        QTest::newRow("269 frames")
            << QByteArray::fromStdString(lines("00", (kFrameCount + 1) * kFrameBytes)) << -1;
    }
    void readsOtherwise() {
        QFETCH(QByteArray, text);
        QFETCH(int, bytes);
        const auto read = parseFrameText(text.toStdString());
        QCOMPARE(read.has_value(), bytes >= 0);
        if (read) QCOMPARE(int(read->size()), bytes);
    }
};

QTEST_MAIN(TestFrameText)
#include "test_frametext.moc"
