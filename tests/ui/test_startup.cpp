// Start-up on program folders on disk, and the frame and interval selectors' change handler.
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <cerrno>

#include "platform/errors.h"
#include "ui/dotview.h"
#include "ui/frmmain.h"
#include "windowfixture.h"

using namespace dotreel;
using namespace dotreel::testing;

namespace {

const std::string kFailed = "に失敗しました";

bool memoryAllZero(ModMain& s) {
    return std::all_of(s.bytFrameData().begin(), s.bytFrameData().end(),
                       [](uint8_t b) { return b == 0; });
}

bool memoryEquals(ModMain& s, const FrameMemory& expected) {
    return std::equal(s.bytFrameData().begin(), s.bytFrameData().begin() + kStoreBytes,
                      expected.begin());
}

bool gridAllOff(ModMain& s) {
    for (int i = 0; i < kDotCount; ++i)
        if (s.dots.intDot[static_cast<size_t>(i)] != 0 || s.dots.fillStyle(i) != kFillTransparent)
            return false;
    return true;
}

// intDot and the fills hold frame `frame` of `memory`.
bool gridShows(ModMain& s, const FrameMemory& memory, int frame) {
    for (int i = 0; i < kDotCount; ++i) {
        const uint8_t byte = memory[static_cast<size_t>(frame * kFrameBytes + i / 8)];
        const bool on = ((byte >> (i % 8)) & 1) != 0;
        if (s.dots.intDot[static_cast<size_t>(i)] != (on ? kDotOn : kDotOff)) return false;
        if (s.dots.fillStyle(i) != (on ? kFillSolid : kFillTransparent)) return false;
    }
    return true;
}

// Records what the window shows at the first dot change of a transfer.
struct SnapshotObserver : DotObserver {
    explicit SnapshotObserver(frmMain& w) : window(w) {}
    void dotChanged(int) override {
        if (seen) return;
        seen = true;
        caption = window.fraFrame->title();
        frameNo = window.state().intFrameNo;
        scrollText = window.txtScroll->text();
    }
    frmMain& window;
    bool seen = false;
    QString caption;
    int frameNo = -1;
    QString scrollText;
};

// A window after a complete start-up on a folder with the pattern frames.
struct StartedWindow {
    StartedWindow() {
        folder.writeSettings("0\r\n1\r\n10\r\n");
        folder.writeFrameFile(*memory);
        w.subSetup();
    }
    ProgramFolder folder;
    std::unique_ptr<FrameMemory> memory = patternMemory();
    ScriptedDialogs dialogs;
    frmMain w{folder.path(), &dialogs};
};

}  // namespace

class StartupTest : public QObject {
    Q_OBJECT
private slots:
    void completeStartUpLoadsSettingsAndShowsFrameZero();
    void folderWithTrailingSlashGetsNoSecondOne();
    void settingsLinesAreNormalised_data();
    void settingsLinesAreNormalised();
    void intervalOutsideSelectorFailsAfterTextAndTimerTookIt_data();
    void intervalOutsideSelectorFailsAfterTextAndTimerTookIt();
    void emptyThirdLineReportsTypeMismatch();
    void overflowingLineReportsOverflow();
    void givenUpSettingsStillLoadFrameFile();
    void givenUpSettingsWithoutFrameFileLeavesMemoryEmpty();
    void missingSettingsFileLoadsAfterRetry();
    void shortSettingsFileFailsAgainOnRetryAndIsClosed();
    void missingFrameFileReportsUnderSubSetupTitle();
    void missingFrameFileLoadsAfterRetry();
    void frameFileOneLineShortLeavesMemoryEmpty();
    void frameFileWithExtraLinesLoads();
    void frameFileWithLoneLineFeedsLoads();
    void frameFileNameMatchedRegardlessOfCase();

    void frameSelectorWritesCaptionBeforeGridAndFrameAfter();
    void frameSelectorMoveShowsFrame();
    void writingSameFrameValueChangesNothing();
    void arrowStepShowsNextFrameAtOnce();
    void thumbDragChangesOnlyWhenLetGo();
    void frameBeyondMemoryIsNotShown();
    void intervalSelectorSetsTextAndIntervalKeepingTimerState();
};

