#include "ui/icon.h"

#include <QList>
#include <QPainter>
#include <QTransform>

namespace dotreel {

namespace {

// The 16 colours of the picture: transparency and the classic 15-colour set.
QList<QRgb> sixteenColours() {
    return {qRgba(0, 0, 0, 0),   qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),
            qRgb(128, 128, 0),   qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128),
            qRgb(192, 192, 192), qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),
            qRgb(255, 255, 0),   qRgb(0, 0, 255),     qRgb(0, 255, 255), qRgb(255, 255, 255)};
}

}  // namespace

QImage makeAppIcon() {
    QImage canvas(kIconSize, kIconSize, QImage::Format_ARGB32);
    canvas.fill(Qt::transparent);
    {
        QPainter painter(&canvas);
        // Hard edges: every pixel takes one of the 16 colours without dithering.
        painter.setRenderHint(QPainter::Antialiasing, false);
        QTransform slant;
        slant.translate(24, 24);
        slant.rotate(-18);
        slant.shear(0.15, 0);
        painter.setTransform(slant);

        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0));  // the rim
        painter.drawRect(-21, -13, 42, 26);
        painter.setBrush(QColor(0, 255, 0));  // the panel
        painter.drawRect(-17, -9, 34, 18);
        painter.setBrush(QColor(0, 128, 0));  // a few lit dots on the panel
        for (int i = 0; i < 5; ++i) painter.drawRect(-14 + i * 6, -5 + (i % 2) * 4, 3, 3);
    }
    return canvas.convertToFormat(QImage::Format_Indexed8, sixteenColours(),
                                  Qt::ThresholdDither | Qt::ThresholdAlphaDither | Qt::AvoidDither);
}

}  // namespace dotreel
