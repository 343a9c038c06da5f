// Writes the editor's icon for the desktop: PNGs at the usual sizes and a scalable SVG, from the
// very drawing the window uses, so they never drift apart.
#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/errors.h"
#include "platform/textfile.h"
#include "ui/icon.h"

namespace {

constexpr int kSizes[] = {16, 24, 32, 48, 64, 128, 256};

void writeFile(const std::string& path, const QByteArray& bytes) {
    dotreel::writeFileAtomically(
        path, std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr,
                     "usage: %s FOLDER\nWrites FOLDER/dotreel-N.png (N = 16 ... 256) and "
                     "FOLDER/dotreel.svg.\n",
                     argv[0]);
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    try {
        for (const int size : kSizes) {
            QByteArray png;
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            if (!dotreel::makeAppIcon(size).save(&buffer, "PNG")) {
                std::fprintf(stderr, "%s: cannot encode the %d px icon\n", argv[0], size);
                return 1;
            }
            writeFile(folder + "dotreel-" + std::to_string(size) + ".png", png);
        }
        writeFile(folder + "dotreel.svg", dotreel::makeAppIconSvg());
    } catch (const dotreel::PlatformError& e) {
        std::fprintf(stderr, "%s\n", e.description().c_str());
        return 1;
    }
    return 0;
}
