#include "app/commandline.h"

#include <charconv>
#include <string>
#include <string_view>
#include <utility>

namespace dotreel {

namespace {

bool isSet(const char* value) { return value != nullptr && value[0] != '\0'; }

// A baud rate in plain decimal digits, 1 ... kHighestBaud; 0 when it is not one.
unsigned parseBaud(std::string_view text) {
    unsigned value = 0;
    const char* end = text.data() + text.size();
    const auto [last, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || last != end || text.empty() || text[0] == '+') return 0;
    return value <= EditorCommand::kHighestBaud ? value : 0;
}

}  // namespace

EditorCommand parseEditorCommandLine(const std::vector<std::string>& arguments,
                                     const char* environmentPort) {
    // Help and version win over anything else on the line; help still names the folder given.
    bool help = false;
    bool version = false;
    std::string problem;
    std::string folder;
    std::string port;
    bool portGiven = false;
    unsigned baud = EditorCommand::kDefaultBaud;
    bool optionsEnded = false;
    auto refuse = [&problem](std::string what) {
        if (problem.empty()) problem = std::move(what);
    };
    // An option's value, from "--name=value" or from the next argument.
    auto valueOf = [&](const std::string& name, size_t& i, std::string& value) {
        const std::string& argument = arguments[i];
        if (argument.size() > name.size() && argument[name.size()] == '=') {
            value = argument.substr(name.size() + 1);
            return true;
        }
        if (i + 1 >= arguments.size()) {
            refuse(name + " needs a value");
            return false;
        }
        value = arguments[++i];
        return true;
    };
    auto isOption = [](const std::string& argument, const std::string& name) {
        return argument == name || argument.rfind(name + "=", 0) == 0;
    };
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && argument.size() > 1 && argument[0] == '-') {
            std::string value;
            if (argument == "--help" || argument == "-h") {
                help = true;
            } else if (argument == "--version") {
                version = true;
            } else if (isOption(argument, "--port")) {
                if (!valueOf("--port", i, value)) continue;
                if (value.empty()) refuse("--port needs a port name (dotreel-tool device list)");
                port = value;
                portGiven = true;
            } else if (isOption(argument, "--baud")) {
                if (!valueOf("--baud", i, value)) continue;
                baud = parseBaud(value);
                if (baud == 0)
                    refuse("--baud takes a rate of 1 ... " +
                           std::to_string(EditorCommand::kHighestBaud) + ", not '" + value + "'");
            } else {
                refuse("unknown option '" + argument + "' (dotreel --help lists the options)");
            }
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
    const unsigned noBaud = EditorCommand::kDefaultBaud;
    if (help) return {EditorCommand::Action::Help, folder, {}, {}, noBaud};
    if (version) return {EditorCommand::Action::Version, {}, {}, {}, noBaud};
    if (!problem.empty()) return {EditorCommand::Action::Refuse, {}, problem, {}, noBaud};
    if (!portGiven && isSet(environmentPort)) port = environmentPort;
    return {EditorCommand::Action::Run, folder, {}, port, baud};
}

std::string editorHelpText(const std::string& workFolderLine) {
    return "usage: dotreel [--port PORT [--baud N]] [FOLDER]\n"
           "Dotreel edits monochrome animations for the 122 x 32 dot SG12232 LCD.\n"
           "\n"
           "The work lives in a folder holding \"データー\" (frame files) and \"設定\"\n"
           "(animation.txt). It is FOLDER when given; else the folder beside the program when\n"
           "it holds those folders or may be written (a portable install); else\n"
           "$XDG_DATA_HOME/dotreel (by default ~/.local/share/dotreel). A folder without them\n"
           "gets the demo animation the first time; files already there are never replaced.\n"
           "\n"
           "  -h, --help       show this text\n"
           "      --version    show the version\n"
           "      --port PORT  show the grid live on the panel at this serial port, where\n"
           "                   the player is flashed (default: $DOTREEL_PORT; none: no link;\n"
           "                   dotreel-tool device list names the ports); Ctrl+L connects again\n"
           "      --baud N     the port's rate (default 115200)\n"
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
