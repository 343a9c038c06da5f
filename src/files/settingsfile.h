// The settings file "animation.txt": its three fields with their conversion and ranges, the
// verdict on each line or box text, reading the file's lines and writing its text. Start-up,
// the tool and `check` all take the fields from here.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/frame.h"
#include "files/lineends.h"

namespace dotreel {

enum class SettingsField : uint8_t { Start = 0, End = 1, Interval = 2 };

struct SettingsRange {
    int low;
    int high;
    bool contains(int value) const { return value >= low && value <= high; }
};

// Every line is read as a 16-bit whole number; a text outside this fails start-up.
inline constexpr SettingsRange kSettingsNumbers{-32768, 32767};
inline constexpr SettingsRange kFrameNumbers{0, kLastFrame};
inline constexpr SettingsRange kIntervals{1, 1000};  // milliseconds, the interval selector's

struct SettingsFieldRule {
    const char* name;     // for reports: "start frame"
    const char* caption;  // the label of its box: "開始"
    SettingsRange range;  // the values the program can use
    // Whether start-up fails on a number outside `range` (the interval selector refuses it);
    // frame numbers outside it are taken, and playback refuses them later.
    bool startUpRefuses;
};

inline constexpr std::array<SettingsFieldRule, 3> kSettingsFields{{
    {"start frame", "開始", kFrameNumbers, false},
    {"end frame", "終了", kFrameNumbers, false},
    {"interval", "間隔", kIntervals, true},
}};

inline const SettingsFieldRule& settingsField(SettingsField field) {
    return kSettingsFields[static_cast<size_t>(field)];
}

// What is wrong with one line of the file or one box text.
enum class SettingsProblem : uint8_t {
    None,
    Missing,     // the file has no such line
    NotANumber,  // start-up fails with a type mismatch
    Overflow,    // outside -32768..32767: start-up fails with an overflow
    OutOfRange,  // a whole number outside the field's range
};

struct SettingsVerdict {
    SettingsField field = SettingsField::Start;
    SettingsProblem problem = SettingsProblem::None;
    int16_t value = 0;  // the number, for None and OutOfRange

    // Whether the editor's start-up fails at this line.
    bool stopsStartUp() const;
    // The range the value breaks: the field's, or for an overflow the 16-bit range, except for
    // a field whose range start-up enforces anyway (the interval), which names its own.
    SettingsRange brokenRange() const;
};

// The conversion start-up applies to a settings line: the decimal text rounded half to even to
// a 16-bit whole number. Throws PlatformError(TypeMismatch or Overflow).
int16_t settingsNumber(std::string_view text);

// Throws PlatformError(OutOfRange) when start-up refuses `value` for `field`.
void requireStartUpRange(SettingsField field, int value);

// Throws PlatformError when start-up would fail at `text` as the line of `field`: the
// description names the box by its label and quotes the text (「開始」の欄 "abc" は数値では
// ありません). What passes is saved exactly as it stands.
void requireReadableSettingsText(SettingsField field, std::string_view text);

// The verdict on one line of the file, or on the text of one of the three boxes.
SettingsVerdict checkSettingsText(SettingsField field, std::string_view text);

// The settings file read through once: its first three lines (views of `content`) with their
// verdicts, every line counted and every line end tallied.
struct SettingsFileLines {
    long lineCount = 0;
    LineEndCounts ends;
    std::array<std::string_view, 3> texts;
    std::array<SettingsVerdict, 3> verdicts;
};
SettingsFileLines readSettingsFile(std::string_view content);

// The file as saved: the three texts, each ended by CR LF, exactly as they stand.
std::string formatSettingsFile(const std::string& start, const std::string& end,
                               const std::string& interval);

}  // namespace dotreel
