// dotreel-tool: the command-line companion of the editor. This program has no picture part, so
// that check, info and the byte exports start without Qt; a command line that needs pictures is
// handed whole to "dotreel-tool-pictures" beside it.
#include <iostream>
#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/handover.h"
#include "tool/commands.h"
#include "tool/pictures.h"

namespace {

std::vector<std::string> commandLine;

int handOver(std::ostream& err) {
    try {
        dotreel::replaceWithSibling(dotreel::tool::kPictureProgram, commandLine);
    } catch (const dotreel::PlatformError& e) {
        err << "dotreel-tool: cannot start the picture part: " << e.what() << "\n";
    }
    return dotreel::tool::kExitFailed;
}

}  // namespace

namespace dotreel::tool {

const PictureFunctions& pictureFunctions() {
    static const PictureFunctions functions{handOver, nullptr, nullptr};
    return functions;
}

}  // namespace dotreel::tool

int main(int argc, char** argv) {
    commandLine.assign(argv, argv + argc);
    return dotreel::tool::runTool(std::vector<std::string>(argv + 1, argv + argc), std::cout,
                                  std::cerr);
}
