// The commands of dotreel-tool: check, info, export and import, each with its --help.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace dotreel::tool {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // problems found, or the work could not be done
inline constexpr int kExitUsage = 2;   // the command line itself is wrong

// Runs one command line (the words after the program's name). Results go to `out`, errors and
// notes to `err`; returns the exit status.
int runTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace dotreel::tool
