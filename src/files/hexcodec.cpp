#include "files/hexcodec.h"

namespace dotreel {
namespace {

int digitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

constexpr char kDigits[] = "0123456789ABCDEF";

}  // namespace

std::optional<int16_t> funHexDecChange(std::string_view text) {
    std::optional<int16_t> result;
    if (!text.empty()) {
        const int d1 = digitValue(text[0]);
        if (d1 >= 0) result = static_cast<int16_t>(16 * d1);
    }
    if (text.size() >= 2) {
        const int d2 = digitValue(text[1]);
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

void decodeFrameLines(const std::vector<std::string>& lines, FrameMemory& target) {
    for (int k = 0; k < kStoreBytes; ++k)
        target[static_cast<size_t>(k)] = hexLineToByte(lines[static_cast<size_t>(k)]);
}

std::string formatSettingsFile(const std::string& start, const std::string& end,
                               const std::string& interval) {
    return start + "\r\n" + end + "\r\n" + interval + "\r\n";
}

}  // namespace dotreel
