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
    const SettingsFieldSpec& spec = settingsField(field);
    if (problem == SettingsProblem::Overflow && !spec.startUpRefuses) return kSettingsNumbers;
    return spec.range;
}

int16_t settingsNumber(std::string_view text) { return toInteger16(text); }

void requireStartUpRange(SettingsField field, int value) {
    const SettingsFieldSpec& spec = settingsField(field);
    if (spec.startUpRefuses && !spec.range.contains(value)) throw outOfRangeError();
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
