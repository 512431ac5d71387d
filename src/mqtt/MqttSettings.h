#pragma once

#include <QCoreApplication>
#include <QString>

class SettingsStore;

// Where and how the station publishes to an MQTT broker: from one address,
// mqtt://[USER@]HOST[:PORT][/PREFIX] (mqtts:// for TLS), and the [MQTT] section of the settings.
struct MqttSettings {
    QString host;
    int port = 1883;
    bool tls = false;
    QString user;
    QString password;
    QString caFile;
    // The station's topics begin with it: kora/<host name> unless the address names one.
    QString prefix;
    // The station's name in Home Assistant's ids: the same for every run on this host and prefix.
    QString nodeId;
    // This running program's own: the window and the service on one host never share one, so
    // that neither throws the other off the broker.
    QString clientId;
    // The process whose client id it is.
    qint64 processId = QCoreApplication::applicationPid();
    // The station's page, where it serves one, for Home Assistant's link to it.
    QString pageUrl;
    bool discovery = true;
    QString discoveryPrefix = QStringLiteral("homeassistant");
    int readingEverySeconds = 10;
    int keepAliveSeconds = 30;

    // Reads an address into host, port, TLS, user and prefix. The host name is this computer's,
    // for the default prefix and the client id. Returns what is wrong with it, or nothing.
    QString parseUrl(const QString& url, const QString& hostName);
    // The whole set from the settings, the address on the command line in place of Url and the
    // password from a file in place of Password, where given. enabled() is false without an
    // address. Returns what is wrong, or nothing.
    QString load(const SettingsStore& settings, const QString& urlOverride,
                 const QString& passwordFile, const QString& hostName);
    bool enabled() const { return !host.isEmpty(); }
};
