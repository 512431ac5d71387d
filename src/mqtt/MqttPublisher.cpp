#include "MqttPublisher.h"

#include "common/Version.h"
#include "measurement/Conditioning.h"
#include "measurement/MainView.h"
#include "measurement/ReportWriter.h"
#include "station/Log.h"
#include "station/Station.h"
#include "station/StationJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using StationJson::compact;

MqttPublisher::MqttPublisher(const MqttSettings& settings, Station& station, MainView& view,
                             const Clock& clock, QObject* parent)
    : QObject(parent), m_settings(settings), m_view(view), m_clock(clock),
      m_client(clientOptions(settings))
{
    connect(&station, &Station::readingTaken, this, &MqttPublisher::onReading);
    connect(&station, &Station::blockDone, this, [this](const BlockSummary& block) {
        m_client.publish(topic("report"), reportMessage(block, m_clock.now()), true);
    });
    connect(&station, &Station::portNoticed, this, &MqttPublisher::onPortNoticed);
    connect(&m_client, &MqttClient::connected, this, [this] {
        QString unsent;
        if (m_unsentReadings > 0)
            unsent = QStringLiteral("; %1 readings taken meanwhile were not sent")
                         .arg(std::exchange(m_unsentReadings, 0));
        tell(QStringLiteral("connected"),
             QStringLiteral("MQTT broker %1:%2 connected; publishing under %3%4")
                 .arg(m_settings.host)
                 .arg(m_settings.port)
                 .arg(m_settings.prefix, unsent));
    });
    connect(&m_client, &MqttClient::received, this, &MqttPublisher::onMessage);
    connect(&m_client, &MqttClient::refused, this,
            [this](const QString& topic, const QString& reason) {
                tell(QStringLiteral("refused a topic"),
                     QStringLiteral("MQTT: %1 cannot be published: %2").arg(topic, reason));
            });
    connect(&m_client, &MqttClient::unreachable, this, [this](const QString& reason) {
        tell(QStringLiteral("unreachable"),
             QStringLiteral("MQTT broker %1:%2 unreachable: %3; retrying by itself")
                 .arg(m_settings.host)
                 .arg(m_settings.port)
                 .arg(reason));
    });
}

MqttPublisher::~MqttPublisher() = default;

MqttClient::Options MqttPublisher::clientOptions(const MqttSettings& settings)
{
    return {settings.host,
            settings.port,
            settings.clientId,
            settings.user,
            settings.password,
            settings.caFile,
            settings.tls,
            settings.keepAliveSeconds,
            settings.prefix + QStringLiteral("/status"),
            "offline"};
}

void MqttPublisher::start()
{
    m_client.publish(topic("status"), "online", true);
    // Which program publishes here: another under the same prefix is found by its id.
    m_client.publish(topic("client"), m_settings.clientId.toUtf8(), true);
    // The status first: whether another is online is known when its id comes.
    m_client.subscribe(topic("status"));
    m_client.subscribe(topic("client"));
    publishDiscovery();
    // Home Assistant asks for the configs again when it starts.
    if (m_settings.discovery)
        m_client.subscribe(m_settings.discoveryPrefix + QStringLiteral("/status"));
    m_client.start();
}

void MqttPublisher::publishDiscovery()
{
    for (const auto& [name, message] : discoveryMessages(m_settings, !m_settings.discovery))
        m_client.publish(name, message, true);
}

void MqttPublisher::onMessage(const QString& name, const QByteArray& payload, bool retained)
{
    if (m_stopped)
        return;
    // What was left at the broker before this connection: a station that ran here before.
    if (name == topic("status") && retained)
        m_othersOnline = payload == "online";
    if (name == topic("client") && !payload.isEmpty() && payload != m_settings.clientId.toUtf8()) {
        // Another that runs now: one that came after this one, or one still online when this
        // one came (not this station's own earlier run, which said "offline" when it ended).
        // Both go on publishing; the owner is told once, and each keeps the station shown as
        // online while it runs.
        if ((!retained || m_othersOnline) && !std::exchange(m_toldAnother, true))
            tell(QStringLiteral("prefix shared"),
                 QStringLiteral("MQTT: another KORA (%1) publishes under %2 too; give each "
                                "station a prefix of its own (--mqtt or Url in [MQTT])")
                     .arg(QString::fromUtf8(payload), m_settings.prefix));
    } else if (name == topic("status") && payload == "offline") {
        // Another program's goodbye or will under this prefix: this one still runs.
        m_client.publish(topic("status"), "online", true);
    } else if (name == m_settings.discoveryPrefix + QStringLiteral("/status") &&
               payload == "online") {
        publishDiscovery();
    }
}

void MqttPublisher::stop()
{
    m_stopped = true;
    m_client.stop("offline");
}

QString MqttPublisher::topic(const char* name) const
{
    return m_settings.prefix + u'/' + QLatin1String(name);
}

