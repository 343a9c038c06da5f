#include "ui/inputmethod.h"

#include <QByteArray>
#include <QtGlobal>

namespace dotreel {

void preferNoInputMethod() {
    if (qEnvironmentVariableIsSet("QT_IM_MODULE") || qEnvironmentVariableIsSet("QT_IM_MODULES"))
        return;
    qputenv("QT_IM_MODULE", QByteArrayLiteral("none"));
}

}  // namespace dotreel