void StartupTest::completeStartUpLoadsSettingsAndShowsFrameZero() {
    ProgramFolder folder;
    QVERIFY(folder.writeSettings("5\r\n200\r\n100\r\n"));
    auto memory = patternMemory();
    QVERIFY(folder.writeFrameFile(*memory));
    ScriptedDialogs dialogs;
    frmMain w(folder.path(), &dialogs);
    w.Form_Load();
    ModMain& s = w.state();

    QCOMPARE(dialogs.calls.size(), size_t{0});
    QCOMPARE(s.strAppPath, folder.path() + "/");
    QCOMPARE(s.strDataPath, folder.path() + "/データー/");
    QCOMPARE(s.strSetPath, folder.path() + "/設定/");
    QCOMPARE(s.strProcName, std::string("FirstData.txtのオープン"));
    QCOMPARE(s.strMsgAns, std::string());
    QCOMPARE(s.bytDrawMode, uint8_t{0});
    QCOMPARE(s.intFrameNo, int16_t{0});
    QCOMPARE(w.hscFrame[0]->maximum(), 267);
    QCOMPARE(w.hscFrame[0]->value(), 0);
    QCOMPARE(w.hscFrame[1]->value(), 100);
    QCOMPARE(w.tmrFrame->interval(), 100);
    QVERIFY(!w.tmrFrame->isActive());
    QCOMPARE(w.txtFrame[0]->text(), u("5"));
    QCOMPARE(w.txtFrame[1]->text(), u("200"));
    QCOMPARE(w.txtFrame[2]->text(), u("100"));
    QCOMPARE(s.intPlayRange[0], int16_t{5});
    QCOMPARE(s.intPlayRange[1], int16_t{200});
    QCOMPARE(s.intPlayRange[2], int16_t{0});
    QCOMPARE(w.txtScroll->text(), u("0"));
    QCOMPARE(w.fraFrame->title(), u("フレーム：0"));
    QCOMPARE(w.cmdDrawTool[0]->text(), u("クリック"));
    QCOMPARE(w.cmdDrawTool[1]->text(), u("記憶"));
    QCOMPARE(w.cmdDrawTool[2]->text(), u("取消し"));
    QVERIFY(memoryEquals(s, *memory));
    QCOMPARE(s.bytFrameData()[kStoreBytes], uint8_t{0});
    QVERIFY(gridShows(s, *memory, 0));
    QCOMPARE(s.files.openCount(), size_t{0});
}

void StartupTest::folderWithTrailingSlashGetsNoSecondOne() {
    ProgramFolder folder;
    QVERIFY(folder.writeSettings("0\r\n1\r\n10\r\n"));
    auto memory = patternMemory();
    QVERIFY(folder.writeFrameFile(*memory));
    ScriptedDialogs dialogs;
    frmMain w(folder.path() + "/", &dialogs);
    w.subSetup();
    QCOMPARE(w.state().strAppPath, folder.path() + "/");
    QCOMPARE(w.state().strDataPath, folder.path() + "/データー/");
    QCOMPARE(dialogs.calls.size(), size_t{0});
    QVERIFY(memoryEquals(w.state(), *memory));
}

void StartupTest::settingsLinesAreNormalised_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::addColumn<int>("interval");
    QTest::newRow("0 99 100") << QByteArray("0\r\n99\r\n100\r\n") << QStringList{"0", "99", "100"}
                              << 0 << 99 << 100;
    QTest::newRow("blanks around")
        << QByteArray(" 12 \r\n\t3\r\n 7 \r\n") << QStringList{"12", "3", "7"} << 12 << 3 << 7;
    QTest::newRow("halves to even")
        << QByteArray("12.5\r\n13.5\r\n2.5\r\n") << QStringList{"12", "14", "2"} << 12 << 14 << 2;
    QTest::newRow("leading zeros, sign") << QByteArray("007\r\n-5\r\n+1000\r\n")
                                         << QStringList{"7", "-5", "1000"} << 7 << -5 << 1000;
    QTest::newRow("lone LF") << QByteArray("1\n2\n3\n") << QStringList{"1", "2", "3"} << 1 << 2
                             << 3;
    QTest::newRow("lone CR, no end")
        << QByteArray("4\r5\r6") << QStringList{"4", "5", "6"} << 4 << 5 << 6;
    QTest::newRow("extra lines ignored")
        << QByteArray("1\r\n2\r\n3\r\nzz\r\n\r\n") << QStringList{"1", "2", "3"} << 1 << 2 << 3;
}

