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
    if (mapped.isEmpty())
        return platformDefault(port);
#ifdef Q_OS_WIN
    // Only a name that begins with upper-case COM is opened as a device; com17 would be a file
    // of that name in the working folder, and never there.
    if (mapped.startsWith(QLatin1String("com"), Qt::CaseInsensitive))
        return QStringLiteral("COM") + mapped.mid(3);
#endif
    return mapped;
}

QList<PortDevice::Present> PortDevice::present()
{
    QList<Present> devices;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        devices.append({info.systemLocation(), info.description()});
    return devices;
}

QString PortDevice::shownName(const QString& device)
{
    // Windows lists its ports by their device path, \\.\COM3; people know them as COM3.
    const QString devicePrefix = QStringLiteral("\\\\.\\");
    return device.startsWith(devicePrefix) ? device.mid(devicePrefix.size()) : device;
}

QString PortDevice::describe(const QString& device, const QList<Present>& present)
{
    // A /dev/serial/by-id name is a link to the device the system lists. Windows has no such
    // links, and there COM3 as a file path would be the device itself.
#ifdef Q_OS_WIN
    const QString target;
#else
    const QString target = QFileInfo(device).canonicalFilePath();
#endif
    for (const Present& candidate : present) {
        const QString listed = shownName(candidate.device);
        if (listed != shownName(device) && candidate.device != target)
            continue;
        if (!candidate.description.isEmpty())
            return device + QStringLiteral(" (") + candidate.description + QStringLiteral(")");
        break;
    }
    return device;
}

QString PortDevice::openFailureHint(const QList<Present>& present, const QString& settingsFile,
                                    bool registry)
{
    QStringList names;
    for (const Present& device : present)
        names << describe(shownName(device.device), present);
    const QString found = names.isEmpty()
                              ? QStringLiteral("No serial device was found on this computer.")
                              : QStringLiteral("Serial devices on this computer: ") +
                                    names.join(QStringLiteral(", ")) + QStringLiteral(".");
    if (registry) {
        // Com1 to Com16 are COM1 to COM16 already; a mapping is for the ports above.
        const QString example =
            present.isEmpty() ? QStringLiteral("COM17") : shownName(present.first().device);
        QString key = settingsFile;
        if (key.startsWith(u'\\'))
            key.remove(0, 1);
        return found + QStringLiteral(" A Com number is mapped to a device in the registry key ") +
               key + QStringLiteral("\\Ports, for example a string value Com1 with the data ") +
               example + QStringLiteral(".");
    }
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
    return description + QStringLiteral("\n\n") +
           openFailureHint(present(), settings.fileName(), settings.keptInRegistry());
}
