// Choosing the window's font family once, from the families the font database already lists.
#include "ui/fonts.h"

#include <QApplication>
#include <QFontDatabase>

namespace dotreel {

QStringList designFamilies() {
    return {QString::fromUtf8("ＭＳ ゴシック"), QStringLiteral("MS Gothic"),
            QStringLiteral("IPAGothic")};
}

QString chooseDesignFamily(const QStringList& installed) {
    const QStringList wanted = designFamilies();
    for (const QString& family : wanted)
        if (installed.contains(family, Qt::CaseInsensitive)) return family;
    return wanted.back();
}

const QString& designFamily() {
    // QFontDatabase::hasFamily would ask the font configuration to resolve each name as an
    // alias; the plain list is what the database read at start-up anyway.
    static const QString family = chooseDesignFamily(QFontDatabase::families());
    return family;
}

ApplicationFontDuring::ApplicationFontDuring(const QFont& font) : earlier_(QApplication::font()) {
    QApplication::setFont(font);
}

ApplicationFontDuring::~ApplicationFontDuring() { QApplication::setFont(earlier_); }

QFont designFont(double points) {
    QFont font;
    font.setFamilies({designFamily()});
    font.setPointSizeF(points);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    // The captions are Japanese and Latin in a fixed-pitch face: no glyph of theirs changes with
    // shaping, which was a third of the cost of laying out a caption (and of every playback
    // tick's frame number). Scripts that need shaping are still shaped.
    font.setStyleStrategy(QFont::PreferNoShaping);
    // The face's own hinting instructions: captions as crisp as the designed Gothic's at these
    // sizes, where the light auto-hinting many desktops default to leaves them soft, and a
    // quarter of the cost of drawing each glyph the first time (the first paint draws some 120).
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

}  // namespace dotreel
