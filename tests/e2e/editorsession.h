// One run of the real editor for an end-to-end test: a private X server, a program folder of its
// own with the editor copied into it, input through xdotool and screenshots through ImageMagick.
// Every process is started here and ended here, by its own handle; nothing else is touched.
#pragma once

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRandomGenerator>
#include <QRect>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>
#include <cstring>
#include <optional>

#include <xcb/xcb.h>

#include "lcdpicture.h"

namespace e2e {

inline QString u(const char* utf8) { return QString::fromUtf8(utf8); }

inline const QString& mainWindowTitle() {
    static const QString title = u("Dotreel ： SG12232");
    return title;
}

// Generous bounds: the suite shares two cores with the sanitizer build of everything else.
constexpr int kWaitMs = 30000;
constexpr int kPollMs = 40;

struct ToolRun {
    bool finished = false;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs a short helper program to its end, or kills it when it overruns.
inline ToolRun runTool(const QString& program, const QStringList& arguments,
                       const QProcessEnvironment& environment, int timeoutMs = 20000) {
    ToolRun run;
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForStarted(timeoutMs)) return run;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        return run;
    }
    run.finished = process.exitStatus() == QProcess::NormalExit;
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

// A private X server. Each start takes a display number at random and lets Xvfb claim it with
// its lock file: an Xvfb that finds the number taken ends before it opens any socket, and the next
// number is tried. (Letting Xvfb choose with -displayfd skips the lock file, and servers that start
// at the same moment then trample each other's sockets.) -noreset: by default the server resets
// whenever its last client leaves, and refuses the next client for a moment while it does.
class XServer {
public:
    XServer() = default;
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;
    ~XServer() { stop(); }

    bool start(QString* why) {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        const QString probe = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
        if (program.isEmpty() || probe.isEmpty()) {
            *why = program.isEmpty() ? QStringLiteral("Xvfb is not installed")
                                     : QStringLiteral("xdotool is not installed");
            return false;
        }
        for (int attempt = 0; attempt < 10; ++attempt) {
            const QString display =
                QLatin1Char(':') + QString::number(QRandomGenerator::global()->bounded(300, 30000));
            process_.setStandardErrorFile(QProcess::nullDevice());
            process_.setStandardOutputFile(QProcess::nullDevice());
            process_.start(program, {display, QStringLiteral("-screen"), QStringLiteral("0"),
                                     QStringLiteral("1280x800x24"), QStringLiteral("-dpi"),
                                     QStringLiteral("96"), QStringLiteral("-nolisten"),
                                     QStringLiteral("tcp"), QStringLiteral("-noreset")});
            if (!process_.waitForStarted(10000)) {
                *why = QStringLiteral("Xvfb did not start: %1").arg(process_.errorString());
                return false;
            }
            if (waitUntilServing(display, probe)) {
                display_ = display;
                return true;
            }
            stop();
        }
        *why = QStringLiteral("Xvfb ended before serving on any of 10 display numbers");
        return false;
    }

    void stop() {
        if (process_.state() == QProcess::NotRunning) return;
        process_.terminate();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }

    const QString& display() const { return display_; }

private:
    // True once a client reaches a 1280 x 800 screen on `display` while this Xvfb still runs;
    // false when it ends first (the number was taken) or takes too long.
    bool waitUntilServing(const QString& display, const QString& probe) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), display);
        environment.remove(QStringLiteral("XAUTHORITY"));
        const QDeadlineTimer deadline(20000);
        while (!deadline.hasExpired()) {
            process_.waitForFinished(0);
            if (process_.state() != QProcess::Running) return false;
            const ToolRun run =
                runTool(probe, {QStringLiteral("getdisplaygeometry")}, environment, 5000);
            if (run.finished && run.exitCode == 0 && run.out.trimmed() == "1280 800") {
                process_.waitForFinished(0);
                return process_.state() == QProcess::Running;
            }
            QTest::qWait(50);
        }
        return false;
    }

    QProcess process_;
    QString display_;
};

