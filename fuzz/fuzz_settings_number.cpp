// Any bytes as the settings file and as number texts: the decimal conversions must either give a
// value or fail with type mismatch or overflow, agree with one another, and the settings lines
// must come back exactly as they were written. All in memory, as the readers see a file.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "files/hexcodec.h"
#include "files/settingsfile.h"
#include "fuzzsupport.h"
#include "platform/errors.h"
#include "platform/number.h"

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    checkNumberText(text);

    // The same bytes as a settings file, read in memory as every reader of it does: three
    // lines, each through the conversion, every line counted.
    const std::vector<std::string> expected = fuzzsupport::referenceLines(text);
    const SettingsFileLines file = readSettingsFile(text);
    check(file.lineCount == static_cast<long>(expected.size()), "settings lines miscounted");
    std::vector<std::string> lines(3);
    for (size_t k = 0; k < 3; ++k) {
        const bool present = k < expected.size();
        check((file.verdicts[k].problem == SettingsProblem::Missing) == !present,
              "a settings line missing, or present, against the line rule");
        if (!present) continue;
        check(file.texts[k] == expected[k], "a settings line differs from the line rule");
        checkNumberText(file.texts[k]);
        lines[k] = expected[k];
    }

    // Saved as they stand and read back, the three texts come back unchanged.
    const std::string saved = formatSettingsFile(lines[0], lines[1], lines[2]);
    const SettingsFileLines back = readSettingsFile(saved);
    const bool plain = std::none_of(lines.begin(), lines.end(), [](const std::string& l) {
        return l.find_first_of("\r\n") != std::string::npos;
    });
    check(plain, "a line from the line rule holds a line end");
    check(back.lineCount == 3 && back.ends.firstOddLine == 0,
          "a saved file is not three CR LF lines");
    for (size_t k = 0; k < 3; ++k)
        check(back.texts[k] == lines[k], "a settings text changed on saving");
    return 0;
}
