// Reading a frame file from the data folder as a handler's steps, with Retry and Cancel on the
// open and on the reads, and the bytes it gives once decoded.
#include <QtTest>

#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/framefileload.h"
#include "app/layerload.h"
#include "app/modmain.h"
#include "app/startup.h"
#include "app/steprunner.h"
#include "core/frame.h"
#include "files/hexcodec.h"
#include "hostilefiles.h"
#include "platform/errors.h"
#include "scripteddialogs.h"

using namespace dotreel;
using dotreel::testing::ScriptedDialogs;

Q_DECLARE_METATYPE(support::Hostile)

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

void writeFrameFile(const std::string& path, size_t lineCount,
                    const std::string& lineEnd = "\r\n") {
    std::string content;
    content.reserve(lineCount * 4);
    for (size_t k = 0; k < lineCount; ++k) content += lineFor(k) + lineEnd;
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

}  // namespace

class TestFrameFileLoad : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    std::unique_ptr<ModMain> state_;
    ScriptedDialogs script_;
    std::unique_ptr<FrameBytes> bytes_;

    std::string dataFile(const std::string& name) const { return state_->strDataPath + name; }

    bool load(const std::string& fileName, const std::string& title = "subSetup") {
        StepRunner step(*state_, script_, title);
        return readFrameFile(*state_, step, fileName, fileName + "のオープン", *bytes_);
    }

    // Bytes 0..count-1 hold the decoded lines.
    void checkBytes(size_t count = kStoreBytes) {
        for (size_t k = 0; k < count; ++k)
            if ((*bytes_)[k] != hexLineToByte(lineFor(k)))
                QFAIL(qPrintable(QString("byte %1 differs").arg(k)));
    }

