// The frame memory as the tool reads it: a frame file loaded the same tolerant way the editor
// loads it, frame ranges given on the command line, which frames hold a lit dot, and the
// playback settings file beside the data folder.
#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "core/frame.h"
#include "platform/errors.h"

namespace dotreel::tool {

// A run of frames from `first` to `last`; `last` below `first` runs backwards (as playback does).
struct FrameRange {
    int first = 0;
    int last = 0;

    int count() const { return (last >= first ? last - first : first - last) + 1; }
    bool upwards() const { return last >= first; }
    // The frame numbers in the order the range runs.
    std::vector<int> frames() const;
};

// "A..B" or a single "A", each a frame number 0..267. `what` names the option in errors.
FrameRange parseFrameRange(const std::string& text, const std::string& what);

// Reads a frame file: lines 0..131071 decoded with the editor's hex codec; a line that is no
// hexadecimal byte reads as the editor reads it, lines after 131071 are ignored. A file with
// fewer lines, or one that cannot be read, throws ToolError.
std::unique_ptr<FrameMemory> loadStore(const std::string& path);

// The same, and when lines 1..131072 are not all two hexadecimal digits (the editor reads them
// all the same), one warning line to `warnings`: how many, the first with the byte it reads as,
// and that `check` lists them. `consequence`, when given, is said after it.
std::unique_ptr<FrameMemory> loadStore(const std::string& path, std::ostream& warnings,
                                       std::string_view consequence = {});

// True when frame `frame` holds at least one lit dot.
bool frameHasLitDot(const FrameMemory& store, int frame);

// The frames that hold a lit dot, ascending.
std::vector<int> usedFrames(const FrameMemory& store);

// Ascending frame numbers as short runs: "0..47, 60, 62..70"; "none" for an empty list.
std::string describeFrameList(const std::vector<int>& frames);

// The playback settings: start frame, end frame, interval in milliseconds, converted as the
// editor converts them at start-up.
struct PlaybackSettings {
    int start = 0;
    int end = 0;
    int intervalMs = 0;
};

// Reads the first three lines of a settings file. Throws ToolError when it is missing, short, or
// a line is no 16-bit whole number; the ranges of the fields are the caller's to check.
PlaybackSettings readSettings(const std::string& path);

// Where the editor keeps the settings for a frame file: the data folder's sibling "設定" folder.
std::string settingsPathFor(const std::string& frameFilePath);

// An English sentence for a failed file operation on `path`.
std::string describeFailure(const PlatformError& error, const std::string& path);

}  // namespace dotreel::tool