// A program folder, its X server and the editor running in it.
class EditorSession {
public:
    EditorSession() {
        QDir root(folder_.path());
        root.mkpath(u("データー"));
        root.mkpath(u("設定"));
    }
    EditorSession(const EditorSession&) = delete;
    EditorSession& operator=(const EditorSession&) = delete;

    ~EditorSession() {
        stopEditor();
        server_.stop();
        if (QTest::currentTestFailed()) {
            // Keep the files and the last screenshot for whoever reads the failure.
            folder_.setAutoRemove(false);
            qInfo("program folder kept at %s", qPrintable(folder_.path()));
        }
    }

    const QString& error() const { return error_; }

    bool startDisplay() {
        QString why;
        if (server_.start(&why)) return true;
        return fail(why);
    }

    // The usual start: the display, "FirstData.txt" and "animation.txt" written, the editor
    // launched and its window up. Other files may be written before.
    bool startWith(const QByteArray& firstData, const QByteArray& settings) {
        return startDisplay() && writeFile(dataFile(u("FirstData.txt")), firstData) &&
               writeFile(settingsFile(), settings) && launch() && waitForMainWindow();
    }

    QString dataFile(const QString& name) const { return folder_.path() + u("/データー/") + name; }
    QString settingsFile() const { return folder_.path() + u("/設定/animation.txt"); }

