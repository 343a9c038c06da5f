#include "files/settingsfile.h"

#include "platform/errors.h"
#include "platform/number.h"

namespace dotreel {

bool SettingsVerdict::stopsStartUp() const {
    switch (problem) {
        case SettingsProblem::None:
            return false;
        case SettingsProblem::OutOfRange:
            return settingsField(field).startUpRefuses;
        default:
            return true;
    }
}

SettingsRange SettingsVerdict::brokenRange() const {
    const SettingsFieldRule& declared = settingsField(field);
    if (problem == SettingsProblem::Overflow && !declared.startUpRefuses) return kSettingsNumbers;
    return declared.range;
}

int16_t settingsNumber(std::string_view text) { return toInteger16(text); }

void requireStartUpRange(SettingsField field, int value) {
    const SettingsFieldRule& declared = settingsField(field);
    if (declared.startUpRefuses && !declared.range.contains(value)) throw outOfRangeError();
}

void requireReadableSettingsText(SettingsField field, std::string_view text) {
    const SettingsVerdict verdict = checkSettingsText(field, text);
    if (!verdict.stopsStartUp()) return;
    const std::string box = std::string("「") + settingsField(field).caption + "」の欄 \"" +
                            std::string(text) + "\" は";
    if (verdict.problem == SettingsProblem::NotANumber)
        throw PlatformError(ErrorKind::TypeMismatch, box + "数値ではありません。");
    const SettingsRange range = verdict.brokenRange();
    throw PlatformError(
        verdict.problem == SettingsProblem::Overflow ? ErrorKind::Overflow : ErrorKind::OutOfRange,
        box + std::to_string(range.low) + "から" + std::to_string(range.high) +
            "までの数値ではありません。");
}

SettingsVerdict checkSettingsText(SettingsField field, std::string_view text) {
    SettingsVerdict verdict;
    verdict.field = field;
    try {
        verdict.value = settingsNumber(text);
    } catch (const PlatformError& e) {
        verdict.problem = e.kind() == ErrorKind::Overflow ? SettingsProblem::Overflow
                                                          : SettingsProblem::NotANumber;
        return verdict;
    }
    if (!settingsField(field).range.contains(verdict.value))
        verdict.problem = SettingsProblem::OutOfRange;
    return verdict;
}

SettingsFileLines readSettingsFile(std::string_view content) {
    SettingsFileLines file;
    for (size_t i = 0; i < file.verdicts.size(); ++i) {
        file.verdicts[i].field = static_cast<SettingsField>(i);
        file.verdicts[i].problem = SettingsProblem::Missing;
    }
    size_t pos = 0;
    while (pos < content.size()) {
        const SplitLine line = splitLine(content, pos);
        const auto index = static_cast<size_t>(file.lineCount);
        if (index < file.texts.size()) {
            file.texts[index] = line.text;
            file.verdicts[index] = checkSettingsText(static_cast<SettingsField>(index), line.text);
        }
        ++file.lineCount;
        file.ends.add(line.end, file.lineCount);
        pos = line.next;
    }
    return file;
}

std::string formatSettingsFile(const std::string& start, const std::string& end,
                               const std::string& interval) {
    return start + "\r\n" + end + "\r\n" + interval + "\r\n";
}

}  // namespace dotreel
