#pragma once

#include <QString>

namespace SettingsKeys {
inline const QString Section = QStringLiteral("Properties");
inline const QString Top = QStringLiteral("Top");
inline const QString Left = QStringLiteral("Left");
inline const QString CommPort = QStringLiteral("CommPort");

inline const QString PositionDefault = QStringLiteral("200");
inline const QString CommPortDefault = QString();

// The history window's size in pixels and its span (0, 1, 2: a day, a week, a month).
inline const QString HistorySection = QStringLiteral("History");
inline const QString HistoryWidth = QStringLiteral("Width");
inline const QString HistoryHeight = QStringLiteral("Height");
inline const QString HistorySpan = QStringLiteral("Span");

// The MQTT broker the station publishes to; none unless Url is set.
inline const QString MqttSection = QStringLiteral("MQTT");
inline const QString MqttUrl = QStringLiteral("Url");
inline const QString MqttPassword = QStringLiteral("Password");
inline const QString MqttCaFile = QStringLiteral("CaFile");
inline const QString MqttDiscovery = QStringLiteral("Discovery");
inline const QString MqttDiscoveryPrefix = QStringLiteral("DiscoveryPrefix");
inline const QString MqttReadingEvery = QStringLiteral("ReadingEvery");
inline const QString MqttKeepAlive = QStringLiteral("KeepAlive");

// The address the station's web page listens on, ADDRESS:PORT; none unless set.
inline const QString WebSection = QStringLiteral("Web");
inline const QString WebListen = QStringLiteral("Listen");

// Optional map from port number to device, e.g. Com1=/dev/ttyUSB0.
inline const QString PortsSection = QStringLiteral("Ports");
inline QString portKey(int port)
{
    return QStringLiteral("Com") + QString::number(port);
}
} // namespace SettingsKeys