void StartupTest::settingsLinesAreNormalised() {
    QFETCH(QByteArray, content);
    QFETCH(QStringList, texts);
    QFETCH(int, start);
    QFETCH(int, end);
    QFETCH(int, interval);
    ProgramFolder folder;
    QVERIFY(folder.writeSettings(content.toStdString()));
    auto memory = patternMemory();
    QVERIFY(folder.writeFrameFile(*memory));
    ScriptedDialogs dialogs;
    frmMain w(folder.path(), &dialogs);
    w.subSetup();
    QCOMPARE(dialogs.calls.size(), size_t{0});
    for (int i = 0; i < 3; ++i) QCOMPARE(w.txtFrame[static_cast<size_t>(i)]->text(), texts[i]);
    QCOMPARE(int{w.state().intPlayRange[0]}, start);
    QCOMPARE(int{w.state().intPlayRange[1]}, end);
    QCOMPARE(w.tmrFrame->interval(), interval);
    QCOMPARE(w.hscFrame[1]->value(), interval);
    QVERIFY(memoryEquals(w.state(), *memory));
}

void StartupTest::intervalOutsideSelectorFailsAfterTextAndTimerTookIt_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("timerInterval");
    QTest::newRow("0") << QByteArray("0") << 0 << 0;
    QTest::newRow("2000") << QByteArray("2000") << 2000 << 2000;
    // A timer has no negative interval: the timer step fails and the timer keeps 10, so that a
    // later START cannot hang on a timer that never ticks.
    QTest::newRow("-1") << QByteArray("-1") << -1 << 10;
    QTest::newRow("-5") << QByteArray("-5") << -5 << 10;
    QTest::newRow("1001") << QByteArray("1001") << 1001 << 1001;
}

void StartupTest::intervalOutsideSelectorFailsAfterTextAndTimerTookIt() {
    QFETCH(QByteArray, line);
    QFETCH(int, value);
    QFETCH(int, timerInterval);
    ProgramFolder folder;
    QVERIFY(folder.writeSettings("3\r\n4\r\n" + line.toStdString() + "\r\n"));
    auto memory = patternMemory();
    QVERIFY(folder.writeFrameFile(*memory));
    ScriptedDialogs dialogs;
    dialogs.answers = {Answer::Retry, Answer::Cancel};
    // The state at the moment of the first failure.
    QString textAtFailure;
    int intervalAtFailure = -1;
    int selectorAtFailure = -1;
    frmMain w(folder.path(), &dialogs);
    dialogs.beforeAnswer = [&](size_t call) {
        if (call != 0) return;
        textAtFailure = w.txtFrame[2]->text();
        intervalAtFailure = w.tmrFrame->interval();
        selectorAtFailure = w.hscFrame[1]->value();
    };
    w.subSetup();

    QCOMPARE(dialogs.calls.size(), size_t{2});  // Retry repeats the step, which fails again
    QCOMPARE(dialogs.calls[0].title, std::string("subSetup"));
    QCOMPARE(dialogs.calls[0].text,
             "animation.txtのオープン" + kFailed + "\r\n" + outOfRangeError().description());
    QCOMPARE(textAtFailure, QString::number(value));
    QCOMPARE(intervalAtFailure, timerInterval);
    QCOMPARE(w.tmrFrame->interval(), timerInterval);
    QCOMPARE(selectorAtFailure, 10);
    QCOMPARE(w.hscFrame[1]->value(), 10);
    QCOMPARE(w.state().strMsgAns, std::string("2"));
    QCOMPARE(w.state().intPlayRange[0], int16_t{3});
    QCOMPARE(w.state().intPlayRange[1], int16_t{4});
    // The frame file is loaded all the same.
    QVERIFY(memoryEquals(w.state(), *memory));
    QVERIFY(gridShows(w.state(), *memory, 0));
    QCOMPARE(w.state().strProcName, std::string("FirstData.txtのオープン"));
}

