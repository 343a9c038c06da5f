// Parsing is done by hand so that only plain decimal forms pass: no hexadecimal prefixes,
// exponents, "inf" or "nan", which the C library would accept.
#include "platform/number.h"

#include <charconv>
#include <cmath>

#include "platform/errors.h"

namespace dotreel {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A decimal text taken apart: its sign, the digits before the point and those after it.
struct Decimal {
    std::string_view body;  // without the blanks around it
    bool negative = false;
    std::string_view whole;
    std::string_view fraction;
};

Decimal parseDecimal(std::string_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && isBlank(text[begin])) ++begin;
    while (end > begin && isBlank(text[end - 1])) --end;

    Decimal d;
    d.body = text.substr(begin, end - begin);
    const std::string_view body = d.body;
    size_t i = 0;
    if (i < body.size() && (body[i] == '+' || body[i] == '-')) {
        d.negative = body[i] == '-';
        ++i;
    }
    const size_t wholeBegin = i;
    while (i < body.size() && isDigit(body[i])) ++i;
    d.whole = body.substr(wholeBegin, i - wholeBegin);
    if (i < body.size() && body[i] == '.') {
        ++i;
        const size_t fractionBegin = i;
        while (i < body.size() && isDigit(body[i])) ++i;
        d.fraction = body.substr(fractionBegin, i - fractionBegin);
    }
    if ((d.whole.empty() && d.fraction.empty()) || i != body.size()) throw typeMismatchError();
    return d;
}

}  // namespace

double toNumber(std::string_view text) {
    const Decimal d = parseDecimal(text);

    // from_chars ignores the locale (a Qt program sets it from the environment) but takes
    // no plus sign.
    const std::string_view unsigned_ = d.body[0] == '+' ? d.body.substr(1) : d.body;
    double value = 0.0;
    const auto result =
        std::from_chars(unsigned_.data(), unsigned_.data() + unsigned_.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Too large for a double, or so small that it is 0 for every use here.
        if (d.whole.find_first_not_of('0') != std::string_view::npos) throw overflowError();
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
    // Rounded on the decimal digits themselves: going through a double first would turn
    // 1.49999999999999999999 into 1.5 and then into 2, and 32767.49999999999999999 into an
    // overflow.
    const Decimal d = parseDecimal(text);
    std::string_view whole = d.whole;
    while (!whole.empty() && whole.front() == '0') whole.remove_prefix(1);
    if (whole.size() > 5) throw overflowError();
    int32_t magnitude = 0;
    for (const char c : whole) magnitude = magnitude * 10 + (c - '0');

    if (!d.fraction.empty()) {
        const char first = d.fraction.front();
        const bool moreThanHalf =
            first > '5' ||
            (first == '5' && d.fraction.substr(1).find_first_not_of('0') != std::string_view::npos);
        const bool exactlyHalf = first == '5' && !moreThanHalf;
        if (moreThanHalf || (exactlyHalf && magnitude % 2 != 0)) ++magnitude;
    }
    const int32_t value = d.negative ? -magnitude : magnitude;
    if (value < -32768 || value > 32767) throw overflowError();
    return static_cast<int16_t>(value);
}

int32_t roundToInteger32(double value) {
    const double rounded = roundHalfEven(value);
    if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) throw overflowError();
    return static_cast<int32_t>(rounded);
}

}  // namespace dotreel
