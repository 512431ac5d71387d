#pragma once

#include <QString>

#include <memory>

class Clock;
class MainView;
class MqttPublisher;
class SettingsStore;
class Station;
class StationSite;

// What the station offers beyond its own face: publishing to an MQTT broker and its web page,
// each where this build has it and the command line or the settings ask for it. Neither may cost
// a reading: a wrong setting leaves the station reading and reporting without that part.
class NetworkFaces {
public:
    struct Asked {
        QString mqttUrl;
        QString mqttPasswordFile;
        QString listen;
    };
    // Why a part did not start, each empty where it started or was not asked for. The page has
    // told its own already on the view's status line.
    struct Problems {
        QString mqtt;
        QString web;
    };

    NetworkFaces();
    ~NetworkFaces();

    Problems start(const Asked& asked, const SettingsStore& settings, Station& station,
                   MainView& view, const Clock& clock);
    // The station ends cleanly: the broker hears "offline" now rather than the will later.
    void stop();
    // Says goodbye as stop() does and lets both parts go: before the station and view they
    // hold on to.
    void close();

private:
#ifdef KORA_HAVE_MQTT
    std::unique_ptr<MqttPublisher> m_publisher;
#endif
#ifdef KORA_HAVE_WEB
    std::unique_ptr<StationSite> m_site;
#endif
};
