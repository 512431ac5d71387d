#pragma once

#include <QList>
#include <QString>

class SettingsStore;

namespace PortDevice {
// The platform's own device for a port number: COM<n> on Windows, /dev/ttyS<n-1> elsewhere.
QString platformDefault(int port);
// The device mapped to the port in the settings ("Ports/Com<n>"), else the platform's own.
QString forPort(int port, const SettingsStore& settings);

// A serial device present on this machine, with what the system says it is, if anything.
struct Present {
    QString device;
    QString description;
};
QList<Present> present();

// A device as people know it: COM3 where Windows lists \\.\COM3.
QString shownName(const QString& device);

// The device a port stands for, with its description where the system knows the device, as
// shown beside the port's number.
QString describe(const QString& device, const QList<Present>& present);

// Told when a port cannot be opened: the serial devices that do exist, and where to map one:
// in the settings file, or in the registry key the settings are kept in.
QString openFailureHint(const QList<Present>& present, const QString& settingsFile,
                        bool registry = false);
// A failure's description, with that hint after it when the failure is a port that would not
// open. Looking for the devices takes a while, so only a message the user reads asks for it.
QString explainFailure(int number, const QString& description, const SettingsStore& settings);
} // namespace PortDevice
