// The tool's text commands: `text` lays text out in a bitmap font into frames of a frame file
// (a stamp, or a marquee over many frames); `fonts` lists the named fonts.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "tool/args.h"

namespace dotreel::tool {

std::string textHelp();
const std::vector<OptionDef>& textOptions();
int runText(const ParsedArgs& args, std::ostream& out, std::ostream& err);

std::string fontsHelp();
int runFonts(const ParsedArgs& args, std::ostream& out, std::ostream& err);

}  // namespace dotreel::tool
