#include "app/memorysource.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <new>
#include <string_view>

#include "files/framefile.h"
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

// Whether `now` differs from `then` in its status-change time alone.
bool onlyStatusChanged(const FileIdentity& now, const FileIdentity& then) {
    FileIdentity same = now;
    same.changedSeconds = then.changedSeconds;
    same.changedNanoseconds = then.changedNanoseconds;
    return same == then && now != then;
}

// Whether the frame file at `path` reads as the memory whose fingerprint is `fingerprint`. A file
// that cannot be read whole does not.
bool readsAs(const std::string& path, uint64_t fingerprint) {
    try {
        FileTable files;
        files.openForInput(1, path);
        auto bytes = std::make_unique<FrameBytes>();
        FrameFileReader(files.contents(1), path, *bytes).readLines();
        auto memory = std::make_unique<FrameMemory>();
        storeFrameBytes(*bytes, *memory);
        return memoryFingerprint(*memory) == fingerprint;
    } catch (const PlatformError&) {
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace

uint64_t memoryFingerprint(const FrameMemory& memory) {
    // The standard library's byte hash takes eight bytes a step (a byte-at-a-time hash cost a
    // tenth of a millisecond at every load); the fingerprint never leaves the process, so its
    // exact function may change with the library.
    const std::string_view stored(reinterpret_cast<const char*>(memory.data()), kStoreBytes);
    const std::hash<std::string_view> hash;
    if constexpr (sizeof(size_t) >= sizeof(uint64_t)) {
        return static_cast<uint64_t>(hash(stored));
    } else {
        // Where the library's hash is 32 bits wide, two of them keep the fingerprint 64 bits.
        const size_t half = stored.size() / 2;
        return (static_cast<uint64_t>(hash(stored.substr(0, half))) << 32) ^
               static_cast<uint64_t>(hash(stored.substr(half)));
    }
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
    if (!source.known || source.fileName != fileName) return true;
    const FileIdentity now = fileIdentity(path);
    if (now == source.identity) return false;
    // Only the status-change time moved: a chmod, a new hard link, or a rewrite that put its
    // modification time back. The content tells them apart.
    return !onlyStatusChanged(now, source.identity) || !readsAs(path, source.fingerprint);
}

bool hasUnsavedWork(const MemorySource& source, const FrameMemory& memory, const DotGrid& grid,
                    int frameOnShow, int currentFrame) {
    if (memoryFingerprint(memory) != source.fingerprint) return true;
    return !gridIsFrame(memory, grid, frameOnShow) && !gridIsFrame(memory, grid, currentFrame);
}

}  // namespace dotreel
