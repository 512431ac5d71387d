#include "PortDevice.h"

#include "common/KoraError.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <QFileInfo>
#include <QSerialPortInfo>
#include <QStringList>

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

QList<PortDevice::Present> PortDevice::present()
{
    QList<Present> devices;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        devices.append({info.systemLocation(), info.description()});
    return devices;
}

QString PortDevice::describe(const QString& device, const QList<Present>& present)
{
    // A /dev/serial/by-id name is a link to the device the system lists.
    const QString target = QFileInfo(device).canonicalFilePath();
    for (const Present& candidate : present) {
        if (candidate.device != device && candidate.device != target)
            continue;
        if (!candidate.description.isEmpty())
            return device + QStringLiteral(" (") + candidate.description + QStringLiteral(")");
        break;
    }
    return device;
}

QString PortDevice::openFailureHint(const QList<Present>& present, const QString& settingsFile)
{
    QStringList names;
    for (const Present& device : present)
        names << describe(device.device, present);
    const QString found = names.isEmpty()
                              ? QStringLiteral("No serial device was found on this computer.")
                              : QStringLiteral("Serial devices on this computer: ") +
                                    names.join(QStringLiteral(", ")) + QStringLiteral(".");
    const QString example =
        present.isEmpty() ? QStringLiteral("/dev/ttyUSB0") : present.first().device;
    return found +
           QStringLiteral(" A Com number is mapped to a device in the [Ports] section of ") +
           settingsFile + QStringLiteral(", for example Com1=") + example + QStringLiteral(".");
}

QString PortDevice::explainFailure(int number, const QString& description,
                                   const SettingsStore& settings)
{
    if (number != ErrorNumber::PortMissing && number != ErrorNumber::PortOpenFailed)
        return description;
    return description + QStringLiteral("\n\n") + openFailureHint(present(), settings.fileName());
}
