// Loading a layer from real files: which file each option reads, the OR of image and
// background, and what the memory holds after a failure is retried or given up.
#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>

#include <memory>
#include <string>

#include "app/layerload.h"
#include "core/frame.h"
#include "layertestfiles.h"

using namespace dotreel;
using namespace layertest;

namespace {

const std::string kFirst = "FirstData.txt";
const std::string kSecond = "SecondData.txt";

uint8_t imageByte(int k) { return patternByte(k, 1); }
uint8_t backgroundByte(int k) { return patternByte(k, 2); }

bool memoryIs(const FrameMemory& m, const std::function<uint8_t(int)>& byteAt) {
    for (int k = 0; k < kStoreBytes; ++k)
        if (m[static_cast<size_t>(k)] != byteAt(k)) return false;
    return true;
}

}  // namespace

class TestLayerLoad : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    std::unique_ptr<ModMain> state_;
    ScriptedDialogs prompt_;

    std::string dataFile(const std::string& name) const { return state_->strDataPath + name; }

    // Memory that must show through unchanged when a load is given up.
    void fillMemoryWith(uint8_t value) { state_->bytFrameData().fill(value); }

private slots:
    void init() {
        QVERIFY(dir_.isValid());
        QDir(dir_.path()).removeRecursively();
        QDir().mkpath(dir_.path());
        state_ = stateIn(folderOf(dir_.path()));
        prompt_ = ScriptedDialogs{};
    }

    void eachOptionLoadsItsOwnFile_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("seed");
        QTest::newRow("image") << 0 << 1;
        QTest::newRow("background") << 1 << 2;
        QTest::newRow("composite file saved as Data.txt") << 2 << 3;
    }
    void eachOptionLoadsItsOwnFile() {
        QFETCH(int, index);
        QFETCH(int, seed);
        writeFile(dataFile(kFirst), frameText([](int k) { return patternByte(k, 1); }));
        writeFile(dataFile(kSecond), frameText([](int k) { return patternByte(k, 2); }, 131072,
                                               /*lowerCase=*/true));
        writeFile(dataFile("Data.txt"), frameText([](int k) { return patternByte(k, 3); }));
        state_->bytFrameData()[kStoreBytes] = 0x5A;
        QVERIFY(loadLayer(*state_, prompt_, static_cast<int16_t>(index)));
        QVERIFY(memoryIs(state_->bytFrameData(), [seed](int k) { return patternByte(k, seed); }));
        QCOMPARE(state_->bytFrameData()[kStoreBytes], uint8_t{0x5A});
        QVERIFY(prompt_.calls.empty());
        QCOMPARE(state_->files.openCount(), size_t{0});
    }

    void imageOrBackgroundCombinesEveryByte() {
        writeFile(dataFile(kFirst), frameText([](int k) {
                      return k == 0 ? uint8_t{0x0F} : k == 1 ? uint8_t{0x81} : imageByte(k);
                  }));
        writeFile(dataFile(kSecond), frameText([](int k) {
                      return k == 0 ? uint8_t{0xF0} : k == 1 ? uint8_t{0x01} : backgroundByte(k);
                  }));
        QVERIFY(loadLayer(*state_, prompt_, 3));
        const FrameMemory& m = state_->bytFrameData();
        QCOMPARE(m[0], uint8_t{0xFF});
        QCOMPARE(m[1], uint8_t{0x81});
        QVERIFY(memoryIs(m, [](int k) {
            return k < 2 ? (k == 0 ? uint8_t{0xFF} : uint8_t{0x81})
                         : static_cast<uint8_t>(imageByte(k) | backgroundByte(k));
        }));
    }

    void emptyBackgroundGivesTheImageAndFullBackgroundGivesAllOn_data() {
        QTest::addColumn<int>("backgroundValue");
        QTest::newRow("all 00") << 0x00;
        QTest::newRow("all FF") << 0xFF;
    }
    void emptyBackgroundGivesTheImageAndFullBackgroundGivesAllOn() {
        QFETCH(int, backgroundValue);
        writeFile(dataFile(kFirst), frameText(imageByte));
        writeFile(dataFile(kSecond), frameText([backgroundValue](int) {
                      return static_cast<uint8_t>(backgroundValue);
                  }));
        QVERIFY(loadLayer(*state_, prompt_, 3));
        if (backgroundValue == 0)
            QVERIFY(memoryIs(state_->bytFrameData(), imageByte));
        else
            QVERIFY(memoryIs(state_->bytFrameData(), [](int) { return uint8_t{255}; }));
        QCOMPARE(state_->bytFrameData()[kStoreBytes], uint8_t{0});
    }

    void missingFolderOrFileAsksAndCancelKeepsTheMemory_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("removeFolder");
        QTest::addColumn<QString>("stepName");
        QTest::newRow("no data folder, image") << 0 << true << "FirstData.txtのオープン";
        QTest::newRow("no background file") << 1 << false << "SecondData.txtのオープン";
        QTest::newRow("no composite file") << 2 << false << "data.txtのオープン";
        QTest::newRow("no data folder, image or background")
            << 3 << true << "FirstData.txtのオープン";
    }
    void missingFolderOrFileAsksAndCancelKeepsTheMemory() {
        QFETCH(int, index);
        QFETCH(bool, removeFolder);
        QFETCH(QString, stepName);
        if (removeFolder)
            QVERIFY(QDir(QString::fromStdString(state_->strDataPath)).removeRecursively());
        fillMemoryWith(0x33);
        prompt_.answers = {Answer::Cancel};
        QVERIFY(!loadLayer(*state_, prompt_, static_cast<int16_t>(index)));
        QCOMPARE(prompt_.calls.size(), size_t{1});
        QCOMPARE(prompt_.calls[0].title, std::string("optLayer_Click"));
        QVERIFY2(namesFailedStep(prompt_.calls[0].text, stepName.toStdString()),
                 prompt_.calls[0].text.c_str());
        QCOMPARE(state_->strMsgAns, std::string("2"));
        QVERIFY(memoryIs(state_->bytFrameData(), [](int) { return uint8_t{0x33}; }));
    }

    void retryAfterTheFileIsPutInPlaceCompletesTheLoad() {
        fillMemoryWith(0x33);
        prompt_.answers = {Answer::Retry};
        prompt_.beforeAnswer = [this](size_t) {
            writeFile(dataFile(kSecond), frameText(backgroundByte));
        };
        QVERIFY(loadLayer(*state_, prompt_, 1));
        QCOMPARE(prompt_.calls.size(), size_t{1});
        QCOMPARE(state_->strMsgAns, std::string("4"));
        QVERIFY(memoryIs(state_->bytFrameData(), backgroundByte));
    }

    void shortFileFailsAtItsLastLineAndRetryFailsAgain() {
        writeFile(dataFile(kFirst), frameText(imageByte, 131071));
        fillMemoryWith(0x33);
        prompt_.answers = {Answer::Retry, Answer::Retry, Answer::Cancel};
        QVERIFY(!loadLayer(*state_, prompt_, 0));
        QCOMPARE(prompt_.calls.size(), size_t{3});
        for (const auto& q : prompt_.calls)
            QVERIFY2(namesFailedStep(q.text, "FirstData.txtのオープン"), q.text.c_str());
        QVERIFY(memoryIs(state_->bytFrameData(), [](int) { return uint8_t{0x33}; }));
        QCOMPARE(state_->files.openCount(), size_t{0});
    }

    void linesAfterTheLastByteAreIgnored() {
        std::string text = frameText(imageByte);
        text += "FF\r\n00\r\n";  // 131073 lines and more
        writeFile(dataFile(kFirst), text);
        QVERIFY(loadLayer(*state_, prompt_, 0));
        QVERIFY(memoryIs(state_->bytFrameData(), imageByte));
        QCOMPARE(state_->bytFrameData()[kStoreBytes], uint8_t{0});
    }

    void failedBackgroundLeavesTheImageLayer() {
        writeFile(dataFile(kFirst), frameText(imageByte));
        writeFile(dataFile(kSecond), frameText(backgroundByte, 100));
        fillMemoryWith(0x33);
        prompt_.answers = {Answer::Cancel};
        QVERIFY(!loadLayer(*state_, prompt_, 3));
        QCOMPARE(prompt_.calls.size(), size_t{1});
        QVERIFY(namesFailedStep(prompt_.calls[0].text, "SecondData.txtのオープン"));
        QVERIFY(memoryIs(state_->bytFrameData(), imageByte));
        QCOMPARE(state_->strProcName, std::string("SecondData.txtのオープン"));
    }
};

QTEST_GUILESS_MAIN(TestLayerLoad)
#include "test_layerload.moc"
