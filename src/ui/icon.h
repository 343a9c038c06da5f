// The window's icon, drawn in code: a green LCD panel with a black rim, at a slant.
#pragma once

#include <QImage>

namespace dotreel {

inline constexpr int kIconSize = 48;

// A 48 x 48 picture in at most 16 colours (an indexed image, one entry transparent).
QImage makeAppIcon();

}  // namespace dotreel
