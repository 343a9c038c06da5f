// Saving to real files: which file each layer option writes, the exact bytes written, the
// settings texts as they stand, and failures that must leave the old files as they were.
#include <sys/stat.h>

#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>

#include <memory>
#include <string>

#include "app/save.h"
#include "core/frame.h"
#include "layertestfiles.h"

using namespace dotreel;
using namespace layertest;

namespace {

SaveInput saveInput(std::array<bool, 4> selected,
                    std::array<std::string, 3> texts = {"5", "40", "100"}) {
    SaveInput in;
    in.layerSelected = selected;
    in.settingsTexts = std::move(texts);
    return in;
}

constexpr std::array<bool, 4> kImage{true, false, false, false};
constexpr std::array<bool, 4> kComposite{false, false, false, true};

}  // namespace

class TestSave : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    std::unique_ptr<ModMain> state_;
    ScriptedDialogs prompt_;

    std::string dataFile(const std::string& name) const { return state_->strDataPath + name; }
    std::string settingsFile() const { return state_->strSetPath + "animation.txt"; }
    QStringList dataFolderEntries() const {
        return QDir(QString::fromStdString(state_->strDataPath))
            .entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }

private slots:
    void init() {
        QVERIFY(dir_.isValid());
        QDir(dir_.path()).removeRecursively();
        QDir().mkpath(dir_.path());
        state_ = stateIn(folderOf(dir_.path()));
        prompt_ = ScriptedDialogs{};
    }

    void emptyMemoryIsWrittenAsExactlyTheExpectedLines() {
        QVERIFY(saveAll(*state_, prompt_, saveInput(kImage)));
        const std::string written = readFile(dataFile("FirstData.txt"));
        QCOMPARE(written.size(), size_t{524288});
        QVERIFY(written == frameText([](int) { return uint8_t{0}; }));
        QCOMPARE(readFile(settingsFile()), std::string("5\r\n40\r\n100\r\n"));
        QVERIFY(prompt_.calls.empty());
    }

    void everyByteIsWrittenAsTwoUpperCaseDigits() {
        auto memory = patternMemory(4);
        (*memory)[0] = 0;
        (*memory)[1] = 10;
        (*memory)[2] = 160;
        (*memory)[3] = 255;
        state_->bytFrameData() = *memory;
        QVERIFY(saveAll(*state_, prompt_, saveInput(kImage)));
        const std::string written = readFile(dataFile("FirstData.txt"));
        QCOMPARE(written.substr(0, 16), std::string("00\r\n0A\r\nA0\r\nFF\r\n"));
        QVERIFY(written ==
                frameText([&memory](int k) { return (*memory)[static_cast<size_t>(k)]; }));
    }

    void theFirstSelectedOptionChoosesTheFile_data() {
        QTest::addColumn<int>("selection");  // bit i = optLayer(i)
        QTest::addColumn<QString>("file");
        QTest::newRow("image") << 0b0001 << "FirstData.txt";
        QTest::newRow("background") << 0b0010 << "SecondData.txt";
        QTest::newRow("composite") << 0b0100 << "Data.txt";
        QTest::newRow("image or background") << 0b1000 << "Data.txt";
        QTest::newRow("two selected, the lower wins") << 0b1010 << "SecondData.txt";
        QTest::newRow("none selected") << 0 << "";
    }
    void theFirstSelectedOptionChoosesTheFile() {
        QFETCH(int, selection);
        QFETCH(QString, file);
        std::array<bool, 4> selected{};
        for (size_t i = 0; i < 4; ++i) selected[i] = (selection >> i & 1) != 0;
        state_->bytFrameData() = *patternMemory(5);
        QVERIFY(saveAll(*state_, prompt_, saveInput(selected)));
        const QStringList expected = file.isEmpty() ? QStringList{} : QStringList{file};
        QCOMPARE(dataFolderEntries(), expected);
        if (!file.isEmpty())
            QVERIFY(readFile(dataFile(file.toStdString())) ==
                    frameText([](int k) { return patternByte(k, 5); }));
        // The settings are written on every save, also without a frame file.
        QCOMPARE(readFile(settingsFile()), std::string("5\r\n40\r\n100\r\n"));
    }

    void eachFrameFileFailsUnderItsOwnStepName_data() {
        QTest::addColumn<int>("option");
        QTest::addColumn<QString>("stepName");
        QTest::newRow("image") << 0 << "FirstData.txtの書き込み処理";
        QTest::newRow("background") << 1 << "SecondData.txtの書き込み処理";
        QTest::newRow("composite") << 2 << "Data.txtの書き込み処理";
        QTest::newRow("image or background") << 3 << "Data.txtの書き込み処理";
    }
    void eachFrameFileFailsUnderItsOwnStepName() {
        QFETCH(int, option);
        QFETCH(QString, stepName);
        writeFile(settingsFile(), "1\r\n2\r\n3\r\n");
        QVERIFY(QDir(QString::fromStdString(state_->strDataPath)).removeRecursively());
        std::array<bool, 4> selected{};
        selected[static_cast<size_t>(option)] = true;
        prompt_.answers = {Answer::Cancel};
        QVERIFY(!saveAll(*state_, prompt_, saveInput(selected)));
        QCOMPARE(prompt_.calls.size(), size_t{1});
        QCOMPARE(prompt_.calls[0].title, std::string("cmdFile.Click"));
        QVERIFY2(namesFailedStep(prompt_.calls[0].text, stepName.toStdString()),
                 prompt_.calls[0].text.c_str());
        QCOMPARE(state_->strMsgAns, std::string("2"));
        // Given up at the frame file: the settings are not written either.
        QCOMPARE(readFile(settingsFile()), std::string("1\r\n2\r\n3\r\n"));
    }

    void settingsTextsAreWrittenExactlyAsTheyStand_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("interval");
        QTest::newRow("plain numbers") << "5"
                                       << "40"
                                       << "100";
        QTest::newRow("5.0 stays 5.0") << "5.0"
                                       << "040"
                                       << " 7 ";
        QTest::newRow("not numbers") << "abc"
                                     << ""
                                     << "フレーム";
    }
    void settingsTextsAreWrittenExactlyAsTheyStand() {
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(QString, interval);
        QVERIFY(saveAll(
            *state_, prompt_,
            saveInput({}, {start.toStdString(), end.toStdString(), interval.toStdString()})));
        QCOMPARE(QString::fromStdString(readFile(settingsFile())),
                 start + "\r\n" + end + "\r\n" + interval + "\r\n");
    }

    void readOnlyFrameFileIsLeftAloneOnCancel() {
        const std::string old = frameText([](int k) { return patternByte(k, 6); });
        writeFile(dataFile("FirstData.txt"), old);
        writeFile(settingsFile(), "1\r\n2\r\n3\r\n");
        QCOMPARE(::chmod(dataFile("FirstData.txt").c_str(), 0444), 0);
        prompt_.answers = {Answer::Retry, Answer::Cancel};
        QVERIFY(!saveAll(*state_, prompt_, saveInput(kImage)));
        QCOMPARE(prompt_.calls.size(), size_t{2});
        QVERIFY(namesFailedStep(prompt_.calls[1].text, "FirstData.txtの書き込み処理"));
        QVERIFY(readFile(dataFile("FirstData.txt")) == old);
        QCOMPARE(readFile(settingsFile()), std::string("1\r\n2\r\n3\r\n"));
        QCOMPARE(dataFolderEntries(), QStringList{"FirstData.txt"});
    }

    void missingSettingsFolderFailsAfterTheFrameFileIsWhole() {
        QVERIFY(QDir(QString::fromStdString(state_->strSetPath)).removeRecursively());
        state_->bytFrameData() = *patternMemory(7);
        prompt_.answers = {Answer::Cancel};
        QVERIFY(!saveAll(*state_, prompt_, saveInput(kImage)));
        QCOMPARE(prompt_.calls.size(), size_t{1});
        QVERIFY2(namesFailedStep(prompt_.calls[0].text, "animation.txtの書き込み処理"),
                 prompt_.calls[0].text.c_str());
        QVERIFY(readFile(dataFile("FirstData.txt")) ==
                frameText([](int k) { return patternByte(k, 7); }));
    }

    void settingsFolderCreatedBeforeRetryIsWritten() {
        QVERIFY(QDir(QString::fromStdString(state_->strSetPath)).removeRecursively());
        prompt_.answers = {Answer::Retry};
        prompt_.beforeAnswer = [this](size_t) {
            QDir().mkpath(QString::fromStdString(state_->strSetPath));
        };
        QVERIFY(saveAll(*state_, prompt_, saveInput(kImage)));
        QCOMPARE(readFile(settingsFile()), std::string("5\r\n40\r\n100\r\n"));
    }

    void compositeReplacesAFileSpelledInLowerCase() {
        writeFile(dataFile("data.txt"), "old\r\n");
        state_->bytFrameData() = *patternMemory(8);
        QVERIFY(saveAll(*state_, prompt_, saveInput(kComposite)));
        QCOMPARE(dataFolderEntries(), QStringList{"data.txt"});
        QVERIFY(readFile(dataFile("data.txt")) ==
                frameText([](int k) { return patternByte(k, 8); }));
    }
};

QTEST_GUILESS_MAIN(TestSave)
#include "test_save.moc"