    bool writeFile(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(bytes) != bytes.size())
            return fail(QStringLiteral("cannot write %1").arg(path));
        return true;
    }

    static QByteArray readFile(const QString& path) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) return {};
        return file.readAll();
    }

    // Copies the editor into the program folder (it takes its data folders from its own
    // folder, and resolves symbolic links to find it) and starts it on the private display.
    bool launch() {
        const QString program = folder_.path() + QStringLiteral("/dotreel");
        if (!QFile::exists(program)) {
            if (!QFile::copy(QStringLiteral(DOTREEL_EDITOR), program))
                return fail(QStringLiteral("cannot copy the editor from %1")
                                .arg(QStringLiteral(DOTREEL_EDITOR)));
            QFile::setPermissions(program,
                                  QFile::permissions(program) | QFile::ExeOwner | QFile::ReadOwner);
        }
        QProcessEnvironment environment = toolEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        // The editor is ended by a signal, so no leak check could run in it anyway; the
        // sanitizers still stop it at the first memory or undefined-behaviour error.
        environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
        for (const char* name : {"QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS",
                                 "QT_AUTO_SCREEN_SCALE_FACTOR", "QT_ENABLE_HIGHDPI_SCALING"})
            environment.remove(QString::fromLatin1(name));
        editor_.setProcessEnvironment(environment);
        editor_.setWorkingDirectory(folder_.path());
        editor_.setProcessChannelMode(QProcess::MergedChannels);
        editorOutput_.clear();
        mainWindow_.clear();
        editor_.start(program, {});
        if (!editor_.waitForStarted(10000))
            return fail(QStringLiteral("the editor did not start: %1").arg(editor_.errorString()));
        return true;
    }

    // Ends the editor this session started, if it still runs.
    void stopEditor() {
        if (editor_.state() == QProcess::NotRunning) return;
        editor_.terminate();
        if (!editor_.waitForFinished(5000)) {
            editor_.kill();
            editor_.waitForFinished(5000);
        }
        editorOutput_ += editor_.readAll();
        mainWindow_.clear();
    }

    // True while the editor runs and has reported no sanitizer error.
    bool editorHealthy() {
        // Without an event loop QProcess learns of an ended child only inside a wait.
        editor_.waitForFinished(0);
        editorOutput_ += editor_.readAll();
        if (editorOutput_.contains("ERROR: AddressSanitizer") ||
            editorOutput_.contains("runtime error:"))
            return fail(QStringLiteral("the editor reported an error:\n%1")
                            .arg(QString::fromLocal8Bit(editorOutput_)));
        if (editor_.state() != QProcess::Running)
            return fail(QStringLiteral("the editor has ended (exit code %1):\n%2")
                            .arg(editor_.exitCode())
                            .arg(QString::fromLocal8Bit(editorOutput_)));
        return true;
    }

    // The id of a visible window whose title matches `pattern` (a regular expression), once one
    // appears; `other` than the given id when that is not empty.
    std::optional<QString> waitForWindow(const QString& pattern, const QString& other = {}) {
        const QDeadlineTimer deadline(kWaitMs);
        for (;;) {
            const ToolRun run = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                         QStringLiteral("--name"), pattern});
            if (run.finished && run.exitCode == 0) {
                for (const QByteArray& line : run.out.split('\n')) {
                    const QString id = QString::fromLatin1(line.trimmed());
                    if (!id.isEmpty() && id != other) return id;
                }
            }
            if (!editorHealthy()) return std::nullopt;
            if (deadline.hasExpired()) {
                fail(QStringLiteral("no window titled %1 appeared; visible windows: %2; "
                                    "editor output:\n%3")
                         .arg(pattern, visibleWindows(), QString::fromLocal8Bit(editorOutput_)));
                saveScreen(QStringLiteral("root"), QStringLiteral("last-screen.png"));
                return std::nullopt;
            }
            QTest::qWait(kPollMs);
        }
    }

    bool waitForMainWindow() {
        const auto id = waitForWindow(QLatin1Char('^') + mainWindowTitle() + QLatin1Char('$'));
        if (!id) return false;
        mainWindow_ = *id;
        return true;
    }

    // Waits until no visible window's title matches `pattern`.
    bool waitUntilNoWindow(const QString& pattern) {
        const QDeadlineTimer deadline(kWaitMs);
        for (;;) {
            const ToolRun run = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                         QStringLiteral("--name"), pattern});
            if (run.finished && run.out.trimmed().isEmpty()) return true;
            if (deadline.hasExpired())
                return fail(QStringLiteral("the window titled %1 stayed open").arg(pattern));
            QTest::qWait(kPollMs);
        }
    }

    // A real pointer move to pixel `at` of the main window, then a press and release of
    // `button` (1 left, 2 middle, 3 right). The window stands at the screen's origin. The server
    // takes one client's requests in order, so the press lands where the move went; "--sync"
    // is left out because this xdotool waits for ever when the pointer is already there.
    bool click(QPoint at, int button = 1) {
        return input({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
                      QStringLiteral("click"), QString::number(button)});
    }

    bool moveTo(QPoint at) {
        return input(
            {QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y())});
    }

    // Gives `window` the keyboard focus and types one key there (an X key name: Escape, Return).
    bool pressKey(const QString& window, const QString& key) {
        return input({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window,
                      QStringLiteral("key"), key});
    }

    // Waits for the dialog whose title matches `pattern`, keeps a picture of the screen as
    // `shot` in the folder named by DOTREEL_E2E_SHOTS (when set, for a person to look at),
    // answers it with `key` and waits until it is gone.
    bool answerDialog(const QString& pattern, const QString& key, const QString& shot = {}) {
        const auto dialog = waitForWindow(pattern);
        if (!dialog) return false;
        const QString shots = qEnvironmentVariable("DOTREEL_E2E_SHOTS");
        if (!shot.isEmpty() && !shots.isEmpty()) {
            QTest::qWait(300);  // let the box paint itself
            runTool(QStandardPaths::findExecutable(QStringLiteral("import")),
                    {QStringLiteral("-silent"), QStringLiteral("-window"), QStringLiteral("root"),
                     shots + QLatin1Char('/') + shot},
                    toolEnvironment());
        }
        return pressKey(*dialog, key) && waitUntilNoWindow(pattern);
    }

    // Clicks a text box at `at`, selects all it holds and types `text` over it.
    bool typeInto(QPoint at, const QString& text) {
        return input({QStringLiteral("windowfocus"), QStringLiteral("--sync"), mainWindow_,
                      QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
                      QStringLiteral("click"), QStringLiteral("1"), QStringLiteral("key"),
                      QStringLiteral("ctrl+a"), QStringLiteral("type"), text});
    }

    // Asks the main window to close as a window manager's close button does: the
    // WM_DELETE_WINDOW message of the window's protocols.
    bool requestClose() {
        xcb_connection_t* c = xcb_connect(server_.display().toLatin1().constData(), nullptr);
        if (xcb_connection_has_error(c) != 0) {
            xcb_disconnect(c);
            return fail(QStringLiteral("cannot reach the X server"));
        }
        auto atom = [c](const char* name) {
            xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
                c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
            const xcb_atom_t found =
                reply != nullptr ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
            std::free(reply);
            return found;
        };
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = mainWindow_.toUInt();
        event.type = atom("WM_PROTOCOLS");
        event.data.data32[0] = atom("WM_DELETE_WINDOW");
        event.data.data32[1] = XCB_CURRENT_TIME;
        // Checked, so that the server has taken the message before the connection goes.
        xcb_generic_error_t* error =
            xcb_request_check(c, xcb_send_event_checked(c, 0, event.window, XCB_EVENT_MASK_NO_EVENT,
                                                        reinterpret_cast<const char*>(&event)));
        const bool sent = error == nullptr;
        std::free(error);
        xcb_disconnect(c);
        return sent || fail(QStringLiteral("the close message was refused"));
    }

    // Waits until the editor has ended by itself, with exit code 0.
    bool waitForNormalExit() {
        if (!editor_.waitForFinished(kWaitMs))
            return fail(QStringLiteral("the editor did not end"));
        editorOutput_ += editor_.readAll();
        mainWindow_.clear();
        if (editor_.exitStatus() != QProcess::NormalExit || editor_.exitCode() != 0)
            return fail(QStringLiteral("the editor ended abnormally:\n%1")
                            .arg(QString::fromLocal8Bit(editorOutput_)));
        return true;
    }

    // Sends SIGTERM and waits a few seconds: true when the editor ended by it.
    bool endsOnTerminate() {
        editor_.terminate();
        if (!editor_.waitForFinished(5000))
            return fail(QStringLiteral("the editor did not end on SIGTERM"));
        mainWindow_.clear();
        return editor_.exitStatus() == QProcess::CrashExit ||
               fail(QStringLiteral("the editor took SIGTERM as something else than its end"));
    }

    // The main window as it is on screen now; a null image when it cannot be taken.
    QImage screenshot() {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("import"));
        const ToolRun run = runTool(program,
                                    {QStringLiteral("-silent"), QStringLiteral("-window"),
                                     mainWindow_, QStringLiteral("png:-")},
                                    toolEnvironment());
        if (!run.finished || run.exitCode != 0) return {};
        return QImage::fromData(run.out, "PNG");
    }

    // Waits until the grid on screen shows `expected`; on time-out says how it differs and
    // keeps the last screenshot in the program folder.
    bool waitForGrid(const Picture& expected, const char* what) {
        const QDeadlineTimer deadline(kWaitMs);
        QImage image;
        std::optional<Picture> shown;
        for (;;) {
            image = screenshot();
            shown = Picture::fromScreen(image);
            if (shown && *shown == expected) return true;
            if (!editorHealthy()) return false;
            if (deadline.hasExpired()) break;
            QTest::qWait(kPollMs);
        }
        image.save(folder_.path() + QStringLiteral("/last-screen.png"));
        return fail(QStringLiteral("the grid does not show %1: %2")
                        .arg(QString::fromUtf8(what),
                             shown ? shown->differenceFrom(expected)
                                   : QStringLiteral("no screenshot of the window")));
    }

    // The pixels of `area` of the main window, once two screenshots in a row agree on them.
    QImage settledCrop(QRect area) {
        QImage last;
        const QDeadlineTimer deadline(kWaitMs);
        while (!deadline.hasExpired()) {
            const QImage now = screenshot().copy(area);
            if (!now.isNull() && now == last) return now;
            last = now;
            QTest::qWait(kPollMs);
        }
        return {};
    }

    // Waits until `area` of the main window looks exactly like `expected`.
    bool waitForArea(QRect area, const QImage& expected, const char* what) {
        const QDeadlineTimer deadline(kWaitMs);
        QImage image;
        for (;;) {
            image = screenshot();
            if (!image.isNull() && image.copy(area) == expected) return true;
            if (!editorHealthy()) return false;
            if (deadline.hasExpired()) break;
            QTest::qWait(kPollMs);
        }
        image.save(folder_.path() + QStringLiteral("/last-screen.png"));
        expected.save(folder_.path() + QStringLiteral("/expected-area.png"));
        return fail(QStringLiteral("%1 did not appear").arg(QString::fromUtf8(what)));
    }

    // Presses "保存" at `button` and waits until the save has ended. The settings file is the
    // last thing a save writes, each file replaced as a whole, so it is taken away first and
    // its return marks the end of the save.
    bool save(QPoint button) {
        if (QFile::exists(settingsFile()) && !QFile::remove(settingsFile()))
            return fail(QStringLiteral("cannot remove %1").arg(settingsFile()));
        if (!click(button)) return false;
        const QDeadlineTimer deadline(2 * kWaitMs);
        while (!QFile::exists(settingsFile())) {
            if (!editorHealthy()) return false;
            const ToolRun asking =
                xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                         QStringLiteral("--name"), QStringLiteral("^cmdFile\\.Click$")});
            if (!asking.out.trimmed().isEmpty())
                return fail(
                    QStringLiteral("the save failed: the dialog \"cmdFile.Click\" is open"));
            if (deadline.hasExpired())
                return fail(QStringLiteral("the save wrote no settings file"));
            QTest::qWait(kPollMs);
        }
        return editorHealthy();
    }

    // The environment of a helper program run against this session's X server.
    QProcessEnvironment environment() const { return toolEnvironment(); }