void StartupTest::emptyThirdLineReportsTypeMismatch() {
    ProgramFolder folder;
    QVERIFY(folder.writeSettings("1\r\n2\r\n\r\n"));
    auto memory = patternMemory();
    QVERIFY(folder.writeFrameFile(*memory));
    ScriptedDialogs dialogs;
    dialogs.answers = {Answer::Cancel};
    frmMain w(folder.path(), &dialogs);
    w.subSetup();
    QCOMPARE(dialogs.calls.size(), size_t{1});
    QCOMPARE(dialogs.calls[0].title, std::string("subSetup"));
    QCOMPARE(dialogs.calls[0].text, std::string("animation.txtのオープン") + "に失敗しました" +
                                        "\r\n" + typeMismatchError().description());
    QCOMPARE(w.state().strMsgAns, std::string("2"));
    // Steps before the failure took effect; the defaults of the interval stay.
    QCOMPARE(w.txtFrame[1]->text(), u("2"));
    QCOMPARE(w.txtFrame[2]->text(), u("10"));
    QCOMPARE(w.tmrFrame->interval(), 10);
    QCOMPARE(w.hscFrame[1]->value(), 10);
}

void StartupTest::overflowingLineReportsOverflow() {
    ProgramFolder folder;
    QVERIFY(folder.writeSettings("40000\r\n2\r\n3\r\n"));
    ScriptedDialogs dialogs;
    dialogs.answers = {Answer::Cancel};
    frmMain w(folder.path(), &dialogs);
    w.subSetup();
    QVERIFY(dialogs.calls.size() >= 1);
    QCOMPARE(dialogs.calls[0].text,
             "animation.txtのオープン" + kFailed + "\r\n" + overflowError().description());
    QCOMPARE(w.txtFrame[0]->text(), QString());
    QCOMPARE(w.state().intPlayRange[0], int16_t{0});
}

void StartupTest::givenUpSettingsStillLoadFrameFile() {
    // Without the settings the frame file must still be loaded: a save after an empty start-up
    // would otherwise overwrite the user's frames with zeros.
    ProgramFolder folder;
    auto memory = patternMemory();
    QVERIFY(folder.writeFrameFile(*memory));
    ScriptedDialogs dialogs;
    dialogs.answers = {Answer::Cancel};
    frmMain w(folder.path(), &dialogs);
    w.subSetup();
    QCOMPARE(dialogs.calls.size(), size_t{1});
    QVERIFY(QString::fromStdString(dialogs.calls[0].text)
                .startsWith(u("animation.txtのオープンに失敗しました\r\n")));
    QVERIFY(memoryEquals(w.state(), *memory));
    QVERIFY(gridShows(w.state(), *memory, 0));
    QCOMPARE(w.txtFrame[0]->text(), QString());
    QCOMPARE(w.txtFrame[2]->text(), u("10"));
    QCOMPARE(w.state().strProcName, std::string("FirstData.txtのオープン"));
    QCOMPARE(w.state().files.openCount(), size_t{0});
}

void StartupTest::givenUpSettingsWithoutFrameFileLeavesMemoryEmpty() {
    ProgramFolder folder;
    QVERIFY(folder.writeSettings("1\r\n2\r\n\r\n"));
    ScriptedDialogs dialogs;
    dialogs.answers = {Answer::Cancel, Answer::Cancel};
    frmMain w(folder.path(), &dialogs);
    w.subSetup();
    QCOMPARE(dialogs.calls.size(), size_t{2});
    QVERIFY(QString::fromStdString(dialogs.calls[1].text)
                .startsWith(u("FirstData.txtのオープンに失敗しました\r\n")));
    QVERIFY(memoryAllZero(w.state()));
    QVERIFY(gridAllOff(w.state()));
}

void StartupTest::missingSettingsFileLoadsAfterRetry() {
    ProgramFolder folder;
    auto memory = patternMemory();
    QVERIFY(folder.writeFrameFile(*memory));
    ScriptedDialogs dialogs;
    dialogs.answers = {Answer::Retry};
    dialogs.beforeAnswer = [&](size_t) { QVERIFY(folder.writeSettings("7\r\n8\r\n9\r\n")); };
    frmMain w(folder.path(), &dialogs);
    w.subSetup();
    QCOMPARE(dialogs.calls.size(), size_t{1});
    QCOMPARE(dialogs.calls[0].text,
             "animation.txtのオープン" + kFailed + "\r\n" +
                 fileError(ENOENT, folder.path() + "/設定/animation.txt").description());
    QCOMPARE(w.state().strMsgAns, std::string("4"));
    QCOMPARE(w.txtFrame[0]->text(), u("7"));
    QCOMPARE(w.txtFrame[2]->text(), u("9"));
    QCOMPARE(w.hscFrame[1]->value(), 9);
    QVERIFY(memoryEquals(w.state(), *memory));
}

