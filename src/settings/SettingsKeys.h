#pragma once

#include <QString>

namespace SettingsKeys {
inline const QString Section = QStringLiteral("Properties");
inline const QString Top = QStringLiteral("Top");
inline const QString Left = QStringLiteral("Left");
inline const QString CommPort = QStringLiteral("CommPort");

inline const QString PositionDefault = QStringLiteral("200");
inline const QString CommPortDefault = QString();

// Optional map from port number to device, e.g. Com1=/dev/ttyUSB0.
inline const QString PortsSection = QStringLiteral("Ports");
inline QString portKey(int port)
{
    return QStringLiteral("Com") + QString::number(port);
}
} // namespace SettingsKeys
