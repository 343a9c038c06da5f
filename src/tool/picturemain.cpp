// dotreel-tool-pictures: dotreel-tool with its picture part (export to png and gif, import).
// dotreel-tool hands such command lines over to it; it runs any other command line as well.
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
