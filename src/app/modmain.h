// The editor's shared state: one object, so that every test builds a fresh one.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "app/memorysource.h"
#include "core/dotgrid.h"
#include "core/frame.h"
#include "platform/textfile.h"

namespace dotreel {

struct ModMain {
    std::string strAppPath;   // program folder, ending in "/"
    std::string strDataPath;  // strAppPath + "データー/"
    std::string strSetPath;   // strAppPath + "設定/"
    std::string strProcName;  // name of the step now running, shown when it fails
    std::string strMsgAns;    // last answer of the step-failure dialog: "4" Retry, "2" Cancel
    int16_t intFileNo = 0;
    uint8_t bytDrawMode = 0;                // 0 click, 1 pencil, 2 eraser
    int16_t intFrameNo = 0;                 // the frame that store and undo use
    std::array<int16_t, 3> intPlayRange{};  // start frame, end frame, unused

    // 131073 bytes: kept on the heap so that the state can live anywhere.
    std::unique_ptr<FrameMemory> frameMemory = std::make_unique<FrameMemory>();
    FrameMemory& bytFrameData() { return *frameMemory; }
    const FrameMemory& bytFrameData() const { return *frameMemory; }

    // The frame file the memory was last completely loaded from or saved to.
    MemorySource memorySource;

    DotGrid dots;     // intDot and the view's fills
    FileTable files;  // open input files by number
};

}  // namespace dotreel
