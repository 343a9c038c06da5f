// The serial EEPROMs the frames go into: the 24C64..24C512 family, where a frame lands when the
// whole store is split over two 24C512, packing whole frames onto one smaller chip, and Intel
// HEX images for device programmers.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/frame.h"
#include "tool/store.h"

namespace dotreel::tool {

struct ChipType {
    std::string_view name;  // "24C64"
    int bytes;
};

inline constexpr std::array<ChipType, 4> kChipTypes{{
    {"24C64", 8192},
    {"24C128", 16384},
    {"24C256", 32768},
    {"24C512", 65536},
}};

inline constexpr int kLargeChipBytes = 65536;  // one 24C512: the store is two of them

// Whole frames that fit a chip; a frame never straddles the end of a packed chip.
constexpr int framesPerChip(int chipBytes) { return chipBytes / kFrameBytes; }

static_assert(kStoreBytes == 2 * kLargeChipBytes);

// "24c64", "24C64" or "64" (any letter case).
std::optional<ChipType> chipTypeByName(std::string_view name);

// Where a byte of the store sits when the store is split over two 24C512: chip 0 holds bytes
// 0..65535, chip 1 the rest.
struct ChipAddress {
    int chip;
    int address;
};
constexpr ChipAddress storeByteAddress(int storeByte) {
    return {storeByte / kLargeChipBytes, storeByte % kLargeChipBytes};
}
constexpr ChipAddress frameStartAddress(int frame) { return storeByteAddress(frame * kFrameBytes); }
constexpr ChipAddress frameEndAddress(int frame) {
    return storeByteAddress(frame * kFrameBytes + kFrameBytes - 1);
}

// The bytes of the frames of `range`, in the order the range runs, packed from address 0.
std::string packFrames(const FrameMemory& store, const FrameRange& range);
// The same for frames in the order listed.
std::string packFrameList(const FrameMemory& store, const std::vector<int>& frames);

// Bytes `first`..`first + count - 1` of the store as they are.
std::string storeBytes(const FrameMemory& store, int first, int count);

// An Intel HEX image of `data` loaded at address 0: data records of 16 bytes, an extended
// linear address record wherever the address passes a 64 KiB boundary, and the end record.
// Lines end in CR LF.
std::string formatIntelHex(std::string_view data);

}  // namespace dotreel::tool
