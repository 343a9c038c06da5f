// Reading a frame file from the data folder line by line, with Retry and Cancel on each step.
#include <QtTest>

#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/framefileload.h"
#include "app/modmain.h"
#include "app/steprunner.h"
#include "core/frame.h"
#include "files/hexcodec.h"
#include "scripteddialogs.h"

using namespace dotreel;
using dotreel::testing::ScriptedDialogs;

namespace {

std::string lineFor(size_t k) { return funDHChange(static_cast<uint8_t>((k * 13 + 1) & 0xFF)); }

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

    std::string dataFile(const std::string& name) const { return state_->strDataPath + name; }

    bool load(const std::string& fileName, std::vector<std::string>& lines,
              const std::string& title = "subSetup") {
        StepRunner step(*state_, script_, title);
        return readFrameFileLines(*state_, step, fileName, fileName + "のオープン", lines);
    }

    void checkAllLines(const std::vector<std::string>& lines) {
        QCOMPARE(lines.size(), size_t(kStoreBytes));
        for (size_t k = 0; k < lines.size(); ++k)
            if (lines[k] != lineFor(k)) QFAIL(qPrintable(QString("line %1 differs").arg(k)));
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

    void readsAWholeFileAndClosesIt() {
        writeFrameFile(dataFile("FirstData.txt"), 131072);
        std::vector<std::string> lines;
        QVERIFY(load("FirstData.txt", lines));
        checkAllLines(lines);
        QVERIFY(script_.texts().empty());
        QCOMPARE(state_->strProcName, std::string("FirstData.txtのオープン"));
        QCOMPARE(state_->intFileNo, int16_t(1));
        QCOMPARE(state_->files.openCount(), size_t(0));
    }

    void takesTheNextFreeNumberWhileAnotherFileIsOpen() {
        writeFrameFile(dataFile("FirstData.txt"), 131072);
        state_->files.openForInput(1, dataFile("FirstData.txt"));
        std::vector<std::string> lines;
        QVERIFY(load("FirstData.txt", lines));
        QCOMPARE(state_->intFileNo, int16_t(2));
        QVERIFY(state_->files.isOpen(1));
        QCOMPARE(state_->files.openCount(), size_t(1));
    }

    void missingFileThenRetryAfterCreatingItSucceeds() {
        script_.answers = {Answer::Retry};
        script_.beforeAnswer = [this](size_t) {
            writeFrameFile(dataFile("FirstData.txt"), 131072);
        };
        std::vector<std::string> lines;
        QVERIFY(load("FirstData.txt", lines));
        checkAllLines(lines);
        QCOMPARE(script_.texts().size(), size_t(1));
        QCOMPARE(script_.titles()[0], std::string("subSetup"));
        QVERIFY(script_.texts()[0].rfind("FirstData.txtのオープンに失敗しました\r\n", 0) == 0);
        QVERIFY(script_.texts()[0].find(dataFile("FirstData.txt")) != std::string::npos);
        QCOMPARE(state_->strMsgAns, std::string("4"));
        QCOMPARE(state_->files.openCount(), size_t(0));
    }

    void missingDataFolderThenCancelGivesUp() {
        QDir(QString::fromStdString(state_->strDataPath)).removeRecursively();
        std::vector<std::string> lines;
        QVERIFY(!load("SecondData.txt", lines, "optLayer_Click"));
        QCOMPARE(script_.texts().size(), size_t(1));
        QCOMPARE(script_.titles()[0], std::string("optLayer_Click"));
        QVERIFY(script_.texts()[0].rfind("SecondData.txtのオープンに失敗しました\r\n", 0) == 0);
        QCOMPARE(state_->strMsgAns, std::string("2"));
        QCOMPARE(state_->files.openCount(), size_t(0));
    }

    void fileOneLineShortFailsAtTheLastRead() {
        writeFrameFile(dataFile("FirstData.txt"), 131071);
        script_.answers = {Answer::Retry, Answer::Cancel};
        std::vector<std::string> lines;
        QVERIFY(!load("FirstData.txt", lines));
        // The first failure, and the Retry that fails again on the same read.
        QCOMPARE(script_.texts().size(), size_t(2));
        QVERIFY(script_.texts()[0].rfind("FirstData.txtのオープンに失敗しました\r\n", 0) == 0);
        QCOMPARE(script_.texts()[1], script_.texts()[0]);
        QCOMPARE(state_->strMsgAns, std::string("2"));
        QCOMPARE(state_->files.openCount(), size_t(0));
        // Every line before the missing one was read.
        QCOMPARE(lines[131070], lineFor(131070));
    }

    void shortFileFixedWhileTheDialogIsOpenStillFails() {
        // The file was read when it was opened; a Retry repeats the read, not the open.
        writeFrameFile(dataFile("FirstData.txt"), 100);
        int shown = 0;
        script_.answers = {Answer::Retry, Answer::Cancel};
        script_.beforeAnswer = [&](size_t) {
            if (shown++ == 0) writeFrameFile(dataFile("FirstData.txt"), 131072);
        };
        std::vector<std::string> lines;
        QVERIFY(!load("FirstData.txt", lines));
        QCOMPARE(shown, 2);
        QCOMPARE(state_->files.openCount(), size_t(0));
    }

    void linesAfterTheLastAreIgnored() {
        writeFrameFile(dataFile("FirstData.txt"), 131073);
        std::vector<std::string> lines;
        QVERIFY(load("FirstData.txt", lines));
        checkAllLines(lines);
        QCOMPARE(state_->files.openCount(), size_t(0));
    }

    void fileWithLoneLineFeedsReads() {
        writeFrameFile(dataFile("FirstData.txt"), 131072, "\n");
        std::vector<std::string> lines;
        QVERIFY(load("FirstData.txt", lines));
        checkAllLines(lines);
    }

    void compositeIsFoundWhateverItsLetterCase() {
        writeFrameFile(dataFile("Data.txt"), 131072);
        std::vector<std::string> lines;
        QVERIFY(load("data.txt", lines, "optLayer_Click"));
        checkAllLines(lines);
        QCOMPARE(state_->strProcName, std::string("data.txtのオープン"));
    }
};

QTEST_GUILESS_MAIN(TestFrameFileLoad)
#include "test_framefileload.moc"
