#include "files/hexcodec.h"

namespace dotreel {
namespace {

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
    return kHexDigitValues[lead];
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

}  // namespace dotreel
