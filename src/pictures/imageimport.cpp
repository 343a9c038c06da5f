#include "pictures/imageimport.h"

#include <QImageReader>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "core/dotgrid.h"
#include "platform/quietstderr.h"

namespace dotreel::pictures {

namespace {

// Qt and the libraries under it report trouble with a picture as warnings on the terminal
// ("libpng error: ...", "... allocation limit ..."); while a picture is read they are caught
// here instead, and the command reports one clear message of its own.
std::vector<std::string>& caughtWarnings() {
    static std::vector<std::string> warnings;
    return warnings;
}

void catchWarning(QtMsgType, const QMessageLogContext&, const QString& message) {
    caughtWarnings().push_back(message.toStdString());
}

class WarningCatcher {
public:
    WarningCatcher() : previous_(qInstallMessageHandler(catchWarning)) { caughtWarnings().clear(); }
    ~WarningCatcher() { qInstallMessageHandler(previous_); }
    WarningCatcher(const WarningCatcher&) = delete;
    WarningCatcher& operator=(const WarningCatcher&) = delete;

    bool mentions(const char* text) const {
        for (const auto& w : caughtWarnings())
            if (w.find(text) != std::string::npos) return true;
        return quiet_.caught().find(text) != std::string::npos;
    }

private:
    QtMessageHandler previous_;
    // libpng writes its errors straight to the terminal, past Qt's message handler.
    QuietStderr quiet_;
};

std::string tooLarge(const std::string& path, QSize size) {
    std::string shown = "picture '" + path + "' is too large";
    if (size.isValid())
        shown +=
            ": " + std::to_string(size.width()) + "x" + std::to_string(size.height()) + " pixels";
    return shown + "; the limit is " + std::to_string(QImageReader::allocationLimit()) +
           " MB of pixels (4 bytes each)";
}

}  // namespace

std::vector<QImage> readPictures(const std::string& path) {
    const WarningCatcher catcher;
    QImageReader reader(QString::fromStdString(path));
    // Pictures are used at their stored size; a JPEG's orientation tag still applies.
    reader.setAutoTransform(true);
    std::vector<QImage> pictures;
    if (!reader.canRead())
        throw PictureError("cannot read picture '" + path +
                           "': " + reader.errorString().toStdString());
    const QSize size = reader.size();
    const long long limit = static_cast<long long>(QImageReader::allocationLimit()) << 20;
    if (size.isValid() && limit > 0 &&
        static_cast<long long>(size.width()) * size.height() * 4 > limit)
        throw PictureError(tooLarge(path, size));
    // An animation yields its frames one read() at a time; a still image yields one.
    for (;;) {
        QImage picture = reader.read();
        if (picture.isNull()) break;
        pictures.push_back(std::move(picture));
        if (!reader.supportsAnimation() || !reader.canRead()) break;
    }
    if (pictures.empty()) {
        if (catcher.mentions("allocation limit")) throw PictureError(tooLarge(path, size));
        throw PictureError("cannot read picture '" + path +
                           "': " + reader.errorString().toStdString());
    }
    return pictures;
}

std::optional<LcdPitch> lcdPitchOf(QSize size) {
    for (int scale = 2; scale * kColumns < size.width(); ++scale) {
        const int gap = size.width() - scale * kColumns;
        if (gap >= 1 && gap < scale && size.height() == scale * kRows + gap)
            return LcdPitch{scale, gap};
    }
    return std::nullopt;
}

QImage fitToLcd(const QImage& picture, bool invert) {
    // Transparent pixels show the background, which must end up unlit either way round.
    const QColor background = invert ? Qt::black : Qt::white;
    QImage flat(picture.size(), QImage::Format_RGB32);
    flat.fill(background);
    {
        QPainter painter(&flat);
        painter.drawImage(0, 0, picture);
    }

    // A rendering of the LCD (as export draws it) is read dot by dot at the dots' centres:
    // scaling it would blend the panel between the dots into them.
    if (const auto pitch = lcdPitchOf(flat.size())) {
        QImage dots(kColumns, kRows, QImage::Format_RGB32);
        const int inset = pitch->gap + (pitch->scale - pitch->gap) / 2;
        for (int row = 0; row < kRows; ++row)
            for (int column = 0; column < kColumns; ++column)
                dots.setPixel(
                    column, row,
                    flat.pixel(inset + column * pitch->scale, inset + row * pitch->scale));
        return dots.convertToFormat(QImage::Format_Grayscale8);
    }

    const double factor = std::min(static_cast<double>(kColumns) / flat.width(),
                                   static_cast<double>(kRows) / flat.height());
    const int w = std::clamp(static_cast<int>(std::lround(flat.width() * factor)), 1, kColumns);
    const int h = std::clamp(static_cast<int>(std::lround(flat.height() * factor)), 1, kRows);
    QImage scaled = flat;
    if (w != flat.width() || h != flat.height()) {
        // Enlarging pixel art by nearest neighbour keeps its edges; shrinking averages.
        const auto mode = factor >= 1.0 ? Qt::FastTransformation : Qt::SmoothTransformation;
        scaled = flat.scaled(w, h, Qt::IgnoreAspectRatio, mode);
    }

    QImage fitted(kColumns, kRows, QImage::Format_RGB32);
    fitted.fill(background);
    {
        QPainter painter(&fitted);
        painter.drawImage((kColumns - w) / 2, (kRows - h) / 2, scaled);
    }
    return fitted.convertToFormat(QImage::Format_Grayscale8);
}

void storePicture(const QImage& fitted, const ImportOptions& options, FrameMemory& store,
                  int frame) {
    DotGrid grid;
    pictureToGrid(fitted, options, grid);
    Bit_Data_Set(store, grid, frame);
}

QImage framePicture(std::span<const uint8_t, kFrameBytes> bytes) {
    QImage picture(kColumns, kRows, QImage::Format_Mono);
    picture.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    for (int row = 0; row < kRows; ++row)
        for (int column = 0; column < kColumns; ++column) {
            const int index = dotIndexAt(row, column);
            picture.setPixel(column, row,
                             (bytes[static_cast<size_t>(index / 8)] >> (index % 8)) & 1U);
        }
    return picture;
}

void pictureToGrid(const QImage& fitted, const ImportOptions& options, DotGrid& grid) {
    // Grey levels with the lit side low, so that one rule serves both polarities.
    std::vector<double> level(static_cast<size_t>(kColumns * kRows));
    for (int row = 0; row < kRows; ++row) {
        const uchar* line = fitted.constScanLine(row);
        for (int column = 0; column < kColumns; ++column) {
            const int grey = line[column];
            level[(static_cast<size_t>(row) * kColumns) + static_cast<size_t>(column)] =
                options.invert ? 255 - grey : grey;
        }
    }

    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < kColumns; ++column) {
            const auto at = (static_cast<size_t>(row) * kColumns) + static_cast<size_t>(column);
            const double value = level[at];
            const bool on = value < options.threshold;
            grid.intDot[static_cast<size_t>(dotIndexAt(row, column))] = on ? kDotOn : kDotOff;
            if (!options.dither) continue;
            // Pass the rounding error on to the neighbours not yet decided.
            const double error = value - (on ? 0.0 : 255.0);
            auto spread = [&](int dr, int dc, double weight) {
                const int r = row + dr;
                const int c = column + dc;
                if (r < kRows && c >= 0 && c < kColumns)
                    level[(static_cast<size_t>(r) * kColumns) + static_cast<size_t>(c)] +=
                        error * weight;
            };
            spread(0, 1, 7.0 / 16);
            spread(1, -1, 3.0 / 16);
            spread(1, 0, 5.0 / 16);
            spread(1, 1, 1.0 / 16);
        }
    }
}

}  // namespace dotreel::pictures
