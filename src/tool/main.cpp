// dotreel-tool: the command-line companion of the editor.
#include <QCoreApplication>
#include <iostream>
#include <string>
#include <vector>

#include "tool/commands.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    // Qt finds its image format plugins (GIF, JPEG) through the application object.
    QCoreApplication app(argc, argv);
    return dotreel::tool::runTool(args, std::cout, std::cerr);
}
