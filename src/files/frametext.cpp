#include "files/frametext.h"

#include "core/frame.h"
#include "files/hexcodec.h"

namespace dotreel {

std::string formatFrameText(std::span<const uint8_t> bytes) {
    std::string out;
    out.reserve(bytes.size() * 4);
    for (const uint8_t b : bytes) out += funDHChange(b) + "\r\n";
    return out;
}

std::optional<std::vector<uint8_t>> parseFrameText(std::string_view text) {
    constexpr size_t kMostBytes = static_cast<size_t>(kFrameCount) * kFrameBytes;
    std::vector<uint8_t> bytes;
    size_t at = 0;
    while (at < text.size()) {
        if (bytes.size() == kMostBytes || text.size() - at < 2) return std::nullopt;
        const int high = hexDigitValue(text[at]);
        const int low = hexDigitValue(text[at + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes.push_back(static_cast<uint8_t>(high * 16 + low));
        at += 2;
        if (at == text.size()) break;  // the last line without its line end
        if (text[at] == '\r') ++at;
        if (at == text.size() || text[at] != '\n') return std::nullopt;
        ++at;
    }
    if (bytes.empty() || bytes.size() % kFrameBytes != 0) return std::nullopt;
    return bytes;
}

}  // namespace dotreel
