// Writes the editor's window icon as a PNG for the desktop entry, from the very drawing the
// window uses, so the two never drift apart.
#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <cstdio>
#include <string_view>

#include "platform/errors.h"
#include "platform/textfile.h"
#include "ui/icon.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s ICON.png\n", argv[0]);
        return 2;
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!dotreel::makeAppIcon().save(&buffer, "PNG")) {
        std::fprintf(stderr, "%s: cannot encode the icon\n", argv[0]);
        return 1;
    }
    try {
        dotreel::writeFileAtomically(
            argv[1], std::string_view(png.constData(), static_cast<size_t>(png.size())));
    } catch (const dotreel::PlatformError& e) {
        std::fprintf(stderr, "%s\n", e.description().c_str());
        return 1;
    }
    return 0;
}
