#include "tool/eeprom.h"

#include <cctype>

namespace dotreel::tool {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// One record: byte count, 16-bit address, type, data and the two's complement checksum.
void appendRecord(std::string& out, int type, unsigned address, std::string_view data) {
    unsigned sum = 0;
    auto putByte = [&](unsigned b) {
        b &= 0xFFu;
        out.push_back(kHexDigits[b >> 4]);
        out.push_back(kHexDigits[b & 0xFu]);
        sum += b;
    };
    out.push_back(':');
    putByte(static_cast<unsigned>(data.size()));
    putByte(address >> 8);
    putByte(address);
    putByte(static_cast<unsigned>(type));
    for (char c : data) putByte(static_cast<unsigned char>(c));
    putByte(0x100u - (sum & 0xFFu));
    out += "\r\n";
}

}  // namespace

std::optional<ChipType> chipTypeByName(std::string_view name) {
    std::string upper;
    for (char c : name)
        upper.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    if (upper.rfind("24C", 0) != 0) upper = "24C" + upper;
    for (const auto& chip : kChipTypes)
        if (chip.name == upper) return chip;
    return std::nullopt;
}

std::string packFrames(const FrameMemory& store, const FrameRange& range) {
    return packFrameList(store, range.frames());
}

std::string packFrameList(const FrameMemory& store, const std::vector<int>& frames) {
    std::string out;
    out.reserve(frames.size() * kFrameBytes);
    for (int f : frames) {
        const auto* first = store.data() + static_cast<size_t>(f) * kFrameBytes;
        out.append(reinterpret_cast<const char*>(first), kFrameBytes);
    }
    return out;
}

std::string storeBytes(const FrameMemory& store, int first, int count) {
    return std::string(reinterpret_cast<const char*>(store.data()) + first,
                       static_cast<size_t>(count));
}

std::string formatIntelHex(std::string_view data) {
    std::string out;
    out.reserve(data.size() / 16 * 45 + 64);
    unsigned upper = 0;
    for (size_t pos = 0; pos < data.size(); pos += 16) {
        const auto segment = static_cast<unsigned>(pos >> 16);
        if (segment != upper) {
            upper = segment;
            const char ext[2] = {static_cast<char>(upper >> 8), static_cast<char>(upper & 0xFFu)};
            appendRecord(out, 4, 0, std::string_view(ext, 2));
        }
        appendRecord(out, 0, static_cast<unsigned>(pos & 0xFFFFu), data.substr(pos, 16));
    }
    appendRecord(out, 1, 0, {});
    return out;
}

}  // namespace dotreel::tool
