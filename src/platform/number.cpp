// Parsing is done by hand so that only plain decimal forms pass: no hexadecimal prefixes,
// exponents, "inf" or "nan", which the C library would accept.
#include "platform/number.h"

#include <cmath>
#include <charconv>

#include "platform/errors.h"

namespace dotreel {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

double toNumber(std::string_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && isBlank(text[begin])) ++begin;
    while (end > begin && isBlank(text[end - 1])) --end;
    const std::string_view body = text.substr(begin, end - begin);

    size_t i = 0;
    if (i < body.size() && (body[i] == '+' || body[i] == '-')) ++i;
    size_t digits = 0;
    while (i < body.size() && isDigit(body[i])) ++i, ++digits;
    if (i < body.size() && body[i] == '.') {
        ++i;
        while (i < body.size() && isDigit(body[i])) ++i, ++digits;
    }
    if (digits == 0 || i != body.size()) throw typeMismatchError();

    // from_chars ignores the locale (a Qt program sets it from the environment) but takes
    // no plus sign.
    const std::string_view unsigned_ = body[0] == '+' ? body.substr(1) : body;
    double value = 0.0;
    const auto result =
        std::from_chars(unsigned_.data(), unsigned_.data() + unsigned_.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Too large for a double, or so small that it is 0 for every use here.
        const std::string_view whole = unsigned_.substr(0, unsigned_.find('.'));
        if (whole.find_first_not_of("-0") != std::string_view::npos) throw overflowError();
        return 0.0;
    }
    return value;
}

double roundHalfEven(double value) {
    const double floor = std::floor(value);
    const double diff = value - floor;
    if (diff < 0.5) return floor;
    if (diff > 0.5) return floor + 1.0;
    return std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
}

int16_t toInteger16(std::string_view text) {
    const double rounded = roundHalfEven(toNumber(text));
    if (!(rounded >= -32768.0 && rounded <= 32767.0)) throw overflowError();
    return static_cast<int16_t>(rounded);
}

int32_t roundToInteger32(double value) {
    const double rounded = roundHalfEven(value);
    if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) throw overflowError();
    return static_cast<int32_t>(rounded);
}

}  // namespace dotreel
