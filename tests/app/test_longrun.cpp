// A long session in one process: hundreds of saves and layer loads on real files, some of them
// failing and given up. Open files must not pile up, no temporary file may be left behind, and
// every load must give back exactly what was saved. Leaks are LeakSanitizer's to report at exit.
#include <sys/stat.h>

#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>

#include <array>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "app/layerload.h"
#include "app/memorysource.h"
#include "app/save.h"
#include "core/frame.h"
#include "layertestfiles.h"

using namespace dotreel;
using namespace layertest;

namespace {

// The files this process has open right now, as the kernel counts them.
int openDescriptors() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

// Names in a folder that are not one of the expected files: temporaries left by a save.
QStringList strayFiles(const std::string& folder, const QStringList& expected) {
    QStringList stray;
    const QStringList all = QDir(QString::fromStdString(folder))
                                .entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString& name : all)
        if (!expected.contains(name)) stray << name;
    return stray;
}

// A memory that differs from round to round in every frame.
void fillForRound(FrameMemory& memory, int round) {
    for (int k = 0; k < kMemoryBytes; ++k) memory[static_cast<size_t>(k)] = patternByte(k, round);
}

std::array<bool, 4> onlyOption(int option) {
    std::array<bool, 4> selected{};
    selected[static_cast<size_t>(option)] = true;
    return selected;
}

// The layer that reads back the file an option saves to: the composite options both write
// "Data.txt", which layer 2 reads as "data.txt".
int16_t layerReadingOption(int option) { return static_cast<int16_t>(option == 3 ? 2 : option); }

// The first stored byte where two memories differ, or -1.
int firstDifference(const FrameMemory& a, const FrameMemory& b) {
    if (std::memcmp(a.data(), b.data(), static_cast<size_t>(kStoreBytes)) == 0) return -1;
    for (int k = 0; k < kStoreBytes; ++k)
        if (a[static_cast<size_t>(k)] != b[static_cast<size_t>(k)]) return k;
    return -1;
}

// Saves are cheap; a load decodes 131072 lines, so every third round reads back.
constexpr int kRounds = 300;

}  // namespace

class TestLongRun : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

private slots:
    void manySavesAndLoadsKeepFilesClosedAndContentExact() {
        QVERIFY(dir_.isValid());
        auto state = stateIn(folderOf(dir_.path()));
        ScriptedDialogs prompt;  // an empty script: every failure is given up

        // One warm-up round, so that whatever the libraries open once for good is open already.
        SaveInput input;
        input.settingsTexts = {"0", "267", "100"};
        for (int option = 0; option < 3; ++option) {
            input.layerSelected = onlyOption(option);
            QVERIFY(saveAll(*state, prompt, input, false));
        }
        QVERIFY(loadLayer(*state, prompt, 3));
        const int baseline = openDescriptors();

        std::array<std::unique_ptr<FrameMemory>, 3> saved;  // what each file holds now
        for (auto& m : saved) m = std::make_unique<FrameMemory>();
        // After the warm-up all three files hold the same (all-zero) memory.
        for (auto& m : saved) m->fill(0);

        auto untouched = std::make_unique<FrameMemory>();
        untouched->fill(0xA5);

        std::string lastSettings = "0\r\n267\r\n100\r\n";
        int failedSaves = 0;
        int failedLoads = 0;
        for (int round = 1; round <= kRounds; ++round) {
            const int option = round % 4;
            const int16_t layer = layerReadingOption(option);
            fillForRound(state->bytFrameData(), round);
            input.layerSelected = onlyOption(option);
            input.settingsTexts = {std::to_string(round % 268), "267", std::to_string(round)};
            const std::string frameFile = state->strDataPath + frameFileForSave(onlyOption(option));
            // As after choosing the option in the window: the memory stands for its file.
            state->memorySource = sourceOnDisk(
                state->strDataPath, frameFileForSave(onlyOption(option)), state->bytFrameData());

            if (round % 10 == 0) {
                // A read-only frame file: the save is refused, given up, the file kept.
                const std::string before = readFile(frameFile);
                QVERIFY(::chmod(frameFile.c_str(), 0444) == 0);
                // The chmod moved the file's status-change time: taken as the memory's file
                // again, so that the one dialog is the failed write's, not the question.
                state->memorySource =
                    sourceOnDisk(state->strDataPath, frameFileForSave(onlyOption(option)),
                                 state->bytFrameData());
                const size_t asked = prompt.calls.size();
                QVERIFY(!saveAll(*state, prompt, input, false));
                QCOMPARE(prompt.calls.size(), asked + 1);
                QCOMPARE(prompt.calls.back().kind, DialogKind::StepFailure);
                QVERIFY(readFile(frameFile) == before);
                QVERIFY(::chmod(frameFile.c_str(), 0644) == 0);
                ++failedSaves;
            } else {
                QVERIFY2(saveAll(*state, prompt, input, false),
                         qPrintable(QString("save failed in round %1").arg(round)));
                *saved[static_cast<size_t>(layer)] = state->bytFrameData();
                lastSettings =
                    input.settingsTexts[0] + "\r\n267\r\n" + input.settingsTexts[2] + "\r\n";
            }

            // Read back into a memory that holds something else, so that a load that changed
            // nothing would show.
            state->bytFrameData().fill(0xA5);
            if (round % 30 == 15) {
                // A short file, given up at the end-of-file read: the memory stays as it was.
                const std::string shortFile = state->strDataPath + "SecondData.txt";
                const std::string whole = readFile(shortFile);
                writeFile(shortFile, whole.substr(0, whole.size() / 2));
                QVERIFY(!loadLayer(*state, prompt, 1));
                QCOMPARE(firstDifference(state->bytFrameData(), *untouched), -1);
                writeFile(shortFile, whole);
                ++failedLoads;
            } else if (round % 3 == 0) {
                QVERIFY(loadLayer(*state, prompt, layer));
                const int k =
                    firstDifference(state->bytFrameData(), *saved[static_cast<size_t>(layer)]);
                QVERIFY2(k < 0,
                         qPrintable(
                             QString("round %1: byte %2 differs after loading").arg(round).arg(k)));
            }

            QCOMPARE(state->files.openCount(), size_t{0});
            QVERIFY2(openDescriptors() <= baseline,
                     qPrintable(QString("round %1: %2 open files, %3 at the start")
                                    .arg(round)
                                    .arg(openDescriptors())
                                    .arg(baseline)));
        }

        // The image OR the background, from the last files saved.
        QVERIFY(loadLayer(*state, prompt, 3));
        FrameMemory both = *saved[0];
        for (int k = 0; k < kStoreBytes; ++k)
            both[static_cast<size_t>(k)] |= (*saved[1])[static_cast<size_t>(k)];
        const int k = firstDifference(state->bytFrameData(), both);
        QVERIFY2(k < 0, qPrintable(QString("byte %1 is not image OR background").arg(k)));

        QCOMPARE(failedSaves, kRounds / 10);
        QCOMPARE(failedLoads, kRounds / 30);
        QCOMPARE(openDescriptors(), baseline);
        QCOMPARE(strayFiles(state->strDataPath, {"FirstData.txt", "SecondData.txt", "Data.txt"}),
                 QStringList());
        QCOMPARE(strayFiles(state->strSetPath, {"animation.txt"}), QStringList());
        QCOMPARE(readFile(state->strSetPath + "animation.txt"), lastSettings);
    }
};

QTEST_GUILESS_MAIN(TestLongRun)
#include "test_longrun.moc"
