#include "ui/icon.h"

#include <QList>
#include <QPainter>
#include <QTransform>
#include <cmath>
#include <numbers>
#include <vector>

namespace dotreel {

namespace {

// The 16 colours of the picture: transparency and the classic 15-colour set.
QList<QRgb> sixteenColours() {
    return {qRgba(0, 0, 0, 0),   qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),
            qRgb(128, 128, 0),   qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128),
            qRgb(192, 192, 192), qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),
            qRgb(255, 255, 0),   qRgb(0, 0, 255),     qRgb(0, 255, 255), qRgb(255, 255, 255)};
}

// The drawing, on a 48-unit canvas: rectangles around the centre, then slanted as a whole.
constexpr double kCentre = 24;
constexpr double kRotation = -18;  // degrees
constexpr double kShear = 0.15;    // horizontal, per unit of height

struct Shape {
    int x, y, width, height;
    QColor colour;
};

std::vector<Shape> shapes() {
    std::vector<Shape> list = {
        {-21, -13, 42, 26, QColor(0, 0, 0)},   // the rim
        {-17, -9, 34, 18, QColor(0, 255, 0)},  // the panel
    };
    for (int i = 0; i < 5; ++i)  // a few lit dots on the panel
        list.push_back({-14 + i * 6, -5 + (i % 2) * 4, 3, 3, QColor(0, 128, 0)});
    return list;
}

}  // namespace

QImage makeAppIcon(int size) {
    QImage canvas(size, size, QImage::Format_ARGB32);
    canvas.fill(Qt::transparent);
    {
        QPainter painter(&canvas);
        // Hard edges: every pixel takes one of the 16 colours without dithering.
        painter.setRenderHint(QPainter::Antialiasing, false);
        QTransform slant;
        slant.scale(double(size) / kIconSize, double(size) / kIconSize);
        slant.translate(kCentre, kCentre);
        slant.rotate(kRotation);
        slant.shear(kShear, 0);
        painter.setTransform(slant);
        painter.setPen(Qt::NoPen);
        for (const Shape& s : shapes()) {
            painter.setBrush(s.colour);
            painter.drawRect(s.x, s.y, s.width, s.height);
        }
    }
    return canvas.convertToFormat(QImage::Format_Indexed8, sixteenColours(),
                                  Qt::ThresholdDither | Qt::ThresholdAlphaDither | Qt::AvoidDither);
}

QByteArray makeAppIconSvg() {
    // skewX takes the angle whose tangent is the shear; SVG applies the list right to left,
    // as QTransform applies the calls above last to first.
    const double skewDegrees = std::atan(kShear) * 180.0 / std::numbers::pi;
    QByteArray svg = QByteArrayLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"48\" height=\"48\" "
        "viewBox=\"0 0 48 48\">\n");
    svg += QStringLiteral("  <g transform=\"translate(%1 %1) rotate(%2) skewX(%3)\">\n")
               .arg(kCentre)
               .arg(kRotation)
               .arg(skewDegrees, 0, 'f', 4)
               .toUtf8();
    for (const Shape& s : shapes())
        svg +=
            QStringLiteral("    <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" fill=\"%5\"/>\n")
                .arg(s.x)
                .arg(s.y)
                .arg(s.width)
                .arg(s.height)
                .arg(s.colour.name())
                .toUtf8();
    svg += "  </g>\n</svg>\n";
    return svg;
}

}  // namespace dotreel
