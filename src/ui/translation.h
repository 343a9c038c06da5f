// Qt's own translations for the texts Qt supplies itself (the standard buttons of the dialogs),
// so that a Japanese window does not ask "Retry" / "Cancel".
#pragma once

#include <QLocale>

class QCoreApplication;

namespace dotreel {

// Loads qtbase_<language>.qm for `locale` from Qt's translations folder into `app`. Returns
// false when there is none (English, or the translations package is not installed): Qt's
// English texts stay.
bool installQtTranslation(QCoreApplication& app, const QLocale& locale);

}  // namespace dotreel
