// The window's icon, drawn in code: a green LCD panel with a black rim, at a slant.
#pragma once

#include <QByteArray>
#include <QImage>

namespace dotreel {

inline constexpr int kIconSize = 48;

// A `size` x `size` picture in at most 16 colours (an indexed image, one entry transparent);
// the window uses the 48 x 48 one, the desktop the others.
QImage makeAppIcon(int size = kIconSize);

// The same drawing as a scalable SVG document, from the same shapes and slant.
QByteArray makeAppIconSvg();

}  // namespace dotreel
