// Saves cut short by a full disk, by the process being killed or by a folder that cannot be
// synced: the frame file must always be either the old one or the new one, whole, never a
// mixture or a stump, and a file put in place counts as the memory's own.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>

#include <chrono>
#include <memory>
#include <random>
#include <string>
#include <thread>

#include "app/memorysource.h"
#include "app/save.h"
#include "core/dotgrid.h"
#include "core/frame.h"
#include "layertestfiles.h"

using namespace dotreel;
using namespace layertest;

namespace {

constexpr std::array<bool, 4> kImage{true, false, false, false};

// Exit codes of the child that saves on a size-limited disk.
enum ChildResult : int {
    kSaved = 1,           // saveAll returned true
    kAskedOnce = 2,       // exactly one question
    kNamedFrameFile = 4,  // ... naming the frame file's step, as "cmdFile.Click"
};

// Runs a save in a child process whose files may grow to `limitBytes` only, as on a disk that
// fills part-way. With `retryAfterSpaceFreed`, the answer to the dialog first lifts the limit,
// as a user freeing space, and chooses Retry; otherwise it chooses Cancel.
int saveOnFullDisk(ModMain& state, rlim_t limitBytes, bool retryAfterSpaceFreed) {
    const pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails with EFBIG instead
        rlimit lim{};
        ::getrlimit(RLIMIT_FSIZE, &lim);
        const rlim_t hard = lim.rlim_max;
        lim.rlim_cur = limitBytes;
        ::setrlimit(RLIMIT_FSIZE, &lim);
        ScriptedDialogs dialogs;
        if (retryAfterSpaceFreed) dialogs.answers = {Answer::Retry};
        dialogs.beforeAnswer = [&](size_t) {
            if (!retryAfterSpaceFreed) return;
            rlimit freed{hard, hard};
            ::setrlimit(RLIMIT_FSIZE, &freed);
        };
        SaveInput in;
        in.layerSelected = kImage;
        in.settingsTexts = {"7", "8", "9"};
        const bool saved = saveAll(state, dialogs, in);
        const size_t questions = dialogs.calls.size();
        const bool named = questions > 0 && dialogs.calls[0].title == "cmdFile.Click" &&
                           namesFailedStep(dialogs.calls[0].text, "FirstData.txtの書き込み処理");
        ::_exit((saved ? kSaved : 0) | (questions == 1 ? kAskedOnce : 0) |
                (named ? kNamedFrameFile : 0));
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

const char* const kChildSaveTwice = "--save-twice-in";

// Exit bits of the child that saves twice while the folder sync of the first save fails.
enum SyncResult : int {
    kFailureReported = 1,     // the first save asked once, Retry or Cancel, at the frame file
    kNothingUnsaved = 2,      // after it, closing would ask nothing
    kSavedWithoutAsking = 4,  // the second save wrote both files and asked nothing
};

// Run as the child, in `appFolder` as the parent left it: the memory loaded from the frame file
// there, then changed and saved (Cancel at the failure), then saved again.
int saveTwiceIn(const std::string& appFolder) {
    auto state = stateIn(appFolder, false);
    state->memorySource = sourceOnDisk(state->strDataPath, "FirstData.txt", state->bytFrameData());
    state->bytFrameData() = *patternMemory(2);
    Bit_Convert(state->bytFrameData(), state->dots, 0);
    SaveInput in;
    in.layerSelected = kImage;
    in.settingsTexts = {"7", "8", "9"};
    ScriptedDialogs first;  // nothing scripted: Cancel
    int result = 0;
    if (!saveAll(*state, first, in) && first.calls.size() == 1 &&
        first.calls[0].kind == dotreel::DialogKind::StepFailure &&
        namesFailedStep(first.calls[0].text, "FirstData.txtの書き込み処理"))
        result |= kFailureReported;
    if (!hasUnsavedWork(state->memorySource, state->bytFrameData(), state->dots, 0, 0))
        result |= kNothingUnsaved;
    ScriptedDialogs second;  // a question would get No, and the save would end
    if (saveAll(*state, second, in) && second.calls.empty()) result |= kSavedWithoutAsking;
    return result;
}

}  // namespace

class TestSaveInterrupted : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    std::unique_ptr<ModMain> state_;

    std::string dataFile(const std::string& name) const { return state_->strDataPath + name; }
    std::string settingsFile() const { return state_->strSetPath + "animation.txt"; }
    // The memory as if loaded from the frame file now on disk, so that a save replaces it
    // without asking.
    void loadedFromDisk() {
        state_->memorySource =
            sourceOnDisk(state_->strDataPath, "FirstData.txt", state_->bytFrameData());
    }

private slots:
    void init() {
        QVERIFY(dir_.isValid());
        QDir(dir_.path()).removeRecursively();
        QDir().mkpath(dir_.path());
        state_ = stateIn(folderOf(dir_.path()));
    }

