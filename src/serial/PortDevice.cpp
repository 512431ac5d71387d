#include "PortDevice.h"

#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

QString PortDevice::platformDefault(int port)
{
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(port);
#else
    return QStringLiteral("/dev/ttyS%1").arg(port - 1);
#endif
}

QString PortDevice::forPort(int port, const SettingsStore& settings)
{
    const QString mapped =
        settings.GetSetting(SettingsKeys::PortsSection, SettingsKeys::portKey(port), QString())
            .trimmed();
    return mapped.isEmpty() ? platformDefault(port) : mapped;
}
