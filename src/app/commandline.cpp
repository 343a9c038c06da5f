#include "app/commandline.h"

#include <string_view>

namespace dotreel {

namespace {

bool isSet(const char* value) { return value != nullptr && value[0] != '\0'; }

}  // namespace

EditorCommand parseEditorCommandLine(const std::vector<std::string>& arguments) {
    // Help and version win over anything else on the line; help still names the folder given.
    bool help = false;
    bool version = false;
    std::string problem;
    std::string folder;
    bool optionsEnded = false;
    for (const std::string& argument : arguments) {
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && argument.size() > 1 && argument[0] == '-') {
            if (argument == "--help" || argument == "-h")
                help = true;
            else if (argument == "--version")
                version = true;
            else if (problem.empty())
                problem = "unknown option '" + argument + "' (dotreel --help lists the options)";
        } else if (argument.empty()) {
            if (problem.empty()) problem = "an empty folder name";
        } else if (!folder.empty()) {
            if (problem.empty()) {
                problem = "one working folder at most, not '";
                problem.append(folder).append("' and '").append(argument).append("'");
            }
        } else {
            folder = argument;
        }
    }
    if (help) return {EditorCommand::Action::Help, folder, {}};
    if (version) return {EditorCommand::Action::Version, {}, {}};
    if (!problem.empty()) return {EditorCommand::Action::Refuse, {}, problem};
    return {EditorCommand::Action::Run, folder, {}};
}

std::string editorHelpText(const std::string& workFolderLine) {
    return "usage: dotreel [FOLDER]\n"
           "Dotreel edits monochrome animations for the 122 x 32 dot SG12232 LCD.\n"
           "\n"
           "The work lives in a folder holding \"データー\" (frame files) and \"設定\"\n"
           "(animation.txt). It is FOLDER when given; else the folder beside the program when\n"
           "it holds those folders or may be written (a portable install); else\n"
           "$XDG_DATA_HOME/dotreel (by default ~/.local/share/dotreel). A folder without them\n"
           "gets the demo animation the first time; files already there are never replaced.\n"
           "\n"
           "  -h, --help     show this text\n"
           "      --version  show the version\n"
           "\n" +
           workFolderLine + "\n";
}

std::string missingDisplayProblem(const char* qpaPlatform, const char* display,
                                  const char* waylandDisplay, const std::string& program) {
    const std::string_view platform = isSet(qpaPlatform) ? qpaPlatform : "";
    // Platforms that draw without a display server (offscreen, vnc, eglfs...) need no check;
    // for a list such as "wayland;xcb" either server will do.
    const bool wantsX = platform.empty() || platform.find("xcb") != std::string_view::npos;
    const bool wantsWayland =
        platform.empty() || platform.find("wayland") != std::string_view::npos;
    if (!wantsX && !wantsWayland) return {};
    if ((wantsX && isSet(display)) || (wantsWayland && isSet(waylandDisplay))) return {};
    return "dotreel: the window needs a graphical session, and none is here (" +
           std::string(wantsX && wantsWayland ? "DISPLAY and WAYLAND_DISPLAY are"
                       : wantsX               ? "DISPLAY is"
                                              : "WAYLAND_DISPLAY is") +
           " unset); to try it without one: xvfb-run -a " + program;
}

}  // namespace dotreel
