#include "MqttSettings.h"

#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <QFile>
#include <QRegularExpression>
#include <QUrl>

namespace {
// A topic level of the host name: what MQTT and Home Assistant's ids take alike.
QString topicWord(const QString& text)
{
    QString word = text.toLower();
    word.replace(QRegularExpression(QStringLiteral("[^a-z0-9_-]")), QStringLiteral("_"));
    return word.isEmpty() ? QStringLiteral("station") : word;
}

bool readNumber(const SettingsStore& settings, const QString& key, int low, int high, int& value,
                QString& problem)
{
    const QString text =
        settings.GetSetting(SettingsKeys::MqttSection, key, QString::number(value)).trimmed();
    bool ok = false;
    const int number = text.toInt(&ok);
    if (!ok || number < low || number > high) {
        problem = QStringLiteral("%1=%2 in [%3] is no number of seconds from %4 to %5")
                      .arg(key, text, SettingsKeys::MqttSection)
                      .arg(low)
                      .arg(high);
        return false;
    }
    value = number;
    return true;
}
} // namespace

QString MqttSettings::parseUrl(const QString& url, const QString& hostName)
{
    const QUrl address(url, QUrl::StrictMode);
    const QString scheme = address.scheme().toLower();
    if (!address.isValid() || (scheme != u"mqtt" && scheme != u"mqtts") || address.host().isEmpty())
        return QStringLiteral("%1 is no broker address: mqtt://[USER@]HOST[:PORT][/PREFIX], or "
                              "mqtts:// for TLS")
            .arg(url);
    if (!address.password().isEmpty())
        return QStringLiteral("the broker address holds a password; it belongs in the settings "
                              "(Password in [MQTT]) or in the file of --mqtt-password-file");
    tls = scheme == u"mqtts";
    host = address.host();
    port = address.port(tls ? 8883 : 1883);
    user = address.userName();
    // A "#" begins what a URL calls its fragment, and "?" its query: as topic levels, they are
    // wildcards or no part of a prefix.
    QString path = address.path() + (address.hasFragment() ? QStringLiteral("#") : QString()) +
                   (address.hasQuery() ? QStringLiteral("?") : QString());
    while (path.startsWith(u'/'))
        path.remove(0, 1);
    while (path.endsWith(u'/'))
        path.chop(1);
    if (path.contains(u'+') || path.contains(u'#') || path.contains(u'?'))
        return QStringLiteral("the topic prefix %1 holds a wildcard (+ or #) or a ?").arg(path);
    prefix = path.isEmpty() ? QStringLiteral("kora/") + topicWord(hostName) : path;
    clientId = QStringLiteral("kora-") + topicWord(hostName + u'-' + prefix).left(64);
    return {};
}

QString MqttSettings::load(const SettingsStore& settings, const QString& urlOverride,
                           const QString& passwordFile, const QString& hostName)
{
    const QString url = urlOverride.isEmpty() ? settings.GetSetting(SettingsKeys::MqttSection,
                                                                    SettingsKeys::MqttUrl, {})
                                              : urlOverride;
    if (url.trimmed().isEmpty())
        return {};
    if (QString problem = parseUrl(url.trimmed(), hostName); !problem.isEmpty()) {
        host.clear();
        return problem;
    }
    password = settings.GetSetting(SettingsKeys::MqttSection, SettingsKeys::MqttPassword, {});
    if (!passwordFile.isEmpty()) {
        QFile file(passwordFile);
        if (!file.open(QIODevice::ReadOnly)) {
            host.clear();
            return QStringLiteral("the password file %1 cannot be read: %2")
                .arg(passwordFile, file.errorString());
        }
        password = QString::fromUtf8(file.readLine()).trimmed();
    }
    caFile = settings.GetSetting(SettingsKeys::MqttSection, SettingsKeys::MqttCaFile, {});
    discovery = settings
                    .GetSetting(SettingsKeys::MqttSection, SettingsKeys::MqttDiscovery,
                                QStringLiteral("true"))
                    .trimmed()
                    .toLower() != u"false";
    discoveryPrefix = settings.GetSetting(SettingsKeys::MqttSection,
                                          SettingsKeys::MqttDiscoveryPrefix, discoveryPrefix);
    QString problem;
    if (!readNumber(settings, SettingsKeys::MqttReadingEvery, 1, 3600, readingEverySeconds,
                    problem) ||
        !readNumber(settings, SettingsKeys::MqttKeepAlive, 5, 3600, keepAliveSeconds, problem)) {
        host.clear();
        return problem;
    }
    return {};
}
