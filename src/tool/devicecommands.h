// `dotreel-tool device`: the player on the other end of a serial cable. info, show, upload,
// verify, play, stop and list, each with --port (or DOTREEL_PORT) and --baud.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "tool/args.h"

namespace dotreel::tool {

inline constexpr int kExitInterrupted = 130;  // Ctrl+C during an upload or a verify

std::string deviceHelp();
// The help of one device command ("upload"), or of them all for a name that is none.
std::string deviceHelpFor(const std::string& command);
const std::vector<OptionDef>& deviceOptions();
int runDevice(const ParsedArgs& args, std::ostream& out, std::ostream& err);

}  // namespace dotreel::tool