void StartupTest::shortSettingsFileFailsAgainOnRetryAndIsClosed() {
    ProgramFolder folder;
    QVERIFY(folder.writeSettings("1\r\n2\r\n"));
    auto memory = patternMemory();
    QVERIFY(folder.writeFrameFile(*memory));
    ScriptedDialogs dialogs;
    dialogs.answers = {Answer::Retry, Answer::Retry, Answer::Cancel};
    frmMain w(folder.path(), &dialogs);
    w.subSetup();
    QCOMPARE(dialogs.calls.size(), size_t{3});
    for (const auto& call : dialogs.calls) {
        QCOMPARE(call.text,
                 "animation.txtのオープン" + kFailed + "\r\n" +
                     endOfFileError(folder.path() + "/設定/animation.txt").description());
    }
    // Lines were read but none was applied; the given-up file is closed.
    QCOMPARE(w.txtFrame[0]->text(), QString());
    QCOMPARE(w.state().files.openCount(), size_t{0});
    QVERIFY(memoryEquals(w.state(), *memory));
}

void StartupTest::missingFrameFileReportsUnderSubSetupTitle() {
    ProgramFolder folder;
    QVERIFY(folder.writeSettings("0\r\n1\r\n10\r\n"));
    ScriptedDialogs dialogs;
    dialogs.answers = {Answer::Cancel};
    frmMain w(folder.path(), &dialogs);
    w.subSetup();
    QCOMPARE(dialogs.calls.size(), size_t{1});
    QCOMPARE(dialogs.calls[0].title, std::string("subSetup"));
    QCOMPARE(dialogs.calls[0].text,
             "FirstData.txtのオープン" + kFailed + "\r\n" +
                 fileError(ENOENT, folder.path() + "/データー/FirstData.txt").description());
    QCOMPARE(w.state().strMsgAns, std::string("2"));
    QVERIFY(memoryAllZero(w.state()));
    QVERIFY(gridAllOff(w.state()));
    // The earlier steps all took effect.
    QCOMPARE(w.fraFrame->title(), u("フレーム：0"));
    QCOMPARE(w.txtFrame[1]->text(), u("1"));
}

void StartupTest::missingFrameFileLoadsAfterRetry() {
    ProgramFolder folder;
    QVERIFY(folder.writeSettings("0\r\n1\r\n10\r\n"));
    auto memory = patternMemory();
    ScriptedDialogs dialogs;
    dialogs.answers = {Answer::Retry};
    dialogs.beforeAnswer = [&](size_t) { QVERIFY(folder.writeFrameFile(*memory)); };
    frmMain w(folder.path(), &dialogs);
    w.subSetup();
    QCOMPARE(dialogs.calls.size(), size_t{1});
    QVERIFY(memoryEquals(w.state(), *memory));
    QVERIFY(gridShows(w.state(), *memory, 0));
    QCOMPARE(w.state().strMsgAns, std::string("4"));
}

