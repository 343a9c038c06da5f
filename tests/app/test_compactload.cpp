// Reading a frame file into the compact line buffer that start-up and layer loading use: the
// same steps, failures and retries as reading whole lines, and the same bytes once decoded.
#include <QtTest>

#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/framefileload.h"
#include "app/layerload.h"
#include "app/modmain.h"
#include "app/steprunner.h"
#include "core/frame.h"
#include "files/hexcodec.h"
#include "scripteddialogs.h"

using namespace dotreel;
using dotreel::testing::ScriptedDialogs;

namespace {

// Line k of the test files: mostly two digits, with lines that only a careful decoder reads
// right (full-width digits, a digit after a multi-byte character, lower case, one digit, text
// after the digits, nothing at all).
std::string lineFor(size_t k) {
    switch (k % 11) {
        case 3:
            return "１２";
        case 5:
            return "é7";
        case 7:
            return "a" + std::to_string(k % 10);
        case 8:
            return std::to_string(k % 10);
        case 9:
            return funDHChange(static_cast<uint8_t>(k)) + " trailing";
        case 10:
            return "";
        default:
            return funDHChange(static_cast<uint8_t>(k * 13 + 1));
    }
}

void writeFrameFile(const std::string& path, size_t lineCount, const std::string& lineEnd) {
    std::string content;
    for (size_t k = 0; k < lineCount; ++k) content += lineFor(k) + lineEnd;
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

}  // namespace

class TestCompactLoad : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    std::unique_ptr<ModMain> state_;
    ScriptedDialogs script_;

    std::string dataFile(const std::string& name) const { return state_->strDataPath + name; }

    bool load(const std::string& fileName, FrameLines& lines) {
        StepRunner step(*state_, script_, "subSetup");
        return readFrameFileLines(*state_, step, fileName, fileName + "のオープン", lines);
    }

private slots:
    void init() {
        QDir(dir_.path()).removeRecursively();
        QVERIFY(QDir().mkpath(dir_.path() + "/データー"));
        state_ = std::make_unique<ModMain>();
        state_->strAppPath = dir_.path().toStdString() + "/";
        state_->strDataPath = state_->strAppPath + "データー/";
        script_ = ScriptedDialogs{};
    }

    void decodesToTheSameBytesAsWholeLines_data() {
        QTest::addColumn<QString>("lineEnd");
        QTest::newRow("CR LF") << "\r\n";
        QTest::newRow("LF") << "\n";
        QTest::newRow("CR") << "\r";
    }

    void decodesToTheSameBytesAsWholeLines() {
        QFETCH(QString, lineEnd);
        writeFrameFile(dataFile("FirstData.txt"), 131072, lineEnd.toStdString());
        FrameLines compact;
        QVERIFY(load("FirstData.txt", compact));
        QCOMPARE(compact.size(), size_t(kStoreBytes));
        QCOMPARE(state_->files.openCount(), size_t(0));
        QCOMPARE(state_->strProcName, std::string("FirstData.txtのオープン"));

        auto memory = std::make_unique<FrameMemory>();
        decodeFrameLines(compact, *memory);
        for (size_t k = 0; k < size_t(kStoreBytes); ++k)
            if ((*memory)[k] != hexLineToByte(lineFor(k)))
                QFAIL(qPrintable(QString("byte %1").arg(k)));
    }

    void shortFileFailsAtTheMissingLineAndRetryRepeatsIt() {
        writeFrameFile(dataFile("FirstData.txt"), 131071, "\r\n");
        script_.answers = {Answer::Retry, Answer::Cancel};
        FrameLines lines;
        QVERIFY(!load("FirstData.txt", lines));
        QCOMPARE(script_.texts().size(), size_t(2));
        QVERIFY(script_.texts()[0].rfind("FirstData.txtのオープンに失敗しました\r\n", 0) == 0);
        QCOMPARE(script_.texts()[1], script_.texts()[0]);
        QCOMPARE(state_->files.openCount(), size_t(0));
        // Every line before the missing one was kept, none twice.
        QCOMPARE(lines.size(), size_t(131071));
        const std::string last = lineFor(131070);
        QCOMPARE(lines[131070], hexLineHead(last));
        auto memory = std::make_unique<FrameMemory>();
        memory->fill(0x33);
        QVERIFY_THROWS_EXCEPTION(PlatformError, decodeFrameLines(lines, *memory));
        QCOMPARE(int((*memory)[0]), 0x33);
    }

    void cancelledOpenLeavesTheBufferAsItWas() {
        FrameLines lines;
        lines.push_back("AB");
        QVERIFY(!load("FirstData.txt", lines));
        QCOMPARE(lines.size(), size_t(1));
        QCOMPARE(lines[0], std::string_view("AB"));
    }

    void secondFileReplacesTheFirstInTheSameBuffer() {
        writeFrameFile(dataFile("FirstData.txt"), 131072, "\r\n");
        {
            std::ofstream out(dataFile("SecondData.txt"), std::ios::binary | std::ios::trunc);
            for (int k = 0; k < 131073; ++k) out << "5A\r\n";
        }
        FrameLines lines;
        QVERIFY(load("FirstData.txt", lines));
        QVERIFY(load("SecondData.txt", lines));
        QCOMPARE(lines.size(), size_t(kStoreBytes));
        QCOMPARE(lines[0], std::string_view("5A"));
        QCOMPARE(lines[131071], std::string_view("5A"));
    }

    void layerCompositeOfOddLinesIsTheOrOfTheDecodedFiles() {
        writeFrameFile(dataFile("FirstData.txt"), 131072, "\r\n");
        {
            std::ofstream out(dataFile("SecondData.txt"), std::ios::binary | std::ios::trunc);
            for (int k = 0; k < 131072; ++k) out << (k % 2 == 0 ? "１8\r\n" : "1\r\n");
        }
        state_->bytFrameData().fill(0xEE);
        QVERIFY(loadLayer(*state_, script_, 3));
        QVERIFY(script_.texts().empty());
        for (size_t k = 0; k < size_t(kStoreBytes); ++k) {
            const uint8_t expected =
                static_cast<uint8_t>(hexLineToByte(lineFor(k)) | (k % 2 == 0 ? 0x08 : 0x10));
            if (state_->bytFrameData()[k] != expected) QFAIL(qPrintable(QString("byte %1").arg(k)));
        }
        QCOMPARE(int(state_->bytFrameData()[131072]), 0xEE);
    }
};

QTEST_GUILESS_MAIN(TestCompactLoad)
#include "test_compactload.moc"
