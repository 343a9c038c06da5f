// The editor's command line: `dotreel [--port PORT [--baud N]] [FOLDER]`, `--help`, `--version`.
#pragma once

#include <string>
#include <vector>

namespace dotreel {

struct EditorCommand {
    enum class Action { Run, Help, Version, Refuse };
    Action action = Action::Run;
    std::string folder;   // the working folder named on the command line; empty when none
    std::string problem;  // for Refuse: what is wrong, one line
    // The serial port of the panel that follows the grid (--port, else DOTREEL_PORT); empty: none.
    std::string port;
    unsigned baud = kDefaultBaud;

    static constexpr unsigned kDefaultBaud = 115200;
    static constexpr unsigned kHighestBaud = 4000000;
};

// `arguments` without the program's name. "--" ends the options, so a folder may begin with "-".
// `environmentPort` is DOTREEL_PORT (null when unset): the port when --port is not given.
EditorCommand parseEditorCommandLine(const std::vector<std::string>& arguments,
                                     const char* environmentPort = nullptr);

// The --help text; `workFolderLine` says where the work would live now.
std::string editorHelpText(const std::string& workFolderLine);

// Exit codes: 2 for a wrong command line, 1 when the editor cannot start here.
inline constexpr int kExitUsage = 2;
inline constexpr int kExitCannotStart = 1;

// One line for a session without a graphical display, or empty when a window can be tried:
// `qpaPlatform`, `display` and `waylandDisplay` are QT_QPA_PLATFORM, DISPLAY and
// WAYLAND_DISPLAY (null when unset).
std::string missingDisplayProblem(const char* qpaPlatform, const char* display,
                                  const char* waylandDisplay, const std::string& program);

}  // namespace dotreel