void StartupTest::frameFileOneLineShortLeavesMemoryEmpty() {
    ProgramFolder folder;
    QVERIFY(folder.writeSettings("0\r\n1\r\n10\r\n"));
    auto memory = patternMemory();
    std::string content = formatFrameFile(*memory);
    content.resize(content.size() - 4);  // 131071 lines
    QVERIFY(writeBytes(folder.dataFile("FirstData.txt"), content));
    ScriptedDialogs dialogs;
    dialogs.answers = {Answer::Retry, Answer::Cancel};
    frmMain w(folder.path(), &dialogs);
    w.subSetup();
    QCOMPARE(dialogs.calls.size(), size_t{2});
    QVERIFY(QString::fromStdString(dialogs.calls[1].text)
                .startsWith(u("FirstData.txtのオープンに失敗しました\r\n")));
    QVERIFY(memoryAllZero(w.state()));
    QVERIFY(gridAllOff(w.state()));
    QCOMPARE(w.state().files.openCount(), size_t{0});

    // The empty memory is no copy of the file: saving asks, and No (the default) keeps it.
    QVERIFY(!w.cmdFile_Click());
    QCOMPARE(dialogs.calls.size(), size_t{3});
    QCOMPARE(dialogs.calls[2].kind, DialogKind::Question);
    QCOMPARE(dialogs.calls[2].title, std::string("cmdFile.Click"));
    QFile file(folder.dataFile("FirstData.txt"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll().toStdString(), content);
}

void StartupTest::frameFileWithExtraLinesLoads() {
    ProgramFolder folder;
    QVERIFY(folder.writeSettings("0\r\n1\r\n10\r\n"));
    auto memory = patternMemory();
    QVERIFY(writeBytes(folder.dataFile("FirstData.txt"), formatFrameFile(*memory) + "FF\r\n"));
    ScriptedDialogs dialogs;
    frmMain w(folder.path(), &dialogs);
    w.subSetup();
    QCOMPARE(dialogs.calls.size(), size_t{0});
    QVERIFY(memoryEquals(w.state(), *memory));
    QCOMPARE(w.state().bytFrameData()[kStoreBytes], uint8_t{0});
}

void StartupTest::frameFileWithLoneLineFeedsLoads() {
    ProgramFolder folder;
    QVERIFY(folder.writeSettings("0\r\n1\r\n10\r\n"));
    auto memory = patternMemory();
    std::string content = formatFrameFile(*memory);
    content.erase(std::remove(content.begin(), content.end(), '\r'), content.end());
    QVERIFY(writeBytes(folder.dataFile("FirstData.txt"), content));
    ScriptedDialogs dialogs;
    frmMain w(folder.path(), &dialogs);
    w.subSetup();
    QCOMPARE(dialogs.calls.size(), size_t{0});
    QVERIFY(memoryEquals(w.state(), *memory));
}

void StartupTest::frameFileNameMatchedRegardlessOfCase() {
    ProgramFolder folder;
    QVERIFY(folder.writeSettings("0\r\n1\r\n10\r\n"));
    auto memory = patternMemory();
    QVERIFY(folder.writeFrameFile(*memory, "FIRSTDATA.TXT"));
    ScriptedDialogs dialogs;
    frmMain w(folder.path(), &dialogs);
    w.subSetup();
    QCOMPARE(dialogs.calls.size(), size_t{0});
    QVERIFY(memoryEquals(w.state(), *memory));
}

void StartupTest::frameSelectorWritesCaptionBeforeGridAndFrameAfter() {
    StartedWindow started;
    frmMain& w = started.w;
    QCOMPARE(started.dialogs.calls.size(), size_t{0});
    SnapshotObserver snapshot(w);
    w.state().dots.setObserver(&snapshot);
    w.hscFrame[0]->setValue(5);
    w.state().dots.setObserver(w.dotView);
    QVERIFY(snapshot.seen);
    // During the transfer the caption is new, the current frame and its box still old.
    QCOMPARE(snapshot.caption, u("フレーム：5"));
    QCOMPARE(snapshot.frameNo, 0);
    QCOMPARE(snapshot.scrollText, u("0"));
    QCOMPARE(w.state().intFrameNo, int16_t{5});
    QCOMPARE(w.txtScroll->text(), u("5"));
}

void StartupTest::frameSelectorMoveShowsFrame() {
    StartedWindow started;
    frmMain& w = started.w;
    const FrameMemory& memory = *started.memory;
    QCOMPARE(started.dialogs.calls.size(), size_t{0});
    w.hscFrame[0]->setValue(5);
    w.hscFrame[0]->setValue(6);
    QCOMPARE(w.fraFrame->title(), u("フレーム：6"));
    QVERIFY(gridShows(w.state(), memory, 6));
    QCOMPARE(w.state().intFrameNo, int16_t{6});
    QCOMPARE(w.txtScroll->text(), u("6"));
    w.hscFrame[0]->setValue(267);
    QCOMPARE(w.fraFrame->title(), u("フレーム：267"));
    QVERIFY(gridShows(w.state(), memory, 267));
    // The selector's maximum stops it at the last frame.
    w.hscFrame[0]->setValue(268);
    QCOMPARE(w.hscFrame[0]->value(), 267);
}

void StartupTest::writingSameFrameValueChangesNothing() {
    StartedWindow started;
    frmMain& w = started.w;
    const FrameMemory& memory = *started.memory;
    QCOMPARE(started.dialogs.calls.size(), size_t{0});
    w.hscFrame[0]->setValue(3);
    // An unstored edit and a stepped current frame, as drawing and frame mode leave them.
    const int dot = 100;
    const bool wasOn = w.state().dots.intDot[dot] == kDotOn;
    w.state().dots.put(dot, !wasOn);
    w.state().intFrameNo = 9;
    w.txtScroll->setText(u("9"));
    w.hscFrame[0]->setValue(3);
    QCOMPARE(w.state().dots.intDot[dot], wasOn ? kDotOff : kDotOn);
    QCOMPARE(w.state().intFrameNo, int16_t{9});
    QCOMPARE(w.txtScroll->text(), u("9"));
    // Moving away and back shows the stored frame, not the edit.
    w.hscFrame[0]->setValue(4);
    w.hscFrame[0]->setValue(3);
    QVERIFY(gridShows(w.state(), memory, 3));
}

void StartupTest::arrowStepShowsNextFrameAtOnce() {
    StartedWindow started;
    frmMain& w = started.w;
    const FrameMemory& memory = *started.memory;
    QCOMPARE(started.dialogs.calls.size(), size_t{0});
    w.hscFrame[0]->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(w.hscFrame[0]->value(), 1);
    QVERIFY(gridShows(w.state(), memory, 1));
    w.hscFrame[0]->triggerAction(QAbstractSlider::SliderPageStepAdd);
    QCOMPARE(w.hscFrame[0]->value(), 2);
    QCOMPARE(w.txtScroll->text(), u("2"));
}

void StartupTest::thumbDragChangesOnlyWhenLetGo() {
    StartedWindow started;
    frmMain& w = started.w;
    const FrameMemory& memory = *started.memory;
    QCOMPARE(started.dialogs.calls.size(), size_t{0});
    QScrollBar* bar = w.hscFrame[0];
    bar->setSliderDown(true);
    bar->setSliderPosition(40);
    bar->setSliderPosition(80);
    QCOMPARE(w.fraFrame->title(), u("フレーム：0"));
    QVERIFY(gridShows(w.state(), memory, 0));
    bar->setSliderDown(false);
    QCOMPARE(w.fraFrame->title(), u("フレーム：80"));
    QVERIFY(gridShows(w.state(), memory, 80));
    QCOMPARE(w.state().intFrameNo, int16_t{80});
}

void StartupTest::frameBeyondMemoryIsNotShown() {
    // Before start-up the selector still reaches 32767, beyond the frame memory.
    ScriptedDialogs dialogs;
    frmMain w("/nonexistent-folder", &dialogs);
    w.state().dots.put(5, true);
    w.hscFrame[0]->setValue(300);
    QCOMPARE(w.state().intFrameNo, int16_t{0});
    QCOMPARE(w.txtScroll->text(), QString());
    QCOMPARE(w.state().dots.intDot[5], kDotOn);
}

void StartupTest::intervalSelectorSetsTextAndIntervalKeepingTimerState() {
    StartedWindow started;
    frmMain& w = started.w;
    QCOMPARE(started.dialogs.calls.size(), size_t{0});
    w.hscFrame[1]->setValue(250);
    QCOMPARE(w.txtFrame[2]->text(), u("250"));
    QCOMPARE(w.tmrFrame->interval(), 250);
    QVERIFY(!w.tmrFrame->isActive());
    w.tmrFrame->start();
    w.hscFrame[1]->setValue(1000);
    QCOMPARE(w.tmrFrame->interval(), 1000);
    QVERIFY(w.tmrFrame->isActive());
    w.tmrFrame->stop();
    // The frame selector's state is untouched by the interval.
    QCOMPARE(w.fraFrame->title(), u("フレーム：0"));
}

QTEST_MAIN(StartupTest)
#include "test_startup.moc"