private:
    // The titles of the visible windows on the display, for a failure message.
    QString visibleWindows() {
        const ToolRun run = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                     QStringLiteral("--name"), QStringLiteral(".*")});
        QStringList titles;
        for (const QByteArray& line : run.out.split('\n')) {
            const QString id = QString::fromLatin1(line.trimmed());
            if (id.isEmpty()) continue;
            const ToolRun name = xdotool({QStringLiteral("getwindowname"), id});
            titles << id + QStringLiteral(" \"") + QString::fromUtf8(name.out.trimmed()) +
                          QLatin1Char('"');
        }
        return titles.isEmpty() ? QStringLiteral("none") : titles.join(QStringLiteral(", "));
    }

    void saveScreen(const QString& window, const QString& fileName) {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("import"));
        runTool(program,
                {QStringLiteral("-silent"), QStringLiteral("-window"), window,
                 folder_.path() + QLatin1Char('/') + fileName},
                toolEnvironment());
    }

    bool fail(const QString& why) {
        error_ = why;
        return false;
    }

    QProcessEnvironment toolEnvironment() const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), server_.display());
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.remove(QStringLiteral("XAUTHORITY"));
        return environment;
    }

    ToolRun xdotool(const QStringList& arguments) {
        static const QString program = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
        return runTool(program, arguments, toolEnvironment());
    }

    bool input(const QStringList& arguments) {
        const ToolRun run = xdotool(arguments);
        if (!run.finished || run.exitCode != 0)
            return fail(
                QStringLiteral("xdotool %1 failed: %2")
                    .arg(arguments.join(QLatin1Char(' ')), QString::fromLocal8Bit(run.err)));
        return true;
    }

    QTemporaryDir folder_;
    XServer server_;
    QProcess editor_;
    QByteArray editorOutput_;
    QString mainWindow_;
    QString error_;
};

}  // namespace e2e
