#include "app/memorysource.h"

#include <algorithm>
#include <memory>

#include "platform/errors.h"
#include "platform/safewrite.h"
#include "platform/textfile.h"

namespace dotreel {
namespace {

// Whether storing the grid into `frame` would leave that frame's bytes as they are.
bool gridIsFrame(const FrameMemory& memory, const DotGrid& grid, int frame) {
    if (frame < 0 || frame > kLastFrame) return false;
    auto stored = std::make_unique<FrameMemory>(memory);
    try {
        Bit_Data_Set(*stored, grid, frame);
    } catch (const PlatformError&) {
        return false;
    }
    const auto first = static_cast<ptrdiff_t>(frame) * kFrameBytes;
    return std::equal(stored->begin() + first, stored->begin() + first + kFrameBytes,
                      memory.begin() + first);
}

}  // namespace

uint64_t memoryFingerprint(const FrameMemory& memory) {
    uint64_t hash = 0xcbf29ce484222325ULL;
    for (int k = 0; k < kStoreBytes; ++k) {
        hash ^= memory[static_cast<size_t>(k)];
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

uint64_t emptyMemoryFingerprint() {
    static const uint64_t empty = memoryFingerprint(*std::make_unique<FrameMemory>());
    return empty;
}

MemorySource sourceOf(const std::string& fileName, const FileIdentity& identity,
                      const FrameMemory& memory) {
    return {true, fileName, identity, memoryFingerprint(memory)};
}

MemorySource sourceOnDisk(const std::string& dataFolder, const std::string& fileName,
                          const FrameMemory& memory) {
    return sourceOf(fileName, fileIdentity(resolveFileName(dataFolder, fileName)), memory);
}

bool replacingUnknownContent(const MemorySource& source, const std::string& fileName,
                             const std::string& path) {
    if (pathKind(path) != PathKind::RegularFile) return false;
    return !source.known || source.fileName != fileName || fileIdentity(path) != source.identity;
}

bool hasUnsavedWork(const MemorySource& source, const FrameMemory& memory, const DotGrid& grid,
                    int frameOnShow, int currentFrame) {
    if (memoryFingerprint(memory) != source.fingerprint) return true;
    return !gridIsFrame(memory, grid, frameOnShow) && !gridIsFrame(memory, grid, currentFrame);
}

}  // namespace dotreel
