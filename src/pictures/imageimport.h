// Pictures turned into frames: every picture (every frame of an animated GIF) read through Qt's
// image readers, fitted into 122 x 32 dots keeping its aspect, then made two-level by a
// threshold or by error diffusion. A dark pixel is a lit dot, as on the LCD. Shared by the
// editor (pictures dropped onto the window) and dotreel-tool's import.
#pragma once

#include <QImage>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/dotgrid.h"
#include "core/frame.h"

namespace dotreel::pictures {

// A picture file that cannot be read; the text names the file and says why.
class PictureError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct ImportOptions {
    int threshold = 128;  // a pixel darker than this (grey 0..255) lights its dot
    bool dither = false;  // Floyd-Steinberg error diffusion instead of the plain threshold
    bool invert = false;  // light pixels light the dots instead
};

// Every picture in the file, in order: one for a still image, all of them for an animation.
// Throws PictureError when the file cannot be read or holds no picture.
std::vector<QImage> readPictures(const std::string& path);

// The dot pitch of a picture that has the size of an LCD rendering with panel between the dots:
// 122 x scale + gap by 32 x scale + gap pixels, 1 <= gap < scale.
struct LcdPitch {
    int scale;
    int gap;
};
std::optional<LcdPitch> lcdPitchOf(QSize size);

// The picture as 122 x 32 grey levels: transparent parts count as unlit, the picture is scaled
// to fit keeping its aspect (whole-number enlargements keep hard edges), centred on an unlit
// background. A picture of an LCD rendering's size is read at its dots' centres instead.
QImage fitToLcd(const QImage& picture, bool invert);

// The fitted picture made two-level into the dot state of `grid` (intDot only, not the look).
void pictureToGrid(const QImage& fitted, const ImportOptions& options, DotGrid& grid);

// A frame as a 122 x 32 one-bit picture, lit dots black on white, as the LCD shows it.
QImage framePicture(std::span<const uint8_t, kFrameBytes> bytes);

// Stores the fitted picture into frame `frame` of `store`, through the editor's own transfer.
void storePicture(const QImage& fitted, const ImportOptions& options, FrameMemory& store,
                  int frame);

}  // namespace dotreel::pictures
