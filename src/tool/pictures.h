// The seam between the commands that need no picture (check, info, export to bin, ihex and c)
// and the part that reads and writes pictures (export to png and gif, import), which needs Qt Gui
// and giflib. The program dotreel-tool is built without the picture part, so that the common
// commands start without loading any of those libraries; it hands a picture command line whole
// to "dotreel-tool-pictures" beside it, which is built with it. Tests link the picture part in.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "core/frame.h"
#include "tool/args.h"
#include "tool/outputs.h"
#include "tool/store.h"

namespace dotreel::tool {

inline constexpr char kPictureProgram[] = "dotreel-tool-pictures";

// What an export works from.
struct ExportContext {
    const ParsedArgs& args;
    std::string input;
    std::string output;
    const FrameMemory& store;
};

// The files an export makes, and optionally one line that says on standard output what was
// written instead of one line per file.
struct ExportResult {
    std::vector<OutputFile> files;
    std::string summary;
};

// The frames from the first to the last that holds a lit dot; ToolError when none does.
FrameRange usedRange(const FrameMemory& store);
// --frames when given.
std::optional<FrameRange> framesOption(const ParsedArgs& args);
// --frames, or else the first to the last used frame.
FrameRange framesOrUsed(const ParsedArgs& args, const FrameMemory& store);

// The playback settings an export uses: those of --settings PATH, else "animation.txt" where the
// editor keeps it for the input. `settings` is empty when the file is absent (`present` false)
// or could not be used (`failure` says why).
struct SettingsLookup {
    std::string path;
    bool present = false;
    std::optional<PlaybackSettings> settings;
    std::string failure;
};
SettingsLookup lookUpSettings(const ParsedArgs& args, const std::string& input);

// The editor's playback interval when no settings file gives one.
inline constexpr int kDefaultIntervalMs = 10;

// Provided once per program: by the picture part where it is linked in, else by the program's
// main(), which then sets only `handOver`.
struct PictureFunctions {
    // Runs the whole command line in the picture program instead. Returns only when that could
    // not be started, with the exit status to end with (the reason written to `err`).
    int (*handOver)(std::ostream& err) = nullptr;
    ExportResult (*exportPictures)(const std::string& format, const ExportContext& context,
                                   std::ostream& err) = nullptr;
    int (*runImport)(const ParsedArgs& args, std::ostream& out, std::ostream& err) = nullptr;
};
const PictureFunctions& pictureFunctions();

}  // namespace dotreel::tool
