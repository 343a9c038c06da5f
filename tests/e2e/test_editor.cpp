// The editor as a user meets it: started in a program folder of its own on a private X server,
// driven only by real pointer and key input, and judged by what is on screen and what "保存"
// leaves on disk.
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

#include "editorsession.h"
#include "lcdpicture.h"

using namespace e2e;

namespace {

// The middle of a control, from its designed place in twips (15 to the pixel): the group box's
// place on the window plus the control's place inside the box.
QPoint centre(QPoint box, int left, int top, int width, int height) {
    return {(box.x() + left + width / 2) / 15, (box.y() + top + height / 2) / 15};
}

// Just inside the left end of an option button or check box, where its indicator is.
QPoint indicator(QPoint box, int left, int top, int height) {
    return {(box.x() + left) / 15 + 7, (box.y() + top + height / 2) / 15};
}

const QPoint kPatternBox(420, 4095);
const QPoint kDrawToolBox(2835, 4095);
const QPoint kScrollBox(5250, 4095);
const QPoint kFrameBox(9345, 4095);
const QPoint kLayerBox(420, 6300);
const QPoint kFileBox(3990, 6300);

const QPoint kClearButton = centre(kPatternBox, 1260, 525, 750, 330);
const QPoint kFillButton = centre(kPatternBox, 210, 525, 750, 330);
const QPoint kInvertButton = centre(kPatternBox, 1260, 1365, 750, 330);
const QPoint kDrawModeButton = centre(kDrawToolBox, 420, 525, 1380, 330);
const QPoint kStoreButton = centre(kDrawToolBox, 1260, 1365, 750, 330);
const QPoint kUndoButton = centre(kDrawToolBox, 210, 1365, 750, 330);
const QPoint kUpButton = centre(kScrollBox, 945, 525, 645, 330);
const QPoint kDownButton = centre(kScrollBox, 945, 1365, 645, 330);
const QPoint kLeftButton = centre(kScrollBox, 210, 945, 645, 330);
const QPoint kScrollModeButton = centre(kScrollBox, 945, 945, 645, 330);
const QPoint kShiftOption = indicator(kScrollBox, 2520, 840, 225);
const QPoint kScrollFillCheck = indicator(kScrollBox, 2730, 1155, 225);
// The arrows at the two ends of the frame selector (Left 105, Top 315, 1905 x 330 twips).
const QPoint kNextFrameArrow((9345 + 105 + 1905) / 15 - 6, (4095 + 315 + 165) / 15);
const QPoint kPreviousFrameArrow((9345 + 105) / 15 + 6, (4095 + 315 + 165) / 15);
const QPoint kSetStartButton = centre(kFrameBox, 1260, 840, 750, 330);
const QPoint kSetEndButton = centre(kFrameBox, 1260, 1260, 750, 330);
const QPoint kStartStopButton = centre(kFrameBox, 2730, 1365, 855, 435);
const QPoint kRepeatCheck = indicator(kFrameBox, 525, 1680, 225);
const QPoint kLayerClearAllButton = centre(kLayerBox, 1680, 420, 750, 330);
const QPoint kLayerFillAllButton = centre(kLayerBox, 1680, 945, 750, 330);
const QPoint kLayerCopyAllButton = centre(kLayerBox, 2520, 420, 750, 330);
const QPoint kLayerRangeCheck = indicator(kLayerBox, 1680, 1470, 330);
const QPoint kSaveButton = centre(kFileBox, 210, 840, 645, 435);
const QPoint kStartBox = centre(kFrameBox, 525, 840, 645, 330);

QPoint layerOption(int index) { return indicator(kLayerBox, 210, 420 + 315 * index, 225); }

// The caption strip of the frame group ("フレーム：N") and the face of the START/STOP button.
const QRect kFrameCaptionArea(9345 / 15, 4095 / 15, 130, 16);
const QRect kStartStopFace((9345 + 2730) / 15 + 4, (4095 + 1365) / 15 + 4, 855 / 15 - 8,
                           435 / 15 - 8);

QPoint dotCentre(int row, int column) { return {dotCentreX(column), dotCentreY(row)}; }

// A frame file in a spelling the editor never writes (lower-case digits), so that a file that
// the editor saved can be told from the one it was given.
QByteArray lowerCaseFrameFile(const Store& store) { return frameFileText(store).toLower(); }

Store orOf(const Store& a, const Store& b) {
    Store result = a;
    for (int k = 0; k < kStoreBytes; ++k)
        putByte(result, k, static_cast<uint8_t>(byteAt(a, k) | byteAt(b, k)));
    return result;
}

void fillFrames(Store& store, int first, int last, uint8_t value) {
    for (int k = first * kFrameBytes; k < (last + 1) * kFrameBytes; ++k) putByte(store, k, value);
}

void copyFrame(Store& store, int source, int first, int last) {
    const QByteArray picture = store.mid(source * kFrameBytes, kFrameBytes);
    for (int f = first; f <= last; ++f) store.replace(f * kFrameBytes, kFrameBytes, picture);
}

QString savedDifference(const QString& path, const Store& expected) {
    if (!QFile::exists(path)) return QStringLiteral("%1 was not written").arg(path);
    const QString difference = frameFileDifference(EditorSession::readFile(path), expected);
    return difference.isEmpty() ? QString() : path + QStringLiteral(": ") + difference;
}

}  // namespace

