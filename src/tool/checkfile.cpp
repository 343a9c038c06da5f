#include "tool/checkfile.h"

#include <filesystem>
#include <memory>
#include <utility>

#include "core/frame.h"
#include "files/hexcodec.h"
#include "platform/errors.h"
#include "platform/textfile.h"
#include "tool/store.h"

namespace dotreel::tool {
namespace {

std::string plural(long n, const std::string& one, const std::string& many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string rangeText(SettingsRange range) {
    return std::to_string(range.low) + ".." + std::to_string(range.high);
}

void reportLineEnds(CheckReport& r) {
    const LineEndCounts& e = r.ends;
    if (e.firstOddLine == 0) return;
    std::string text = "line ends: " + std::to_string(e.crlf) + " CR LF";
    if (e.lf != 0) text += ", " + std::to_string(e.lf) + " lone LF";
    if (e.cr != 0) text += ", " + std::to_string(e.cr) + " lone CR";
    if (e.lastOpen) text += ", the last line has none";
    text += " (first at line " + std::to_string(e.firstOddLine) +
            "); the editor reads them, but ends every line with CR LF";
    r.warnings.push_back(text);
}

void checkFrameFile(CheckReport& r, std::string_view content) {
    auto bytes = std::make_unique<FrameBytes>();
    bytes->fill(0);
    const FrameFileFindings found = inspectFrameFile(content, *bytes);
    r.lineCount = found.lineCount;
    r.ends = found.ends;
    r.badLineCount = found.badLineCount;
    for (const ListedLine& bad : found.firstBadLines)
        r.firstBadLines.push_back(
            {bad.number, std::string(bad.text.substr(0, kShownLineBytes)), bad.text.size()});

    const long needed = kStoreBytes;
    if (r.lineCount == 0) {
        r.errors.push_back("the file is empty; a frame file has " + std::to_string(needed) +
                           " lines");
    } else if (r.lineCount < needed) {
        r.errors.push_back(plural(r.lineCount, "line", "lines") + "; a frame file needs " +
                           std::to_string(needed) + ", so the editor cannot load it");
    } else if (r.lineCount > needed) {
        r.errors.push_back(plural(r.lineCount, "line", "lines") + "; the editor reads the first " +
                           std::to_string(needed) + " and ignores the other " +
                           std::to_string(r.lineCount - needed));
    }
    if (r.badLineCount != 0) {
        std::string text = plural(r.badLineCount, "line is", "lines are") +
                           " not two hexadecimal digits (the editor reads them as shown):";
        for (const ListedLine& bad : found.firstBadLines)
            text += "\n      line " + std::to_string(bad.number) + ": " + quoteLine(bad.text) +
                    " reads as 0x" + funDHChange((*bytes)[static_cast<size_t>(bad.number - 1)]);
        const auto listed = static_cast<long>(found.firstBadLines.size());
        if (r.badLineCount > listed)
            text += "\n      and " + std::to_string(r.badLineCount - listed) + " more";
        r.errors.push_back(text);
    }
    if (found.lowerCaseCount != 0)
        r.warnings.push_back(plural(found.lowerCaseCount, "line has", "lines have") +
                             " lower-case hexadecimal digits (first at line " +
                             std::to_string(found.firstLowerCaseLine) +
                             "); the editor reads them, but writes upper case");
}

void checkSettingsFile(CheckReport& r, std::string_view content) {
    const SettingsFileLines file = readSettingsFile(content);
    r.lineCount = file.lineCount;
    r.ends = file.ends;
    if (r.lineCount < 3)
        r.errors.push_back(plural(r.lineCount, "line", "lines") +
                           "; the settings need 3 (start frame, end frame, interval), so the " +
                           "editor's start-up fails");
    if (r.lineCount > 3)
        r.errors.push_back(plural(r.lineCount, "line", "lines") +
                           "; the editor reads the first 3 and ignores the other " +
                           std::to_string(r.lineCount - 3));
    for (size_t i = 0; i < file.verdicts.size(); ++i) {
        const SettingsVerdict& verdict = file.verdicts[i];
        if (verdict.problem == SettingsProblem::None || verdict.problem == SettingsProblem::Missing)
            continue;
        std::string text = "line " + std::to_string(i + 1) + " (" +
                           settingsField(verdict.field).name +
                           "): " + describeSettingsProblem(verdict, file.texts[i]);
        text += verdict.stopsStartUp() ? ", so the editor's start-up fails"
                                       : "; playback cannot reach it";
        r.errors.push_back(std::move(text));
    }
}

bool isSettingsName(const std::string& path) {
    std::string name = std::filesystem::path(path).filename().string();
    for (char& c : name)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return name == "animation.txt";
}

}  // namespace

std::string quoteLine(std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out = "\"";
    for (char ch : text.substr(0, kShownLineBytes)) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(ch);
        } else if (c < 0x20 || c >= 0x7F) {
            out += "\\x";
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 15]);
        } else {
            out.push_back(ch);
        }
    }
    out += "\"";
    if (text.size() > kShownLineBytes)
        out += "... (" + std::to_string(text.size()) + " bytes in all)";
    return out;
}

std::string describeSettingsProblem(const SettingsVerdict& verdict, std::string_view text) {
    switch (verdict.problem) {
        case SettingsProblem::None:
            return {};
        case SettingsProblem::Missing:
            return "missing";
        case SettingsProblem::NotANumber:
            return quoteLine(text) + " is not a number";
        case SettingsProblem::Overflow:
            return quoteLine(text) + " is outside " + rangeText(verdict.brokenRange());
        case SettingsProblem::OutOfRange:
            return std::to_string(verdict.value) + " is outside " +
                   rangeText(verdict.brokenRange());
    }
    return {};
}

CheckReport checkFile(const std::string& path) {
    CheckReport r;
    r.path = path;
    r.settings = isSettingsName(path);

    FileTable files;
    const int16_t fileNo = files.freeFile();
    try {
        files.openForInput(fileNo, path);
    } catch (const PlatformError& e) {
        r.errors.push_back("cannot read " + describeFailure(e, path));
        return r;
    }
    if (r.settings)
        checkSettingsFile(r, files.contents(fileNo));
    else
        checkFrameFile(r, files.contents(fileNo));
    files.close(fileNo);
    reportLineEnds(r);
    return r;
}

std::string formatReport(const CheckReport& r) {
    std::string out = r.path + ": ";
    const std::string kind = r.settings ? "settings" : "frame file";
    const auto warnings = static_cast<long>(r.warnings.size());
    if (r.errors.empty() && warnings == 0)
        return out + "ok (" + kind + ", " + plural(r.lineCount, "line", "lines") + ", CR LF)\n";
    if (r.errors.empty())
        out += "ok, " + plural(warnings, "warning", "warnings") + " (" + kind + ", " +
               plural(r.lineCount, "line", "lines") + ")\n";
    else
        out += plural(static_cast<long>(r.errors.size()), "error", "errors") +
               (warnings == 0 ? "" : ", " + plural(warnings, "warning", "warnings")) + "\n";
    for (const auto& e : r.errors) out += "  - " + e + "\n";
    for (const auto& w : r.warnings) out += "  - warning: " + w + "\n";
    return out;
}

}  // namespace dotreel::tool
