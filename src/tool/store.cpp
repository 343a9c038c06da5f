#include "tool/store.h"

#include <filesystem>

#include "files/framefile.h"
#include "files/hexcodec.h"
#include "files/settingsfile.h"
#include "platform/textfile.h"
#include "tool/args.h"
#include "tool/checkfile.h"

namespace dotreel::tool {

std::vector<int> FrameRange::frames() const {
    std::vector<int> out;
    out.reserve(static_cast<size_t>(count()));
    const int step = upwards() ? 1 : -1;
    for (int f = first;; f += step) {
        out.push_back(f);
        if (f == last) break;
    }
    return out;
}

FrameRange parseFrameRange(const std::string& text, const std::string& what) {
    const std::string shown = what + " " + text;
    const auto dots = text.find("..");
    try {
        if (dots == std::string::npos) {
            const int f = parseInteger(text, 0, kLastFrame, what);
            return {f, f};
        }
        return {parseInteger(text.substr(0, dots), 0, kLastFrame, what),
                parseInteger(text.substr(dots + 2), 0, kLastFrame, what)};
    } catch (const UsageError& e) {
        throw UsageError(std::string(e.what()) + " (a frame range is A..B or one frame, frames " +
                         "0.." + std::to_string(kLastFrame) + ")");
    }
}

std::string describeFailure(const PlatformError& error, const std::string& path) {
    const std::string quoted = "'" + path + "'";
    switch (error.kind()) {
        case ErrorKind::FileNotFound:
            return quoted + ": no such file";
        case ErrorKind::PathNotFound:
            return quoted + ": a folder on the path does not exist";
        case ErrorKind::EndOfFile:
            return quoted + ": the file ends too early";
        case ErrorKind::PermissionDenied:
            return quoted + ": permission denied (or it is a folder, or read-only)";
        case ErrorKind::DiskFull:
            return quoted + ": the disk is full";
        case ErrorKind::NotAFile:
            return quoted + ": not a regular file (a device, a FIFO or a socket)";
        case ErrorKind::TooLarge:
            return quoted + ": " + std::to_string(error.size()) +
                   " bytes, far larger than any file of the editor (at most " +
                   std::to_string(kLargestInputFile) + " bytes are read)";
        case ErrorKind::OutOfMemory:
            return quoted + ": out of memory";
        default:
            return quoted + ": read or write error";
    }
}

std::unique_ptr<FrameMemory> loadStore(const std::string& path) {
    FileTable files;
    const int16_t fileNo = files.freeFile();
    try {
        files.openForInput(fileNo, path);
    } catch (const PlatformError& e) {
        throw ToolError("cannot read " + describeFailure(e, path));
    }
    auto bytes = std::make_unique<FrameBytes>();
    FrameFileReader reader(files.contents(fileNo), path, *bytes);
    try {
        reader.readLines();
    } catch (const PlatformError&) {
        throw ToolError("'" + path + "' has only " + std::to_string(reader.linesRead()) +
                        " lines; a frame file needs " + std::to_string(kStoreBytes) +
                        " (see: dotreel-tool check)");
    }
    files.close(fileNo);
    auto store = std::make_unique<FrameMemory>();
    store->fill(0);
    storeFrameBytes(*bytes, *store);
    return store;
}

std::unique_ptr<FrameMemory> loadStore(const std::string& path, std::ostream& warnings,
                                       std::string_view consequence) {
    auto store = loadStore(path);
    // Read a second time, as check reads it, only to count: the common clean file costs one
    // more pass over half a megabyte.
    FileTable files;
    const int16_t fileNo = files.freeFile();
    try {
        files.openForInput(fileNo, path);
    } catch (const PlatformError&) {
        return store;  // gone since: the store as read stands
    }
    auto bytes = std::make_unique<FrameBytes>();
    const FrameFileFindings found = inspectFrameFile(files.contents(fileNo), *bytes);
    if (found.badLineCount == 0 || found.firstBadLines.empty()) return store;
    const ListedLine& first = found.firstBadLines.front();
    warnings << "warning: '" << path << "' has " << found.badLineCount
             << (found.badLineCount == 1 ? " line that is" : " lines that are")
             << " not two hexadecimal digits (first: line " << first.number << ", "
             << quoteLine(first.text) << ", read as 0x"
             << funDHChange((*store)[static_cast<size_t>(first.number - 1)])
             << "); read as the editor reads them";
    if (!consequence.empty()) warnings << "; " << consequence;
    warnings << " ('dotreel-tool check' lists them)\n";
    return store;
}

bool frameHasLitDot(const FrameMemory& store, int frame) {
    const size_t base = static_cast<size_t>(frame) * kFrameBytes;
    for (size_t j = 0; j < static_cast<size_t>(kFrameBytes); ++j)
        if (store[base + j] != 0) return true;
    return false;
}

std::vector<int> usedFrames(const FrameMemory& store) {
    std::vector<int> used;
    for (int f = 0; f < kFrameCount; ++f)
        if (frameHasLitDot(store, f)) used.push_back(f);
    return used;
}

std::string describeFrameList(const std::vector<int>& frames) {
    if (frames.empty()) return "none";
    std::string out;
    size_t i = 0;
    while (i < frames.size()) {
        size_t j = i;
        while (j + 1 < frames.size() && frames[j + 1] == frames[j] + 1) ++j;
        if (!out.empty()) out += ", ";
        out += std::to_string(frames[i]);
        if (j > i) out += ".." + std::to_string(frames[j]);
        i = j + 1;
    }
    return out;
}

PlaybackSettings readSettings(const std::string& path) {
    FileTable files;
    const int16_t fileNo = files.freeFile();
    try {
        files.openForInput(fileNo, path);
    } catch (const PlatformError& e) {
        throw ToolError("cannot read settings " + describeFailure(e, path));
    }
    const SettingsFileLines file = readSettingsFile(files.contents(fileNo));
    for (size_t i = 0; i < file.verdicts.size(); ++i) {
        const SettingsVerdict& verdict = file.verdicts[i];
        if (verdict.problem == SettingsProblem::Missing)
            throw ToolError("settings '" + path + "' has only " + std::to_string(file.lineCount) +
                            " lines; it needs 3 (start frame, end frame, interval)");
        // A number outside a field's range is the caller's to judge: it may not need the field.
        if (verdict.problem == SettingsProblem::NotANumber ||
            verdict.problem == SettingsProblem::Overflow)
            throw ToolError("settings '" + path + "' line " + std::to_string(i + 1) + " (" +
                            settingsField(verdict.field).name +
                            "): " + describeSettingsProblem(verdict, file.texts[i]));
    }
    return {file.verdicts[0].value, file.verdicts[1].value, file.verdicts[2].value};
}

std::string settingsPathFor(const std::string& frameFilePath) {
    std::error_code ec;
    auto file = std::filesystem::absolute(frameFilePath, ec);
    if (ec) file = frameFilePath;
    const auto folder = file.parent_path().parent_path() / "設定";
    return resolveFileName(folder.string() + "/", "animation.txt");
}

}  // namespace dotreel::tool