    void diskFullPartWayLeavesTheOldFileOnCancel() {
        const std::string old = frameText([](int k) { return patternByte(k, 1); });
        writeFile(dataFile("FirstData.txt"), old);
        writeFile(settingsFile(), "1\r\n2\r\n3\r\n");
        loadedFromDisk();
        state_->bytFrameData() = *patternMemory(2);
        const int result = saveOnFullDisk(*state_, 200000, /*retryAfterSpaceFreed=*/false);
        QCOMPARE(result, kAskedOnce | kNamedFrameFile);
        QVERIFY(readFile(dataFile("FirstData.txt")) == old);
        QCOMPARE(readFile(settingsFile()), std::string("1\r\n2\r\n3\r\n"));
        // No stump of the new file is left lying in the folder.
        QCOMPARE(
            QDir(QString::fromStdString(state_->strDataPath)).entryList(QDir::Files | QDir::Hidden),
            QStringList{"FirstData.txt"});
    }

    void diskFullPartWayThenRetryWithSpaceWritesTheWholeFile() {
        writeFile(dataFile("FirstData.txt"), frameText([](int k) { return patternByte(k, 1); }));
        loadedFromDisk();
        state_->bytFrameData() = *patternMemory(2);
        const int result = saveOnFullDisk(*state_, 200000, /*retryAfterSpaceFreed=*/true);
        QCOMPARE(result, kSaved | kAskedOnce | kNamedFrameFile);
        QVERIFY(readFile(dataFile("FirstData.txt")) ==
                frameText([](int k) { return patternByte(k, 2); }));
        QCOMPARE(readFile(settingsFile()), std::string("7\r\n8\r\n9\r\n"));
    }

    void killedAtAnyMomentLeavesEachFileOldOrNewAndWhole() {
        const std::string textA = frameText([](int k) { return patternByte(k, 10); });
        const std::string textB = frameText([](int k) { return patternByte(k, 11); });
        const std::string settingsA = "0\r\n10\r\n100\r\n";
        const std::string settingsB = "20\r\n30\r\n40\r\n";
        writeFile(dataFile("FirstData.txt"), textA);
        writeFile(settingsFile(), settingsA);
        auto memoryA = patternMemory(10);
        auto memoryB = patternMemory(11);

        std::mt19937 rng(7);
        int sawA = 0, sawB = 0;
        for (int round = 0; round < 40; ++round) {
            loadedFromDisk();  // the file as the last round left it
            const pid_t pid = ::fork();
            QVERIFY(pid >= 0);
            if (pid == 0) {
                ScriptedDialogs cancel;  // nothing scripted: every failure is given up
                for (int i = 0;; ++i) {
                    const bool b = (i + round) % 2 == 0;
                    state_->bytFrameData() = b ? *memoryB : *memoryA;
                    SaveInput in;
                    in.layerSelected = kImage;
                    in.settingsTexts = b ? std::array<std::string, 3>{"20", "30", "40"}
                                         : std::array<std::string, 3>{"0", "10", "100"};
                    saveAll(*state_, cancel, in);
                }
            }
            std::this_thread::sleep_for(std::chrono::microseconds(500 + rng() % 30000));
            ::kill(pid, SIGKILL);
            int status = 0;
            QCOMPARE(::waitpid(pid, &status, 0), pid);
            QVERIFY(WIFSIGNALED(status));

            const std::string frame = readFile(dataFile("FirstData.txt"));
            QVERIFY2(frame == textA || frame == textB,
                     qPrintable(QString("round %1: %2 bytes").arg(round).arg(frame.size())));
            (frame == textA ? sawA : sawB)++;
            const std::string settings = readFile(settingsFile());
            QVERIFY2(settings == settingsA || settings == settingsB,
                     qPrintable(QString("round %1: settings %2")
                                    .arg(round)
                                    .arg(QString::fromStdString(settings))));
        }
        qInfo("frame file found old/new: %d / %d", sawA, sawB);
    }

    // The new file was renamed into place but the folder's sync failed: the failure is still
    // reported (the rename may not survive a power cut), yet the file on disk is the memory's,
    // so closing asks nothing and the next save replaces it without a question. The saves run
    // in this program started again under strace, which fails the second fsync (the first is
    // the new file's own, the second the data folder's).
    void folderSyncFailureStillMakesTheFileTheMemorysOwn() {
        const QString strace = QStandardPaths::findExecutable("strace");
        if (strace.isEmpty()) QSKIP("strace is not installed");
        writeFile(dataFile("FirstData.txt"), frameText([](int k) { return patternByte(k, 1); }));
        writeFile(settingsFile(), "1\r\n2\r\n3\r\n");
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ASAN_OPTIONS", "detect_leaks=0");  // the leak checker cannot run traced
        p.setProcessEnvironment(env);
        p.start(strace, {"-f", "-o", "/dev/null", "-e", "trace=fsync", "-e",
                         "inject=fsync:error=EIO:when=2", QCoreApplication::applicationFilePath(),
                         kChildSaveTwice, QString::fromStdString(state_->strAppPath)});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), kFailureReported | kNothingUnsaved | kSavedWithoutAsking);
        QVERIFY(readFile(dataFile("FirstData.txt")) ==
                frameText([](int k) { return patternByte(k, 2); }));
        QCOMPARE(readFile(settingsFile()), std::string("7\r\n8\r\n9\r\n"));
    }
};

// Started with kChildSaveTwice and an application folder: saveTwiceIn, its bits the exit code.
int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == kChildSaveTwice) return saveTwiceIn(argv[2]);
    QCoreApplication app(argc, argv);
    TestSaveInterrupted test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_save_interrupted.moc"