// Fails the test with the session's own account of what went wrong.
#define SESSION_VERIFY(session, expr) QVERIFY2((expr), qPrintable((session).error()))
#define SAVED_AS(path, store)                                         \
    do {                                                              \
        const QString difference_ = savedDifference((path), (store)); \
        QVERIFY2(difference_.isEmpty(), qPrintable(difference_));     \
    } while (false)

class EditorEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty())
            QSKIP("no X server for the end-to-end tests: Xvfb is not installed");
        for (const char* tool : {"xdotool", "import"})
            QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(),
                     qPrintable(QStringLiteral("%1 is missing (scripts/install-deps installs it)")
                                    .arg(QString::fromLatin1(tool))));
        QVERIFY2(QFile::exists(QStringLiteral(DOTREEL_EDITOR)), DOTREEL_EDITOR);
        XServer probe;
        QString why;
        if (!probe.start(&why))
            QSKIP(qPrintable(QStringLiteral("no X server for the end-to-end tests: ") + why));
    }

    void startupShowsFrameZeroAndSaveWritesWhatWasRead() {
        EditorSession session;
        const Store store = randomStore(1);
        SESSION_VERIFY(session,
                       session.startWith(lowerCaseFrameFile(store), "007\r\n 12 \r\n13.5\r\n"));
        SESSION_VERIFY(session, session.waitForGrid(Picture::ofFrame(store, 0), "frame 0"));

        SESSION_VERIFY(session, session.save(kSaveButton));
        SAVED_AS(session.dataFile(u("FirstData.txt")), store);
        QCOMPARE(EditorSession::readFile(session.settingsFile()), QByteArray("7\r\n12\r\n14\r\n"));
        SESSION_VERIFY(session, session.editorHealthy());
    }

    void clickModeTogglesExactlyTheClickedDots() {
        EditorSession session;
        Store store = randomStore(2);
        SESSION_VERIFY(session, session.startWith(frameFileText(store), "0\r\n5\r\n60\r\n"));
        Picture picture = Picture::ofFrame(store, 0);
        SESSION_VERIFY(session, session.waitForGrid(picture, "frame 0"));

        struct Press {
            QPoint at;
            int button;
            int row;  // -1: off the grid, nothing changes
            int column;
        };
        const Press presses[] = {
            {dotCentre(0, 0), 1, 0, 0},
            {dotCentre(31, 121), 1, 31, 121},
            {dotCentre(7, 60), 1, 7, 60},    // last column of the left half, last row of page 0
            {dotCentre(8, 61), 1, 8, 61},    // first column of the right half, first row of page 1
            {dotCentre(15, 30), 3, 15, 30},  // the right button toggles as well
            {dotCentre(16, 31), 2, 16, 31},  // and the middle one
            {dotCentre(20, 100), 1, 20, 100},
            {dotCentre(20, 100), 1, 20, 100},  // a second press toggles back
            // The first pixel of a dot's square belongs to it; the pixel before it to the left
            // neighbour (the 7 px pitch, not the 8 px squares, decides).
            {QPoint(28 + 7 * 44, 28 + 7 * 12), 1, 12, 44},
            {QPoint(28 + 7 * 50 - 1, 28 + 7 * 12 + 3), 1, 12, 49},
            {QPoint(27, 100), 1, -1, -1},            // left of column 0
            {QPoint(28 + 7 * 122, 100), 1, -1, -1},  // right of column 121
            {QPoint(100, 28 + 7 * 32), 1, -1, -1},   // below row 31
        };
        for (const Press& press : presses) {
            SESSION_VERIFY(session, session.click(press.at, press.button));
            if (press.row >= 0)
                picture.set(press.row, press.column, !picture.at(press.row, press.column));
        }
        SESSION_VERIFY(session, session.waitForGrid(picture, "the clicked dots toggled"));

        SESSION_VERIFY(session, session.click(kStoreButton));
        SESSION_VERIFY(session, session.save(kSaveButton));
        picture.storeInto(store, 0);
        SAVED_AS(session.dataFile(u("FirstData.txt")), store);
        QCOMPARE(EditorSession::readFile(session.settingsFile()), QByteArray("0\r\n5\r\n60\r\n"));
        SESSION_VERIFY(session, session.editorHealthy());
    }

    void pencilAndEraserFollowThePointerWithoutAButton() {
        EditorSession session;
        Store store = randomStore(3);
        SESSION_VERIFY(session, session.startWith(frameFileText(store), "0\r\n5\r\n60\r\n"));
        Picture picture = Picture::ofFrame(store, 0);
        SESSION_VERIFY(session, session.waitForGrid(picture, "frame 0"));

        // Each move is one reported position; waiting for its dot keeps the window system from
        // merging two moves into one.
        SESSION_VERIFY(session, session.click(kDrawModeButton));  // pencil
        for (const auto& [row, column] : {std::pair{2, 3}, {2, 4}, {30, 119}, {9, 61}, {9, 60}}) {
            SESSION_VERIFY(session, session.moveTo(dotCentre(row, column)));
            picture.set(row, column, true);
            SESSION_VERIFY(session, session.waitForGrid(picture, "the pencil's dots"));
        }
        SESSION_VERIFY(session, session.click(kDrawModeButton));  // eraser
        for (const auto& [row, column] : {std::pair{2, 3}, {25, 7}}) {
            SESSION_VERIFY(session, session.moveTo(dotCentre(row, column)));
            picture.set(row, column, false);
            SESSION_VERIFY(session, session.waitForGrid(picture, "the eraser's dots"));
        }
        SESSION_VERIFY(session, session.click(kDrawModeButton));    // click again
        SESSION_VERIFY(session, session.moveTo(dotCentre(25, 8)));  // a move in click mode
        SESSION_VERIFY(session, session.click(kStoreButton));
        SESSION_VERIFY(session, session.save(kSaveButton));
        picture.storeInto(store, 0);
        SAVED_AS(session.dataFile(u("FirstData.txt")), store);
        SESSION_VERIFY(session, session.editorHealthy());
    }

    void scrollsMoveThePictureAndFrameModeStoresIntoTheNextFrame() {
        EditorSession session;
        Store store = randomStore(4);
        SESSION_VERIFY(session, session.startWith(frameFileText(store), "0\r\n5\r\n60\r\n"));
        Picture picture = Picture::ofFrame(store, 0);
        SESSION_VERIFY(session, session.waitForGrid(picture, "frame 0"));

        SESSION_VERIFY(session, session.click(kLeftButton));  // rotate: column 0 comes in at 121
        picture = picture.rotatedLeft();
        SESSION_VERIFY(session, session.waitForGrid(picture, "the picture rotated left"));

        SESSION_VERIFY(session, session.click(kShiftOption));
        SESSION_VERIFY(session, session.click(kScrollFillCheck));
        SESSION_VERIFY(session, session.click(kDownButton));  // shift, lit line in at the top
        picture = picture.shiftedDown(true);
        SESSION_VERIFY(session, session.waitForGrid(picture, "the picture shifted down"));
        SESSION_VERIFY(session, session.click(kStoreButton));

        // Frame mode: "UP" makes frame 1 current without showing it; "記憶" stores there.
        SESSION_VERIFY(session, session.click(kScrollModeButton));
        SESSION_VERIFY(session, session.click(kUpButton));
        SESSION_VERIFY(session, session.click(kStoreButton));
        SESSION_VERIFY(session, session.save(kSaveButton));
        SESSION_VERIFY(session, session.waitForGrid(picture, "the stored picture, unchanged"));
        picture.storeInto(store, 0);
        picture.storeInto(store, 1);
        SAVED_AS(session.dataFile(u("FirstData.txt")), store);
        SESSION_VERIFY(session, session.editorHealthy());
    }

    void patternsReachTheFileOnlyThroughStore() {
        EditorSession session;
        Store store = randomStore(5);
        SESSION_VERIFY(session, session.startWith(frameFileText(store), "0\r\n5\r\n60\r\n"));
        SESSION_VERIFY(session, session.waitForGrid(Picture::ofFrame(store, 0), "frame 0"));

        SESSION_VERIFY(session, session.click(kInvertButton));
        const Picture inverted = Picture::ofFrame(store, 0).inverted();
        SESSION_VERIFY(session, session.waitForGrid(inverted, "frame 0 inverted"));
        SESSION_VERIFY(session, session.click(kStoreButton));

        // One click on the selector's arrow moves one frame.
        SESSION_VERIFY(session, session.click(kNextFrameArrow));
        SESSION_VERIFY(session, session.waitForGrid(Picture::ofFrame(store, 1), "frame 1"));
        SESSION_VERIFY(session, session.click(kFillButton));
        SESSION_VERIFY(session, session.waitForGrid(Picture::filled(true), "every dot on"));
        SESSION_VERIFY(session, session.click(kStoreButton));

        SESSION_VERIFY(session, session.click(kNextFrameArrow));
        SESSION_VERIFY(session, session.waitForGrid(Picture::ofFrame(store, 2), "frame 2"));
        SESSION_VERIFY(session, session.click(kClearButton));
        SESSION_VERIFY(session, session.waitForGrid(Picture::filled(false), "every dot off"));
        SESSION_VERIFY(session, session.click(kUndoButton));  // frame 2 back, nothing stored
        SESSION_VERIFY(session, session.waitForGrid(Picture::ofFrame(store, 2), "frame 2 again"));

        SESSION_VERIFY(session, session.save(kSaveButton));
        inverted.storeInto(store, 0);
        fillFrames(store, 1, 1, 0xFF);
        SAVED_AS(session.dataFile(u("FirstData.txt")), store);
        SESSION_VERIFY(session, session.editorHealthy());
    }

    void layerCommandsRewriteTheChosenFrames() {
        EditorSession session;
        Store store = randomStore(6);
        SESSION_VERIFY(session, session.startWith(frameFileText(store), "3\r\n5\r\n40\r\n"));
        SESSION_VERIFY(session, session.waitForGrid(Picture::ofFrame(store, 0), "frame 0"));

        // "フレーム指定" is ticked: frames 3..5 from the playback texts.
        SESSION_VERIFY(session, session.click(kLayerFillAllButton));
        SESSION_VERIFY(session, session.save(kSaveButton));
        fillFrames(store, 3, 5, 0xFF);
        SAVED_AS(session.dataFile(u("FirstData.txt")), store);

        // "全画像" copies the current frame (1, after one step of the selector) into 3..5.
        SESSION_VERIFY(session, session.click(kNextFrameArrow));
        SESSION_VERIFY(session, session.waitForGrid(Picture::ofFrame(store, 1), "frame 1"));
        SESSION_VERIFY(session, session.click(kLayerCopyAllButton));
        SESSION_VERIFY(session, session.save(kSaveButton));
        copyFrame(store, 1, 3, 5);
        SAVED_AS(session.dataFile(u("FirstData.txt")), store);

        // Not ticked: the whole memory, the bytes after the last frame included.
        SESSION_VERIFY(session, session.click(kLayerRangeCheck));
        SESSION_VERIFY(session, session.click(kLayerClearAllButton));
        SESSION_VERIFY(session, session.waitForGrid(Picture::filled(false), "an empty frame 1"));
        SESSION_VERIFY(session, session.save(kSaveButton));
        SAVED_AS(session.dataFile(u("FirstData.txt")), filledStore(0));
        QCOMPARE(EditorSession::readFile(session.settingsFile()), QByteArray("3\r\n5\r\n40\r\n"));
        SESSION_VERIFY(session, session.editorHealthy());
    }

    void eraseAllThenCtrlZSavesTheFileAsItWas() {
        EditorSession session;
        const Store store = randomStore(9);
        const QByteArray before = frameFileText(store);
        SESSION_VERIFY(session, session.startWith(before, "0\r\n267\r\n40\r\n"));
        SESSION_VERIFY(session, session.waitForGrid(Picture::ofFrame(store, 0), "frame 0"));

        SESSION_VERIFY(session, session.click(kLayerClearAllButton));
        SESSION_VERIFY(session, session.waitForGrid(Picture::filled(false), "an erased frame 0"));
        const auto window = session.waitForWindow(QRegularExpression::escape(mainWindowTitle()));
        SESSION_VERIFY(session, window.has_value());
        SESSION_VERIFY(session, session.pressKey(*window, QStringLiteral("ctrl+z")));
        SESSION_VERIFY(session, session.waitForGrid(Picture::ofFrame(store, 0), "frame 0 again"));
        SESSION_VERIFY(session, session.save(kSaveButton));
        QCOMPARE(EditorSession::readFile(session.dataFile(u("FirstData.txt"))), before);
        SESSION_VERIFY(session, session.editorHealthy());
    }

    // The system clipboard with a program nobody here wrote: a copy in the editor read by xclip
    // as a 122 x 32 one-bit PNG and as the frame's text; a picture put there by xclip pasted
    // into the grid, stored and saved.
    void clipboardRoundTripThroughXclip() {
        const QString xclip = QStandardPaths::findExecutable(QStringLiteral("xclip"));
        if (xclip.isEmpty()) QSKIP("xclip is not installed (scripts/install-deps installs it)");
        EditorSession session;
        Store store = randomStore(21);
        SESSION_VERIFY(session, session.startWith(frameFileText(store), "0\r\n267\r\n40\r\n"));
        SESSION_VERIFY(session, session.waitForGrid(Picture::ofFrame(store, 0), "frame 0"));
        const auto window = session.waitForWindow(QRegularExpression::escape(mainWindowTitle()));
        SESSION_VERIFY(session, window.has_value());

        SESSION_VERIFY(session, session.pressKey(*window, QStringLiteral("ctrl+c")));
        const ToolRun png =
            runTool(xclip, {u("-selection"), u("clipboard"), u("-o"), u("-t"), u("image/png")},
                    session.environment());
        QVERIFY2(png.finished && png.exitCode == 0, png.err.constData());
        const QImage copied = QImage::fromData(png.out, "PNG");
        QCOMPARE(copied.size(), QSize(122, 32));
        QCOMPARE(copied.depth(), 1);
        const Picture shown = Picture::ofFrame(store, 0);
        for (int r = 0; r < 32; ++r)
            for (int c = 0; c < 122; ++c)
                QCOMPARE(copied.pixel(c, r) == qRgb(0, 0, 0), shown.at(r, c));
        const ToolRun text =
            runTool(xclip, {u("-selection"), u("clipboard"), u("-o")}, session.environment());
        QVERIFY(text.finished && text.exitCode == 0);
        QByteArray expectedText;
        for (int k = 0; k < 488; ++k)
            expectedText += QByteArray::number(static_cast<uint8_t>(store.at(k)), 16)
                                .rightJustified(2, '0')
                                .toUpper() +
                            "\r\n";
        QCOMPARE(text.out, expectedText);

        // Another program's picture: lit where frame 1 is lit, black on white, as a PNG file.
        QImage picture(122, 32, QImage::Format_RGB32);
        const Picture wanted = Picture::ofFrame(store, 1);
        for (int r = 0; r < 32; ++r)
            for (int c = 0; c < 122; ++c)
                picture.setPixel(c, r, wanted.at(r, c) ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
        const QString file = session.dataFile(u("../pasted.png"));
        QVERIFY(picture.save(file, "PNG"));
        QProcess owner;  // xclip serves the clipboard until it is ended here
        owner.setProcessEnvironment(session.environment());
        owner.start(xclip, {u("-quiet"), u("-selection"), u("clipboard"), u("-t"), u("image/png"),
                            u("-i"), file});
        QVERIFY(owner.waitForStarted(10000));
        QTest::qWait(500);  // until it owns the selection
        SESSION_VERIFY(session, session.pressKey(*window, QStringLiteral("ctrl+v")));
        const bool pasted = session.waitForGrid(wanted, "the pasted picture");
        owner.terminate();
        owner.waitForFinished(5000);
        SESSION_VERIFY(session, pasted);
        SESSION_VERIFY(session, session.click(kStoreButton));
        SESSION_VERIFY(session, session.save(kSaveButton));
        wanted.storeInto(store, 0);
        SAVED_AS(session.dataFile(u("FirstData.txt")), store);
        SESSION_VERIFY(session, session.editorHealthy());
    }

    void orCompositeIsShownSavedToDataTxtAndReadBack() {
        EditorSession session;
        const Store image = randomStore(7);
        const Store background = randomStore(8);
        const Store composite = orOf(image, background);
        SESSION_VERIFY(session, session.writeFile(session.dataFile(u("SecondData.txt")),
                                                  lowerCaseFrameFile(background)));
        SESSION_VERIFY(session, session.startWith(frameFileText(image), "0\r\n5\r\n60\r\n"));
        SESSION_VERIFY(session, session.waitForGrid(Picture::ofFrame(image, 0), "image frame 0"));

        SESSION_VERIFY(session, session.click(layerOption(3)));  // "画像|背景"
        SESSION_VERIFY(session,
                       session.waitForGrid(Picture::ofFrame(composite, 0), "composite frame 0"));
        SESSION_VERIFY(session, session.save(kSaveButton));
        SAVED_AS(session.dataFile(u("Data.txt")), composite);
        QCOMPARE(EditorSession::readFile(session.dataFile(u("FirstData.txt"))),
                 frameFileText(image));
        QCOMPARE(EditorSession::readFile(session.dataFile(u("SecondData.txt"))),
                 lowerCaseFrameFile(background));

        // "合成" reads the saved composite back under the name "data.txt".
        SESSION_VERIFY(session, session.click(layerOption(1)));
        SESSION_VERIFY(session,
                       session.waitForGrid(Picture::ofFrame(background, 0), "background frame 0"));
        SESSION_VERIFY(session, session.click(layerOption(2)));
        SESSION_VERIFY(session,
                       session.waitForGrid(Picture::ofFrame(composite, 0), "composite read back"));
        SESSION_VERIFY(session, session.editorHealthy());
    }

    void missingImageFileAsksAndRetryLoadsItOnceItIsBack() {
        EditorSession session;
        SESSION_VERIFY(session, session.startDisplay());
        const Store store = randomStore(9);
        SESSION_VERIFY(session, session.writeFile(session.settingsFile(), "0\r\n5\r\n60\r\n"));
        const QString dialogTitle = QStringLiteral("^subSetup$");

        // Cancel (Escape): the window opens all the same, with every dot off.
        SESSION_VERIFY(session, session.launch());
        auto dialog = session.waitForWindow(dialogTitle);
        SESSION_VERIFY(session, dialog.has_value());
        SESSION_VERIFY(session, session.pressKey(*dialog, QStringLiteral("Escape")));
        SESSION_VERIFY(session, session.waitUntilNoWindow(dialogTitle));
        SESSION_VERIFY(session, session.waitForMainWindow());
        SESSION_VERIFY(session, session.waitForGrid(Picture::filled(false), "an empty grid"));
        SESSION_VERIFY(session, session.editorHealthy());
        session.stopEditor();

        // Second start: Retry while the file is still missing asks again; Retry once the file is
        // back loads it.
        SESSION_VERIFY(session, session.launch());
        dialog = session.waitForWindow(dialogTitle);
        SESSION_VERIFY(session, dialog.has_value());
        SESSION_VERIFY(session, session.pressKey(*dialog, QStringLiteral("Return")));
        const auto again = session.waitForWindow(dialogTitle, *dialog);
        SESSION_VERIFY(session, again.has_value());
        SESSION_VERIFY(
            session, session.writeFile(session.dataFile(u("FirstData.txt")), frameFileText(store)));
        SESSION_VERIFY(session, session.pressKey(*again, QStringLiteral("Return")));
        SESSION_VERIFY(session, session.waitUntilNoWindow(dialogTitle));
        SESSION_VERIFY(session, session.waitForMainWindow());
        SESSION_VERIFY(session, session.waitForGrid(Picture::ofFrame(store, 0), "frame 0 loaded"));
        SESSION_VERIFY(session, session.editorHealthy());
    }

    void saveRefusedByAReadOnlyFileAsksAndCancelKeepsBothFiles() {
        EditorSession session;
        SESSION_VERIFY(session, session.startDisplay());
        Store store = randomStore(11);
        const QString imageFile = session.dataFile(u("FirstData.txt"));
        const QByteArray imageText = frameFileText(store);
        const QByteArray settings = "0\r\n5\r\n60\r\n";
        SESSION_VERIFY(session, session.writeFile(imageFile, imageText));
        SESSION_VERIFY(session, session.writeFile(session.settingsFile(), settings));
        QVERIFY(QFile::setPermissions(imageFile,
                                      QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        SESSION_VERIFY(session, session.launch());
        SESSION_VERIFY(session, session.waitForMainWindow());
        SESSION_VERIFY(session, session.waitForGrid(Picture::ofFrame(store, 0), "frame 0"));
        SESSION_VERIFY(session, session.click(kInvertButton));
        SESSION_VERIFY(session, session.click(kStoreButton));

        SESSION_VERIFY(session, session.click(kSaveButton));
        const QString dialogTitle = QStringLiteral("^cmdFile\\.Click$");
        const auto dialog = session.waitForWindow(dialogTitle);
        SESSION_VERIFY(session, dialog.has_value());
        SESSION_VERIFY(session, session.pressKey(*dialog, QStringLiteral("Escape")));
        SESSION_VERIFY(session, session.waitUntilNoWindow(dialogTitle));
        QCOMPARE(EditorSession::readFile(imageFile), imageText);
        QCOMPARE(EditorSession::readFile(session.settingsFile()), settings);

        // Once the file may be written again, the same memory is saved in full.
        QVERIFY(QFile::setPermissions(imageFile, QFile::ReadOwner | QFile::WriteOwner));
        SESSION_VERIFY(session, session.save(kSaveButton));
        Picture::ofFrame(store, 0).inverted().storeInto(store, 0);
        SAVED_AS(imageFile, store);
        SESSION_VERIFY(session, session.editorHealthy());
    }

    // A save never silently replaces a frame file whose content the memory does not hold: after
    // a start-up given up at a short "FirstData.txt", and after a background given up. No (Escape,
    // and Return as the default) writes nothing.
    void saveAsksBeforeReplacingWhatTheMemoryDoesNotHold() {
        EditorSession session;
        SESSION_VERIFY(session, session.startDisplay());
        const Store store = randomStore(12);
        const QByteArray full = frameFileText(store);
        const QByteArray oneLineShort = full.left(full.size() - 4);
        const QByteArray settings = "0\r\n5\r\n60\r\n";
        const QString image = session.dataFile(u("FirstData.txt"));
        const QString background = session.dataFile(u("SecondData.txt"));
        const QString saveTitle = QStringLiteral("^cmdFile\\.Click$");
        SESSION_VERIFY(session, session.writeFile(image, oneLineShort));
        SESSION_VERIFY(session, session.writeFile(session.settingsFile(), settings));

        SESSION_VERIFY(session, session.launch());
        SESSION_VERIFY(session, session.answerDialog(QStringLiteral("^subSetup$"), u("Escape")));
        SESSION_VERIFY(session, session.waitForMainWindow());
        SESSION_VERIFY(session, session.click(kSaveButton));
        SESSION_VERIFY(session,
                       session.answerDialog(saveTitle, u("Escape"), u("replace-at-start-up.png")));
        // The next click is handled only once the save handler has returned.
        SESSION_VERIFY(session, session.click(kFillButton));
        SESSION_VERIFY(session, session.waitForGrid(Picture::filled(true), "every dot on"));
        QCOMPARE(EditorSession::readFile(image), oneLineShort);
        QCOMPARE(EditorSession::readFile(session.settingsFile()), settings);
        session.stopEditor();

        SESSION_VERIFY(session, session.writeFile(image, full));
        SESSION_VERIFY(session, session.writeFile(background, oneLineShort));
        SESSION_VERIFY(session, session.launch());
        SESSION_VERIFY(session, session.waitForMainWindow());
        SESSION_VERIFY(session, session.waitForGrid(Picture::ofFrame(store, 0), "frame 0"));
        SESSION_VERIFY(session, session.click(layerOption(1)));
        SESSION_VERIFY(session,
                       session.answerDialog(QStringLiteral("^optLayer_Click$"), u("Escape")));
        SESSION_VERIFY(session, session.click(kSaveButton));
        SESSION_VERIFY(session,
                       session.answerDialog(saveTitle, u("Return"), u("replace-background.png")));
        SESSION_VERIFY(session, session.click(kInvertButton));
        SESSION_VERIFY(session, session.waitForGrid(Picture::ofFrame(store, 0).inverted(),
                                                    "frame 0 inverted"));
        QCOMPARE(EditorSession::readFile(background), oneLineShort);
        QCOMPARE(EditorSession::readFile(session.settingsFile()), settings);
        SESSION_VERIFY(session, session.editorHealthy());
    }

    // A settings text that start-up could not read back is refused by the save's settings
    // step; the frame file before it is written, the old settings stay.
    void unreadableSettingsTextLeavesTheOldSettings() {
        EditorSession session;
        Store store = randomStore(13);
        const QByteArray settings = "0\r\n5\r\n60\r\n";
        SESSION_VERIFY(session, session.startWith(frameFileText(store), settings));
        SESSION_VERIFY(session, session.waitForGrid(Picture::ofFrame(store, 0), "frame 0"));
        SESSION_VERIFY(session, session.click(kInvertButton));
        SESSION_VERIFY(session, session.click(kStoreButton));
        SESSION_VERIFY(session, session.typeInto(kStartBox, u("abc")));
        SESSION_VERIFY(session, session.click(kSaveButton));
        SESSION_VERIFY(session, session.answerDialog(QStringLiteral("^cmdFile\\.Click$"),
                                                     u("Escape"), u("settings-refused.png")));
        Picture::ofFrame(store, 0).inverted().storeInto(store, 0);
        SAVED_AS(session.dataFile(u("FirstData.txt")), store);
        QCOMPARE(EditorSession::readFile(session.settingsFile()), settings);

        SESSION_VERIFY(session, session.typeInto(kStartBox, u("5.0")));
        SESSION_VERIFY(session, session.save(kSaveButton));
        QCOMPARE(EditorSession::readFile(session.settingsFile()), QByteArray("5.0\r\n5\r\n60\r\n"));
        SESSION_VERIFY(session, session.editorHealthy());
    }

    // Closing with unsaved work asks: キャンセル (Escape) stays, 保存 (Return) saves and closes.
    // SIGTERM is no close and asks nothing.
    void closingWithUnsavedWorkAsks() {
        EditorSession session;
        Store store = randomStore(14);
        const QString closeTitle = QStringLiteral("^Dotreel$");
        SESSION_VERIFY(session, session.startWith(frameFileText(store), "0\r\n5\r\n60\r\n"));
        SESSION_VERIFY(session, session.waitForGrid(Picture::ofFrame(store, 0), "frame 0"));
        SESSION_VERIFY(session, session.click(kInvertButton));
        SESSION_VERIFY(session, session.click(kStoreButton));

        SESSION_VERIFY(session, session.requestClose());
        SESSION_VERIFY(session,
                       session.answerDialog(closeTitle, u("Escape"), u("close-question.png")));
        SESSION_VERIFY(session, session.waitForMainWindow());
        SESSION_VERIFY(session, session.requestClose());
        SESSION_VERIFY(session, session.answerDialog(closeTitle, u("Return")));
        SESSION_VERIFY(session, session.waitForNormalExit());
        Picture::ofFrame(store, 0).inverted().storeInto(store, 0);
        SAVED_AS(session.dataFile(u("FirstData.txt")), store);

        SESSION_VERIFY(session, session.launch());
        SESSION_VERIFY(session, session.waitForMainWindow());
        SESSION_VERIFY(session, session.waitForGrid(Picture::ofFrame(store, 0), "frame 0 saved"));
        SESSION_VERIFY(session, session.click(kFillButton));  // unstored drawing
        SESSION_VERIFY(session, session.waitForGrid(Picture::filled(true), "every dot on"));
        SESSION_VERIFY(session, session.endsOnTerminate());
    }

    void playbackWithoutRepeatStopsOnTheEndFrame() {
        EditorSession session;
        Store store = randomStore(10);
        SESSION_VERIFY(session, session.startWith(frameFileText(store), "0\r\n0\r\n20\r\n"));
        SESSION_VERIFY(session, session.waitForGrid(Picture::ofFrame(store, 0), "frame 0"));
        const QImage startFace = session.settledCrop(kStartStopFace);
        QVERIFY(!startFace.isNull());
        const QImage captionAt0 = session.settledCrop(kFrameCaptionArea);

        // The range from the selector: "セット" for the end at frame 6, for the start at 2.
        for (int i = 0; i < 6; ++i) SESSION_VERIFY(session, session.click(kNextFrameArrow));
        SESSION_VERIFY(session, session.waitForGrid(Picture::ofFrame(store, 6), "frame 6"));
        const QImage captionAt6 = session.settledCrop(kFrameCaptionArea);
        QVERIFY2(captionAt6 != captionAt0, "the caption strip shows no frame number");
        SESSION_VERIFY(session, session.click(kSetEndButton));
        for (int i = 0; i < 4; ++i) SESSION_VERIFY(session, session.click(kPreviousFrameArrow));
        SESSION_VERIFY(session, session.waitForGrid(Picture::ofFrame(store, 2), "frame 2"));
        SESSION_VERIFY(session, session.click(kSetStartButton));

        SESSION_VERIFY(session, session.click(kRepeatCheck));  // repeat off
        SESSION_VERIFY(session, session.click(kStartStopButton));
        SESSION_VERIFY(session, session.moveTo(QPoint(600, 500)));  // off every control
        SESSION_VERIFY(session, session.waitForArea(kStartStopFace, startFace,
                                                    "the caption \"START\" after the last frame"));
        SESSION_VERIFY(session, session.waitForGrid(Picture::ofFrame(store, 6), "end frame 6"));
        SESSION_VERIFY(session, session.waitForArea(kFrameCaptionArea, captionAt6,
                                                    "the caption \"フレーム：6\""));

        // The end frame is the current frame: what is stored now lands in frame 6 only.
        SESSION_VERIFY(session, session.click(kInvertButton));
        SESSION_VERIFY(session, session.click(kStoreButton));
        SESSION_VERIFY(session, session.save(kSaveButton));
        Picture::ofFrame(store, 6).inverted().storeInto(store, 6);
        SAVED_AS(session.dataFile(u("FirstData.txt")), store);
        QCOMPARE(EditorSession::readFile(session.settingsFile()), QByteArray("2\r\n6\r\n20\r\n"));
        SESSION_VERIFY(session, session.editorHealthy());
    }
};

QTEST_GUILESS_MAIN(EditorEndToEnd)
#include "test_editor.moc"
