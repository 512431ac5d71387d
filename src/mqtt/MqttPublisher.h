#pragma once

#include "MqttClient.h"
#include "MqttSettings.h"
#include "station/PortEvent.h"

#include <QDateTime>
#include <QObject>

class Clock;
class MainView;
class Station;
struct BlockSummary;

// The station on an MQTT broker: each block's report (retained), the current reading at most
// every ReadingEvery seconds, the port's state (retained) and the station's availability, the
// client's will. With discovery, Home Assistant finds a device "KORA" with its sensors by itself.
//
// Topics under the prefix: status (online, offline), report, reading, port, and client: the client
// id of the program that publishes, by which another KORA under the same prefix is found. Numbers have a point
// whatever the locale; times are ISO 8601 with their offset.
class MqttPublisher : public QObject {
    Q_OBJECT
public:
    MqttPublisher(const MqttSettings& settings, Station& station, MainView& view,
                  const Clock& clock, QObject* parent = nullptr);
    ~MqttPublisher() override;

    void start();
    // The station ends: "offline" in place of the will.
    void stop();

    // The connection that the settings describe, with the station's will.
    static MqttClient::Options clientOptions(const MqttSettings& settings);
    static QByteArray reportMessage(const BlockSummary& block, const QDateTime& at);
    static QByteArray readingMessage(double temperature, double humidity, const QDateTime& at);
    static QByteArray portMessage(const QString& state, const QString& text, const QDateTime& at);
    // Home Assistant's configs: topic and message, each retained; empty messages remove them.
    static QList<QPair<QString, QByteArray>> discoveryMessages(const MqttSettings& settings,
                                                               bool remove);

private:
    void onReading(double temperature, double humidity);
    void onPortNoticed(PortEvent what, const QString& shown);
    void onMessage(const QString& topic, const QByteArray& payload, bool retained);
    void publishDiscovery();
    void tell(const QString& what, const QString& whole);
    QString topic(const char* name) const;

    MqttSettings m_settings;
    MainView& m_view;
    const Clock& m_clock;
    MqttClient m_client;
    qint64 m_lastReadingMs = -1;
    int m_unsentReadings = 0;
    bool m_toldAnother = false;
    bool m_othersOnline = false;
    bool m_stopped = false;
};