void MqttPublisher::onReading(double temperature, double humidity)
{
    // The first reading once connected goes out at once; those before it could not.
    const qint64 now = m_clock.monotonicMs();
    if (!m_client.isConnected()) {
        // Old readings are worth nothing to a broker that comes back: the next one goes.
        ++m_unsentReadings;
        return;
    }
    if (m_lastReadingMs >= 0 && now - m_lastReadingMs < m_settings.readingEverySeconds * 1000LL)
        return;
    m_lastReadingMs = now;
    m_client.publish(topic("reading"), readingMessage(temperature, humidity, m_clock.now()), false);
}

void MqttPublisher::onPortNoticed(PortEvent what, const QString& shown)
{
    m_client.publish(topic("port"), portMessage(PortEvents::state(what), shown, m_clock.now()),
                     true);
}

// The broker's comings and goings on the status line and in the log, once each.
void MqttPublisher::tell(const QString& what, const QString& whole)
{
    const QString stamp = ReportWriter::statusStamp(m_clock.now()) + u' ';
    m_view.showNotice(stamp + QStringLiteral("MQTT ") + what, stamp + whole);
}

QByteArray MqttPublisher::reportMessage(const BlockSummary& block, const QDateTime& at)
{
    return compact(StationJson::block(block, at));
}

QByteArray MqttPublisher::readingMessage(double temperature, double humidity, const QDateTime& at)
{
    return compact(StationJson::reading(temperature, humidity, at));
}

QByteArray MqttPublisher::portMessage(const QString& state, const QString& text,
                                      const QDateTime& at)
{
    return compact(StationJson::port(state, text, at));
}

QList<QPair<QString, QByteArray>> MqttPublisher::discoveryMessages(const MqttSettings& settings,
                                                                   bool remove)
{
    const QString node = settings.nodeId;
    QJsonObject device{{"identifiers", QJsonArray{node}},
                       {"name", "KORA"},
                       {"manufacturer", "The KORA developers"},
                       {"model", "KORA weather station"},
                       {"sw_version", Version::text()}};
    // What sent the configs, as Home Assistant lists it; the station's page where it has one.
    QJsonObject origin{{"name", "KORA"}, {"sw_version", Version::text()}};
    if (!settings.pageUrl.isEmpty()) {
        device.insert("configuration_url", settings.pageUrl);
        origin.insert("support_url", settings.pageUrl);
    }
    struct Entity {
        const char* component;
        const char* key;
        const char* name;
        const char* deviceClass;
        const char* unit;
        const char* topic;
        const char* value;
        int decimals; // shown; -1 for none
    };
    static const Entity entities[] = {
        {"sensor", "temperature", "Temperature", "temperature", "°C", "reading",
         "{{ value_json.temperature }}", 1},
        {"sensor", "humidity", "Humidity", "humidity", "%", "reading", "{{ value_json.humidity }}",
         0},
        // Null where the air is dry: rendered "None", which Home Assistant takes for unknown.
        {"sensor", "dew_point", "Dew point", "temperature", "°C", "reading",
         "{{ value_json.dewPoint }}", 1},
        {"sensor", "temperature_low", "Temperature low", "temperature", "°C", "report",
         "{{ value_json.temperature.low }}", 1},
        {"sensor", "temperature_high", "Temperature high", "temperature", "°C", "report",
         "{{ value_json.temperature.high }}", 1},
        {"sensor", "humidity_low", "Humidity low", "humidity", "%", "report",
         "{{ value_json.humidity.low }}", 1},
        {"sensor", "humidity_high", "Humidity high", "humidity", "%", "report",
         "{{ value_json.humidity.high }}", 1},
        {"binary_sensor", "port_problem", "Sensor port", "problem", nullptr, "port",
         "{{ 'OFF' if value_json.state == 'reading' else 'ON' }}", -1},
    };
    QList<QPair<QString, QByteArray>> messages;
    for (const Entity& entity : entities) {
        const QString topic = settings.discoveryPrefix + u'/' + QLatin1String(entity.component) +
                              u'/' + node + u'/' + QLatin1String(entity.key) +
                              QStringLiteral("/config");
        if (remove) {
            messages.append({topic, QByteArray()});
            continue;
        }
        QJsonObject config{{"name", QString::fromUtf8(entity.name)},
                           {"unique_id", node + u'_' + QLatin1String(entity.key)},
                           // Home Assistant's entity id, which object_id gave before 2025.10:
                           // the same, with the hyphens its slug had made underscores.
                           {"default_entity_id", QLatin1String(entity.component) + u'.' +
                                                     QString(node).replace(u'-', u'_') + u'_' +
                                                     QLatin1String(entity.key)},
                           {"device_class", entity.deviceClass},
                           {"state_topic", settings.prefix + u'/' + QLatin1String(entity.topic)},
                           {"value_template", entity.value},
                           {"availability_topic", settings.prefix + QStringLiteral("/status")},
                           {"device", device},
                           {"origin", origin}};
        if (entity.decimals >= 0)
            config.insert("suggested_display_precision", entity.decimals);
        if (entity.unit) {
            config.insert("unit_of_measurement", QString::fromUtf8(entity.unit));
            config.insert("state_class", "measurement");
        }
        messages.append({topic, compact(config)});
    }
    return messages;
}
