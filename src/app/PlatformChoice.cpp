#include "PlatformChoice.h"

QByteArray PlatformChoice::preferred(const QProcessEnvironment& environment)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    if (environment.contains(QStringLiteral("QT_QPA_PLATFORM")))
        return {};
    if (environment.value(QStringLiteral("DISPLAY")).isEmpty())
        return {};
    return QByteArrayLiteral("xcb;wayland");
#else
    // Only Linux and BSD desktops choose between X and Wayland. Elsewhere a DISPLAY may be set
    // (Wine sets one, so do X servers for Windows and macOS) without either being there.
    Q_UNUSED(environment);
    return {};
#endif
}