private slots:
    void init() {
        QDir(dir_.path()).removeRecursively();
        QVERIFY(QDir().mkpath(dir_.path() + "/データー"));
        state_ = std::make_unique<ModMain>();
        state_->strAppPath = dir_.path().toStdString() + "/";
        state_->strDataPath = state_->strAppPath + "データー/";
        script_ = ScriptedDialogs{};
        bytes_ = std::make_unique<FrameBytes>();
        bytes_->fill(0x33);
    }

    void readsAWholeFileWithAnyLineEndAndClosesIt_data() {
        QTest::addColumn<QString>("lineEnd");
        QTest::newRow("CR LF") << "\r\n";
        QTest::newRow("LF") << "\n";
        QTest::newRow("CR") << "\r";
    }
    void readsAWholeFileWithAnyLineEndAndClosesIt() {
        QFETCH(QString, lineEnd);
        writeFrameFile(dataFile("FirstData.txt"), 131072, lineEnd.toStdString());
        QVERIFY(load("FirstData.txt"));
        checkBytes();
        QVERIFY(script_.texts().empty());
        QCOMPARE(state_->strProcName, std::string("FirstData.txtのオープン"));
        QCOMPARE(state_->intFileNo, int16_t(1));
        QCOMPARE(state_->files.openCount(), size_t(0));
    }

    void takesTheNextFreeNumberWhileAnotherFileIsOpen() {
        writeFrameFile(dataFile("FirstData.txt"), 131072);
        state_->files.openForInput(1, dataFile("FirstData.txt"));
        QVERIFY(load("FirstData.txt"));
        QCOMPARE(state_->intFileNo, int16_t(2));
        QVERIFY(state_->files.isOpen(1));
        QCOMPARE(state_->files.openCount(), size_t(1));
    }

    void missingFileThenRetryAfterCreatingItSucceeds() {
        script_.answers = {Answer::Retry};
        script_.beforeAnswer = [this](size_t) {
            writeFrameFile(dataFile("FirstData.txt"), 131072);
        };
        QVERIFY(load("FirstData.txt"));
        checkBytes();
        QCOMPARE(script_.texts().size(), size_t(1));
        QCOMPARE(script_.titles()[0], std::string("subSetup"));
        QVERIFY(script_.texts()[0].rfind("FirstData.txtのオープンに失敗しました\r\n", 0) == 0);
        QVERIFY(script_.texts()[0].find(dataFile("FirstData.txt")) != std::string::npos);
        QCOMPARE(state_->strMsgAns, std::string("4"));
        QCOMPARE(state_->files.openCount(), size_t(0));
    }

    // The image layer at start-up and the background when 背景 is chosen: a FIFO, a device or a
    // huge file is refused at once through the dialog, and nothing of the frame memory changes.
    void hostileFileIsRefusedThroughTheDialog_data() {
        QTest::addColumn<support::Hostile>("kind");
        QTest::addColumn<int>("layer");  // -1: start-up's image layer
        QTest::addColumn<int>("refusal");
        const auto notAFile = static_cast<int>(ErrorKind::NotAFile);
        const auto tooLarge = static_cast<int>(ErrorKind::TooLarge);
        QTest::newRow("fifo as image, start-up") << support::Hostile::Fifo << -1 << notAFile;
        QTest::newRow("fifo as background") << support::Hostile::Fifo << 1 << notAFile;
        QTest::newRow("/dev/zero as background")
            << support::Hostile::LinkToDevZero << 1 << notAFile;
        QTest::newRow("2 GiB image, start-up") << support::Hostile::Sparse2G << -1 << tooLarge;
    }
    void hostileFileIsRefusedThroughTheDialog() {
        QFETCH(support::Hostile, kind);
        QFETCH(int, layer);
        QFETCH(int, refusal);
        const std::string name = layer == 1 ? "SecondData.txt" : "FirstData.txt";
        QVERIFY(support::makeHostile(dataFile(name), kind));
        state_->bytFrameData().fill(0x5A);
        bool loaded = true;
        if (layer < 0) {
            StepRunner step(*state_, script_, "subSetup");
            loaded = readImageLayer(*state_, step);
        } else {
            loaded = loadLayer(*state_, script_, static_cast<int16_t>(layer));
        }
        QVERIFY(!loaded);
        QCOMPARE(script_.texts().size(), size_t(1));
        QCOMPARE(script_.titles()[0], std::string(layer < 0 ? "subSetup" : "optLayer_Click"));
        const std::string text = script_.texts()[0];
        QVERIFY2(text.rfind(name + "のオープンに失敗しました\r\n", 0) == 0, text.c_str());
        const PlatformError expected =
            static_cast<ErrorKind>(refusal) == ErrorKind::NotAFile
                ? notAFileError(dataFile(name))
                : tooLargeError(dataFile(name), support::hostileSize(kind), kLargestInputFile);
        QVERIFY2(text.find(expected.description()) != std::string::npos, text.c_str());
        QCOMPARE(state_->files.openCount(), size_t(0));
        QCOMPARE(int(state_->bytFrameData().front()), 0x5A);
    }

    void missingDataFolderThenCancelGivesUpAndWritesNoByte() {
        QDir(QString::fromStdString(state_->strDataPath)).removeRecursively();
        QVERIFY(!load("SecondData.txt", "optLayer_Click"));
        QCOMPARE(script_.texts().size(), size_t(1));
        QCOMPARE(script_.titles()[0], std::string("optLayer_Click"));
        QVERIFY(script_.texts()[0].rfind("SecondData.txtのオープンに失敗しました\r\n", 0) == 0);
        QCOMPARE(state_->strMsgAns, std::string("2"));
        QCOMPARE(state_->files.openCount(), size_t(0));
        QCOMPARE(int(bytes_->front()), 0x33);
    }

    void fileOneLineShortFailsAtTheLastRead() {
        writeFrameFile(dataFile("FirstData.txt"), 131071);
        script_.answers = {Answer::Retry, Answer::Cancel};
        QVERIFY(!load("FirstData.txt"));
        // The first failure, and the Retry that fails again on the same read.
        QCOMPARE(script_.texts().size(), size_t(2));
        QVERIFY(script_.texts()[0].rfind("FirstData.txtのオープンに失敗しました\r\n", 0) == 0);
        QVERIFY(script_.texts()[0].find(dataFile("FirstData.txt")) != std::string::npos);
        QCOMPARE(script_.texts()[1], script_.texts()[0]);
        QCOMPARE(state_->strMsgAns, std::string("2"));
        QCOMPARE(state_->files.openCount(), size_t(0));
        // Every line before the missing one was read.
        checkBytes(131071);
    }

    void shortFileFixedWhileTheDialogIsOpenStillFails() {
        // The file was read when it was opened; a Retry repeats the read, not the open.
        writeFrameFile(dataFile("FirstData.txt"), 100);
        int shown = 0;
        script_.answers = {Answer::Retry, Answer::Cancel};
        script_.beforeAnswer = [&](size_t) {
            if (shown++ == 0) writeFrameFile(dataFile("FirstData.txt"), 131072);
        };
        QVERIFY(!load("FirstData.txt"));
        QCOMPARE(shown, 2);
        QCOMPARE(state_->files.openCount(), size_t(0));
    }

    void linesAfterTheLastAreIgnored() {
        writeFrameFile(dataFile("FirstData.txt"), 131073);
        QVERIFY(load("FirstData.txt"));
        checkBytes();
        QCOMPARE(state_->files.openCount(), size_t(0));
    }

    void compositeIsFoundWhateverItsLetterCase() {
        writeFrameFile(dataFile("Data.txt"), 131072);
        QVERIFY(load("data.txt", "optLayer_Click"));
        checkBytes();
        QCOMPARE(state_->strProcName, std::string("data.txtのオープン"));
    }

    void layerCompositeOfOddLinesIsTheOrOfTheDecodedFiles() {
        writeFrameFile(dataFile("FirstData.txt"), 131072);
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

QTEST_GUILESS_MAIN(TestFrameFileLoad)
#include "test_framefileload.moc"
