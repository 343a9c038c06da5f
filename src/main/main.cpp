// The editor: reads its command line, finds the working folder, and opens one window, which runs
// its start-up sequence before it is first shown; then it connects to the panel when a port was
// named.
#include <QApplication>
#include <QLocale>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/commandline.h"
#include "app/workfolder.h"
#include "platform/errors.h"
#include "ui/firstpaint.h"
#include "ui/frmmain.h"
#include "ui/inputmethod.h"
#include "ui/livepanel.h"
#include "ui/translation.h"

namespace {

std::string programName;
QtMessageHandler qtHandler = nullptr;
struct HeldMessage {
    QtMsgType type;
    QString text;
};
std::vector<HeldMessage> heldMessages;

// Qt ends the process with abort() when no platform plugin can connect (a DISPLAY naming a
// server that is gone), after a few lines of its own: say it in one line and leave with an
// ordinary failure instead. Messages on the way are held back and shown once the window system
// is up.
void refuseFatalStartUp(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type != QtFatalMsg) {
        heldMessages.push_back({type, text});
        return;
    }
    std::fprintf(stderr,
                 "dotreel: the window cannot be opened (no usable graphical session); to try it "
                 "without one: xvfb-run -a %s\n",
                 programName.c_str());
    std::_Exit(dotreel::kExitCannotStart);
}

}  // namespace

int main(int argc, char** argv) {
    using dotreel::EditorCommand;
    programName = argc > 0 ? argv[0] : "dotreel";
    const EditorCommand command = dotreel::parseEditorCommandLine(
        std::vector<std::string>(argv + std::min(argc, 1), argv + argc),
        std::getenv("DOTREEL_PORT"));
    switch (command.action) {
        case EditorCommand::Action::Refuse:
            std::fprintf(stderr, "dotreel: %s\n", command.problem.c_str());
            return dotreel::kExitUsage;
        case EditorCommand::Action::Version:
            std::printf("dotreel %s\n", DOTREEL_VERSION);
            return 0;
        case EditorCommand::Action::Help: {
            const auto folder = dotreel::chooseWorkFolder(dotreel::lookAround(command.folder));
            std::fputs(dotreel::editorHelpText(dotreel::describeWorkFolder(folder)).c_str(),
                       stdout);
            return 0;
        }
        case EditorCommand::Action::Run:
            break;
    }

    const std::string noDisplay =
        dotreel::missingDisplayProblem(std::getenv("QT_QPA_PLATFORM"), std::getenv("DISPLAY"),
                                       std::getenv("WAYLAND_DISPLAY"), programName);
    if (!noDisplay.empty()) {
        std::fprintf(stderr, "%s\n", noDisplay.c_str());
        return dotreel::kExitCannotStart;
    }

    // Qt's own options are not taken from the command line: the environment sets them
    // (QT_QPA_PLATFORM, QT_SCALE_FACTOR...).
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    qtHandler = qInstallMessageHandler(refuseFatalStartUp);
    dotreel::preferNoInputMethod();
    QApplication app(qtArgc, qtArgv);
    qInstallMessageHandler(qtHandler);
    for (const HeldMessage& m : heldMessages) qtHandler(m.type, QMessageLogContext(), m.text);
    heldMessages.clear();
    dotreel::installQtTranslation(app, QLocale());

    const auto folder = dotreel::chooseWorkFolder(dotreel::lookAround(command.folder));
    if (folder.kind == dotreel::WorkFolderKind::None) {
        std::fprintf(stderr, "dotreel: no working folder (HOME is unknown); name one: %s FOLDER\n",
                     programName.c_str());
        return dotreel::kExitCannotStart;
    }
    try {
        dotreel::prepareWorkFolder(folder);
    } catch (const dotreel::PlatformError& e) {
        std::fprintf(stderr, "dotreel: cannot prepare the working folder: %s\n",
                     e.description().c_str());
        return dotreel::kExitCannotStart;
    }

    dotreel::frmMain window(folder.path);
    window.Form_Load();
    new dotreel::PluginsAfterFirstPaint(window);  // owned by the window
    window.show();
    window.livePanel->setBaud(command.baud);
    if (!command.port.empty()) {
        // Once the event loop runs, so that the window is up before the hello is waited for and
        // a warning stands over it.
        QTimer::singleShot(
            0, &window, [&window, &command] { window.connectPanel(command.port, command.baud); });
    }
    return app.exec();
}
