// Saving to real files: which file each layer option writes, the exact bytes written, the
// settings texts as they stand, and failures that must leave the old files as they were.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>

#include <memory>
#include <string>

#include "app/memorysource.h"
#include "app/save.h"
#include "core/frame.h"
#include "diskfiles.h"
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
        QTest::newRow("frames outside 0..267 are read all the same") << "300"
                                                                     << "-5"
                                                                     << "1000";
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

    // A box text that start-up could not read back fails the settings step; Retry checks
    // again, Cancel keeps the old settings file, and the frame file stays written.
    void unreadableSettingsTextFailsTheSettingsStep_data() {
        QTest::addColumn<int>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("description");
        QTest::newRow("not a number") << 0 << "abc"
                                      << "「開始」の欄 \"abc\" は数値ではありません。";
        QTest::newRow("empty") << 1 << ""
                               << "「終了」の欄 \"\" は数値ではありません。";
        QTest::newRow("beyond 16 bits")
            << 0 << "99999"
            << "「開始」の欄 \"99999\" は-32768から32767までの数値ではありません。";
        QTest::newRow("interval 0") << 2 << "0"
                                    << "「間隔」の欄 \"0\" は1から1000までの数値ではありません。";
        QTest::newRow("interval 1000.6")
            << 2 << "1000.6"
            << "「間隔」の欄 \"1000.6\" は1から1000までの数値ではありません。";
    }
    void unreadableSettingsTextFailsTheSettingsStep() {
        QFETCH(int, box);
        QFETCH(QString, text);
        QFETCH(QString, description);
        writeFile(settingsFile(), "1\r\n2\r\n3\r\n");
        std::array<std::string, 3> texts{"5", "40", "100"};
        texts[static_cast<size_t>(box)] = text.toStdString();
        prompt_.answers = {Answer::Retry, Answer::Cancel};
        QVERIFY(!saveAll(*state_, prompt_, saveInput(kImage, texts)));
        QCOMPARE(prompt_.calls.size(), size_t{2});
        QCOMPARE(prompt_.calls[1].title, std::string("cmdFile.Click"));
        QCOMPARE(QString::fromStdString(prompt_.calls[1].text),
                 QString::fromUtf8("animation.txtの書き込み処理に失敗しました\r\n") + description);
        QCOMPARE(readFile(settingsFile()), std::string("1\r\n2\r\n3\r\n"));
        // The frame file was written before, and the memory now comes from it.
        QCOMPARE(readFile(dataFile("FirstData.txt")).size(), size_t{524288});
        QCOMPARE(state_->memorySource.fileName, std::string("FirstData.txt"));
        QVERIFY(state_->memorySource.identity == fileIdentity(dataFile("FirstData.txt")));
    }

    // Replacing a frame file whose content the memory does not hold asks first; No writes
    // nothing at all.
    void replacingWhatTheMemoryDoesNotHoldAsks_data() {
        QTest::addColumn<QString>("source");  // what the memory came from; "" nothing yet
        QTest::addColumn<QString>("change");  // what happened to the file since
        QTest::addColumn<bool>("asked");
        QTest::newRow("nothing loaded yet") << ""
                                            << "" << true;
        QTest::newRow("loaded from another file") << "SecondData.txt"
                                                  << "" << true;
        QTest::newRow("loaded from this file") << "FirstData.txt"
                                               << "" << false;
        QTest::newRow("replaced by another program") << "FirstData.txt"
                                                     << "replaced" << true;
        QTest::newRow("touched") << "FirstData.txt"
                                 << "touched" << true;
        QTest::newRow("rewritten in place, its times put back") << "FirstData.txt"
                                                                << "rewritten" << true;
        QTest::newRow("its mode changed, the content kept") << "FirstData.txt"
                                                            << "chmod" << false;
        QTest::newRow("removed") << ""
                                 << "removed" << false;
        QTest::newRow("a link to it") << "FirstData.txt"
                                      << "linked" << false;
    }
    void replacingWhatTheMemoryDoesNotHoldAsks() {
        QFETCH(QString, source);
        QFETCH(QString, change);
        QFETCH(bool, asked);
        const std::string file = dataFile("FirstData.txt");
        const std::string old = frameText([](int k) { return patternByte(k, 9); });
        std::string onDisk = old;  // what a No must leave there
        writeFile(file, old);
        writeFile(dataFile("SecondData.txt"), old);
        writeFile(settingsFile(), "1\r\n2\r\n3\r\n");
        // The memory was loaded from the file as it was, and has changed since.
        if (!source.isEmpty())
            state_->memorySource =
                sourceOnDisk(state_->strDataPath, source.toStdString(), *patternMemory(9));
        if (change == "replaced") {
            writeFile(file + ".new", old);
            QCOMPARE(std::rename((file + ".new").c_str(), file.c_str()), 0);
        } else if (change == "touched") {
            const struct timespec times[2] = {{0, UTIME_OMIT}, {1000000, 0}};
            QCOMPARE(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
        } else if (change == "rewritten") {
            onDisk = frameText([](int k) { return patternByte(k, 3); });
            QVERIFY(support::rewriteKeepingTimes(file, onDisk));
        } else if (change == "chmod") {
            QCOMPARE(::chmod(file.c_str(), 0600), 0);
        } else if (change == "removed") {
            QVERIFY(QFile::remove(QString::fromStdString(file)));
        } else if (change == "linked") {
            QVERIFY(QFile::rename(QString::fromStdString(file),
                                  QString::fromStdString(dataFile("real.txt"))));
            QCOMPARE(::symlink("real.txt", file.c_str()), 0);
            state_->memorySource =
                sourceOnDisk(state_->strDataPath, "FirstData.txt", *patternMemory(9));
        }
        prompt_.answers = {Answer::No};
        QCOMPARE(saveAll(*state_, prompt_, saveInput(kImage)), !asked);
        QCOMPARE(prompt_.calls.size(), size_t{asked ? 1U : 0U});
        if (asked) {
            QCOMPARE(prompt_.calls[0].kind, DialogKind::Question);
            QCOMPARE(prompt_.calls[0].title, std::string("cmdFile.Click"));
            QCOMPARE(prompt_.calls[0].buttons, (std::vector<Answer>{Answer::Yes, Answer::No}));
            QVERIFY(prompt_.calls[0].text.find("「FirstData.txt」") != std::string::npos);
            QVERIFY(readFile(file) == onDisk);
            QCOMPARE(readFile(settingsFile()), std::string("1\r\n2\r\n3\r\n"));
            // Yes goes on as if nothing had been asked.
            prompt_.answers = {Answer::Yes};
            QVERIFY(saveAll(*state_, prompt_, saveInput(kImage)));
        }
        QVERIFY(readFile(file) == frameText([](int) { return uint8_t{0}; }));
        QCOMPARE(readFile(settingsFile()), std::string("5\r\n40\r\n100\r\n"));
        // Written, the file is the memory's own: the next save asks nothing.
        prompt_.calls.clear();
        QVERIFY(saveAll(*state_, prompt_, saveInput(kImage)));
        QVERIFY(prompt_.calls.empty());
    }

    void readOnlyFrameFileIsLeftAloneOnCancel() {
        const std::string old = frameText([](int k) { return patternByte(k, 6); });
        writeFile(dataFile("FirstData.txt"), old);
        state_->memorySource =
            sourceOnDisk(state_->strDataPath, "FirstData.txt", *patternMemory(6));
        writeFile(settingsFile(), "1\r\n2\r\n3\r\n");
        // Made read-only after it was loaded: only its status-change time moves.
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
        state_->memorySource = sourceOnDisk(state_->strDataPath, "Data.txt", *patternMemory(1));
        QVERIFY(saveAll(*state_, prompt_, saveInput(kComposite)));
        QVERIFY(prompt_.calls.empty());
        QCOMPARE(dataFolderEntries(), QStringList{"data.txt"});
        QVERIFY(readFile(dataFile("data.txt")) ==
                frameText([](int k) { return patternByte(k, 8); }));
    }
};

QTEST_GUILESS_MAIN(TestSave)
#include "test_save.moc"
