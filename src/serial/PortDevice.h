#pragma once

#include <QString>

class SettingsStore;

namespace PortDevice {
// The platform's own device for a port number: COM<n> on Windows, /dev/ttyS<n-1> elsewhere.
QString platformDefault(int port);
// The device mapped to the port in the settings ("Ports/Com<n>"), else the platform's own.
QString forPort(int port, const SettingsStore& settings);
} // namespace PortDevice
