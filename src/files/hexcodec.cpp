#include "files/hexcodec.h"

#include <array>

#include "platform/errors.h"

namespace dotreel {
namespace {

// The digit value of each ASCII character, -1 for none; no byte from 0x80 on is a digit.
constexpr std::array<int8_t, 128> kDigitValues = [] {
    std::array<int8_t, 128> values{};
    for (int c = 0; c < 128; ++c) {
        int v = -1;
        if (c >= '0' && c <= '9') v = c - '0';
        if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
        if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
        values[static_cast<size_t>(c)] = static_cast<int8_t>(v);
    }
    return values;
}();

constexpr char kDigits[] = "0123456789ABCDEF";

bool isContinuationByte(unsigned char c) { return (c & 0xC0u) == 0x80u; }

// The length in bytes of the character that starts at `pos`: a UTF-8 sequence when it is a
// complete one, otherwise the single byte.
size_t characterLength(std::string_view text, size_t pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (lead < 0x80) return 1;
    size_t length = 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    if (pos + length > text.size()) return 1;
    for (size_t i = 1; i < length; ++i)
        if (!isContinuationByte(static_cast<unsigned char>(text[pos + i]))) return 1;
    return length;
}

// The digit value of the character at `pos` (-1 for none) and where the next one starts.
int digitAt(std::string_view text, size_t pos, size_t& next) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    next = pos + characterLength(text, pos);
    return lead < 0x80 ? kDigitValues[lead] : -1;
}

}  // namespace

std::optional<int16_t> funHexDecChange(std::string_view text) {
    // The first and second characters, not bytes: a line beginning with a non-ASCII character
    // still has its second character looked at.
    std::optional<int16_t> result;
    if (text.empty()) return result;
    size_t next = 0;
    const int d1 = digitAt(text, 0, next);
    if (d1 >= 0) result = static_cast<int16_t>(16 * d1);
    if (next < text.size()) {
        size_t after = 0;
        const int d2 = digitAt(text, next, after);
        if (d2 >= 0) result = static_cast<int16_t>(result.value_or(0) + d2);
    }
    return result;
}

uint8_t hexLineToByte(std::string_view text) {
    return static_cast<uint8_t>(funHexDecChange(text).value_or(0));
}

std::string_view hexLineHead(std::string_view text) {
    size_t end = 0;
    for (int character = 0; character < 2 && end < text.size(); ++character)
        end += characterLength(text, end);
    return text.substr(0, end);
}

void FrameLines::reserve(size_t count) {
    ends_.reserve(count);
    heads_.reserve(count * 2);  // the usual line is two hexadecimal digits
}

void FrameLines::clear() {
    std::string().swap(heads_);
    std::vector<uint32_t>().swap(ends_);
}

std::string funDHChange(uint8_t value) {
    return std::string{kDigits[value / 16], kDigits[value % 16]};
}

std::string formatFrameFile(const FrameMemory& bytFrameData) {
    std::string out(static_cast<size_t>(kStoreBytes) * 4, '\0');
    char* p = out.data();
    for (int k = 0; k < kStoreBytes; ++k) {
        const uint8_t v = bytFrameData[static_cast<size_t>(k)];
        p[0] = kDigits[v / 16];
        p[1] = kDigits[v % 16];
        p[2] = '\r';
        p[3] = '\n';
        p += 4;
    }
    return out;
}

void decodeFrameLines(const std::vector<std::string>& lines, FrameMemory& target) {
    // A short buffer would be read past its end; refuse it before any byte changes.
    if (lines.size() < static_cast<size_t>(kStoreBytes)) throw outOfRangeError();
    for (int k = 0; k < kStoreBytes; ++k)
        target[static_cast<size_t>(k)] = hexLineToByte(lines[static_cast<size_t>(k)]);
}

void decodeFrameLines(const FrameLines& lines, FrameMemory& target) {
    if (lines.size() < static_cast<size_t>(kStoreBytes)) throw outOfRangeError();
    for (int k = 0; k < kStoreBytes; ++k)
        target[static_cast<size_t>(k)] = hexLineToByte(lines[static_cast<size_t>(k)]);
}

std::string formatSettingsFile(const std::string& start, const std::string& end,
                               const std::string& interval) {
    return start + "\r\n" + end + "\r\n" + interval + "\r\n";
}

}  // namespace dotreel
