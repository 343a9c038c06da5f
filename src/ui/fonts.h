// The window's font: the designed Japanese Gothic face where it is installed, else its
// metric-compatible stand-in, chosen once per run.
#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

namespace dotreel {

// The families in order of preference: the designed face under its two names, then the stand-in.
QStringList designFamilies();

// The first of designFamilies() that `installed` holds; the stand-in when it holds none of them.
QString chooseDesignFamily(const QStringList& installed);

// The family chosen among the installed ones at the first call.
const QString& designFamily();

// Makes `font` the application's font for its lifetime, then puts the earlier one back.
class ApplicationFontDuring {
public:
    explicit ApplicationFontDuring(const QFont& font);
    ~ApplicationFontDuring();
    ApplicationFontDuring(const ApplicationFontDuring&) = delete;
    ApplicationFontDuring& operator=(const ApplicationFontDuring&) = delete;

private:
    QFont earlier_;
};

// The window's font in `points`, naming the chosen family alone: a list that starts with absent
// names sends every font set-up through the font configuration's search for them again.
QFont designFont(double points);

}  // namespace dotreel
