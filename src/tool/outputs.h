// Output files of the tool: all checked before the first is written, never written over an
// existing file unless forced, each written whole or not at all.
#pragma once

#include <string>
#include <vector>

namespace dotreel::tool {

struct OutputFile {
    std::string path;
    std::string data;
};

// "out.png" with number 5 and width 3 gives "out-005.png"; a name without extension gets the
// number at its end.
std::string numberedPath(const std::string& path, int number, int width);

// Refuses (ToolError) when any target exists and `force` is false, when a target is one of
// `inputs`, or when a target exists and is not a regular file (a device, a FIFO, a folder),
// forced or not; then writes each file through a temporary file and a rename. When writing fails,
// the file being written keeps its old content (or stays absent) and no temporary file is left.
void writeOutputs(const std::vector<OutputFile>& outputs, bool force,
                  const std::vector<std::string>& inputs);

}  // namespace dotreel::tool
