#include "PlatformChoice.h"

QByteArray PlatformChoice::preferred(const QProcessEnvironment& environment)
{
    if (environment.contains(QStringLiteral("QT_QPA_PLATFORM")))
        return {};
    if (environment.value(QStringLiteral("DISPLAY")).isEmpty())
        return {};
    return QByteArrayLiteral("xcb;wayland");
}
