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

// What is wrong with a topic (or the first levels of one) that the station publishes under:
// nothing where a broker takes it. A wildcard or an empty level would make every publish fail,
// a NUL would cut the topic short.
QString topicProblem(const QString& topic)
{
    if (topic.isEmpty())
        return QStringLiteral("is empty");
    if (topic.contains(u'+') || topic.contains(u'#'))
        return QStringLiteral("holds a wildcard (+ or #)");
    if (topic.contains(QChar(0)))
        return QStringLiteral("holds a NUL");
    if (topic.startsWith(u'$'))
        return QStringLiteral("begins with $, which brokers keep for themselves");
    if (topic.split(u'/').contains(QString()))
        return QStringLiteral("has an empty level (a / at its start or end, or //)");
    // A lone half of a surrogate pair has no UTF-8.
    if (QString::fromUtf8(topic.toUtf8()) != topic)
        return QStringLiteral("is no UTF-8");
    if (topic.toUtf8().size() > 32768)
        return QStringLiteral("is too long");
    return {};
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
    QString path = address.path(QUrl::FullyDecoded) + (address.hasFragment() ? QStringLiteral("#") : QString()) +
                   (address.hasQuery() ? QStringLiteral("?") : QString());
    while (path.startsWith(u'/'))
        path.remove(0, 1);
    while (path.endsWith(u'/'))
        path.chop(1);
    if (path.contains(u'?'))
        return QStringLiteral("the topic prefix %1 holds a ?").arg(path);
    if (!path.isEmpty())
        if (const QString problem = topicProblem(path); !problem.isEmpty())
            return QStringLiteral("the topic prefix %1 %2").arg(path, problem);
    prefix = path.isEmpty() ? QStringLiteral("kora/") + topicWord(hostName) : path;
    nodeId = QStringLiteral("kora-") + topicWord(hostName + u'-' + prefix).left(64);
    clientId = nodeId + u'-' + QString::number(processId);
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
        // The first line as it stands, spaces and all: only its line end goes.
        QByteArray line = file.readLine(4096);
        if (line.endsWith('\n'))
            line.chop(1);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty()) {
            host.clear();
            return QStringLiteral("the password file %1 holds no password on its first line")
                .arg(passwordFile);
        }
        password = QString::fromUtf8(line);
    }
    caFile = settings.GetSetting(SettingsKeys::MqttSection, SettingsKeys::MqttCaFile, {});
    discovery = settings
                    .GetSetting(SettingsKeys::MqttSection, SettingsKeys::MqttDiscovery,
                                QStringLiteral("true"))
                    .trimmed()
                    .toLower() != u"false";
    discoveryPrefix = settings.GetSetting(SettingsKeys::MqttSection,
                                          SettingsKeys::MqttDiscoveryPrefix, discoveryPrefix);
    if (const QString problem = topicProblem(discoveryPrefix); discovery && !problem.isEmpty()) {
        host.clear();
        return QStringLiteral("%1=%2 in [%3] %4")
            .arg(SettingsKeys::MqttDiscoveryPrefix, discoveryPrefix, SettingsKeys::MqttSection,
                 problem);
    }
    QString problem;
    if (!readNumber(settings, SettingsKeys::MqttReadingEvery, 1, 3600, readingEverySeconds,
                    problem) ||
        !readNumber(settings, SettingsKeys::MqttKeepAlive, 5, 3600, keepAliveSeconds, problem)) {
        host.clear();
        return problem;
    }
    return {};
}
