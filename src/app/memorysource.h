// Which frame file the frame memory was last completely loaded from or saved to, with what
// identified that file then, and a fingerprint of the memory at that moment. A save asks before
// it replaces any other file, or that file once someone else has changed it; closing the window
// asks while the memory differs from what was loaded or saved. A plain value, so that whoever
// keeps earlier states of the memory can keep this record with them.
#pragma once

#include <cstdint>
#include <string>

#include "core/dotgrid.h"
#include "core/frame.h"
#include "platform/fileidentity.h"

namespace dotreel {

// A 64-bit fingerprint of the stored bytes 0..131071.
uint64_t memoryFingerprint(const FrameMemory& memory);
// The fingerprint of a memory that is all 0, as the editor's is before anything is loaded.
uint64_t emptyMemoryFingerprint();

struct MemorySource {
    // False until start-up's frame-file step has completed: a memory that nothing was loaded
    // into counts as coming from no file at all.
    bool known = false;
    std::string fileName;   // "FirstData.txt", "SecondData.txt" or "Data.txt"
    FileIdentity identity;  // the file as it stood then; `exists` false: it was absent
    uint64_t fingerprint = emptyMemoryFingerprint();  // the memory at that moment

    bool operator==(const MemorySource&) const = default;
};

// The record for a memory that now holds `fileName` in `dataFolder` (ending in "/"), the file
// as it now stands on disk (its letter case ignored).
MemorySource sourceOnDisk(const std::string& dataFolder, const std::string& fileName,
                          const FrameMemory& memory);
MemorySource sourceOf(const std::string& fileName, const FileIdentity& identity,
                      const FrameMemory& memory);

// Whether saving to `fileName` at `path` must ask first: the path names an existing regular file
// (a link to one included) that is not the recorded source, or has changed since. A file whose
// status-change time alone moved (its mode changed, say) has changed only when it no longer
// reads as the memory recorded. A missing path, or one that is no regular file (the write will
// fail and say so), asks nothing.
bool replacingUnknownContent(const MemorySource& source, const std::string& fileName,
                             const std::string& path);

// Whether closing would lose work: the memory differs from what was last loaded or saved, or
// the grid holds drawing that is neither the frame on show nor stored into the current frame.
bool hasUnsavedWork(const MemorySource& source, const FrameMemory& memory, const DotGrid& grid,
                    int frameOnShow, int currentFrame);

}  // namespace dotreel
