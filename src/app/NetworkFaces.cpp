#include "NetworkFaces.h"

#include <QSysInfo>

#ifdef KORA_HAVE_MQTT
#include "mqtt/MqttPublisher.h"
#endif
#ifdef KORA_HAVE_WEB
#include "web/StationSite.h"
#endif

NetworkFaces::NetworkFaces() = default;
NetworkFaces::~NetworkFaces() = default;

NetworkFaces::Problems NetworkFaces::start(const Asked& asked, const SettingsStore& settings,
                                           Station& station, MainView& view, const Clock& clock)
{
    Problems problems;
    QString pageUrl;
#ifdef KORA_HAVE_WEB
    m_site = StationSite::open(asked.listen, settings, station, view, clock, problems.web);
    if (m_site)
        pageUrl = m_site->pageUrl();
#endif
#ifdef KORA_HAVE_MQTT
    MqttSettings mqtt;
    mqtt.pageUrl = pageUrl;
    if (const QString problem =
            mqtt.load(settings, asked.mqttUrl, asked.mqttPasswordFile, QSysInfo::machineHostName());
        !problem.isEmpty()) {
        problems.mqtt = QStringLiteral("MQTT: ") + problem + QStringLiteral("; not publishing");
    } else if (mqtt.enabled()) {
        m_publisher = std::make_unique<MqttPublisher>(mqtt, station, view, clock);
        m_publisher->start();
    }
#endif
    Q_UNUSED(pageUrl)
    Q_UNUSED(asked)
    Q_UNUSED(settings)
    Q_UNUSED(station)
    Q_UNUSED(view)
    Q_UNUSED(clock)
    return problems;
}

void NetworkFaces::close()
{
    stop();
#ifdef KORA_HAVE_MQTT
    m_publisher.reset();
#endif
#ifdef KORA_HAVE_WEB
    m_site.reset();
#endif
}

void NetworkFaces::stop()
{
#ifdef KORA_HAVE_MQTT
    if (m_publisher)
        m_publisher->stop();
#endif
}
