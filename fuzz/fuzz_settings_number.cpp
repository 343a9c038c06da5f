// Any bytes as the settings file and as number texts: the decimal conversions must either give a
// value or fail with type mismatch or overflow, agree with one another, and the settings lines
// must come back exactly as they were written.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "files/hexcodec.h"
#include "files/settingsfile.h"
#include "fuzzsupport.h"
#include "platform/errors.h"
#include "platform/number.h"
#include "platform/textfile.h"

using namespace dotreel;
using fuzzsupport::check;

namespace {

// The outcome of one conversion: a value, or the kind of error it failed with.
template <class T>
struct Outcome {
    bool ok = false;
    T value{};
    ErrorKind error = ErrorKind::IoError;
};

template <class T, class F>
Outcome<T> attempt(F&& conversion) {
    Outcome<T> out;
    try {
        out.value = conversion();
        out.ok = true;
    } catch (const PlatformError& e) {
        check(e.kind() == ErrorKind::TypeMismatch || e.kind() == ErrorKind::Overflow,
              "a conversion failed with neither type mismatch nor overflow");
        out.error = e.kind();
    }
    return out;
}

void checkNumberText(std::string_view text) {
    const auto number = attempt<double>([&] { return toNumber(text); });
    const auto integer = attempt<int16_t>([&] { return toInteger16(text); });

    // Both read the same notation: a text that is no number is refused by both.
    check((!number.ok && number.error == ErrorKind::TypeMismatch) ==
              (!integer.ok && integer.error == ErrorKind::TypeMismatch),
          "toNumber and toInteger16 disagree on whether a text is a number");
    if (!number.ok) {
        check(!integer.ok, "toInteger16 took a text whose value toNumber could not hold");
        return;
    }
    const double x = number.value;
    check(std::isfinite(x), "toNumber gave an infinite or undefined value");
    check(roundHalfEven(x) == std::floor(roundHalfEven(x)), "roundHalfEven gave a fraction");
    check(std::fabs(roundHalfEven(x) - x) <= 0.5, "roundHalfEven moved more than a half");

    if (std::fabs(x) < 32767.0) check(integer.ok, "a number well within 16 bits overflowed");
    if (!integer.ok) {
        check(std::fabs(x) >= 32767.5, "overflow reported for a number that fits");
        return;
    }
    const int16_t v = integer.value;
    // The double is only near the decimal text, so allow its own rounding error.
    const double tolerance = 0.5 + 1e-9 * std::max(1.0, std::fabs(x));
    check(std::fabs(x - v) <= tolerance, "toInteger16 is not the nearest whole number");

    // Away from the halves the two roundings, on digits and on the double, must agree.
    const double fraction = x - std::floor(x);
    if (std::fabs(fraction - 0.5) > 1e-6) {
        const auto rounded = attempt<int32_t>([&] { return roundToInteger32(x); });
        check(rounded.ok && rounded.value == v, "rounding the double and the digits disagree");
    }
}

const std::string& settingsFolder() {
    static const std::string folder = [] {
        const std::string f = fuzzsupport::scratchFolder() + "設定/";
        std::filesystem::create_directories(f);
        return f;
    }();
    return folder;
}

// Reads up to `count` lines, tolerating the end of the file, as start-up reads the settings.
std::vector<std::string> readLines(const std::string& path, int count, bool& reachedEnd) {
    FileTable files;
    const int16_t fileNo = files.freeFile();
    files.openForInput(fileNo, path);
    std::vector<std::string> lines;
    reachedEnd = false;
    for (int k = 0; k < count; ++k) {
        std::string line;
        try {
            files.lineInput(fileNo, line);
        } catch (const PlatformError& e) {
            check(e.kind() == ErrorKind::EndOfFile, "a read failed with something but end of file");
            reachedEnd = true;
            break;
        }
        lines.push_back(std::move(line));
    }
    files.close(fileNo);
    check(files.openCount() == 0, "a settings file stayed open");
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    checkNumberText(text);

    // The same bytes as a settings file: three lines, each through the conversion.
    const std::string path = settingsFolder() + "animation.txt";
    fuzzsupport::writeWholeFile(path, text);
    const std::vector<std::string> expected = fuzzsupport::referenceLines(text);
    bool reachedEnd = false;
    std::vector<std::string> lines = readLines(path, 3, reachedEnd);
    check(lines.size() == std::min<size_t>(expected.size(), 3), "wrong number of settings lines");
    check(reachedEnd == (expected.size() < 3), "end of file reached with lines left, or missed");
    for (size_t k = 0; k < lines.size(); ++k) {
        check(lines[k] == expected[k], "a settings line differs from the line rule");
        checkNumberText(lines[k]);
    }

    // Saved as they stand and read back, the three texts come back unchanged, and nothing else
    // (no temporary file) is left in the folder.
    lines.resize(3);
    writeFileAtomically(path, formatSettingsFile(lines[0], lines[1], lines[2]), false);
    const std::vector<std::string> back = readLines(path, 4, reachedEnd);
    check(reachedEnd && back.size() == 3, "a saved settings file does not hold three lines");
    for (size_t k = 0; k < 3; ++k) check(back[k] == lines[k], "a settings text changed on saving");
    size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(settingsFolder()))
        ++entries;
    check(entries == 1, "saving left another file in the settings folder");
    return 0;
}
