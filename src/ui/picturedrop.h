// Pictures dropped onto the window: every picture (every frame of a GIF) fitted into 122 x 32
// with the import code of dotreel-tool and stored into the frame memory, one frame each.
#pragma once

#include <QObject>
#include <string>
#include <vector>

#include "core/frame.h"

namespace dotreel {

class frmMain;

struct DroppedPictures {
    int stored = 0;     // frames written, from the first frame on
    int leftOut = 0;    // pictures that would have gone past frame 267: not written
    std::string error;  // a file that could not be read; then nothing was written
};

// Reads and fits every picture before a byte of `memory` changes, then stores them into frames
// first, first + 1, ... up to frame 267. `dither` diffuses the error instead of a threshold.
DroppedPictures storeDroppedPictures(const std::vector<std::string>& paths, bool dither,
                                     FrameMemory& memory, int first);

// The window's drop target (an event filter the window owns): local files dragged over the
// window are taken; a drop goes to frmMain::dropPictures, with Shift held meaning dither.
class PictureDropTarget : public QObject {
    Q_OBJECT
public:
    explicit PictureDropTarget(frmMain& window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    frmMain& window_;
};

}  // namespace dotreel
