#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QStringList>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>

#include <map>
#include <memory>

// A connection to an MQTT broker, kept by libmosquitto and driven from Qt's event loop: its socket
// is watched by notifiers, its keep-alive by a timer. Only the connect, which resolves the host
// and waits for the TCP handshake, runs on a thread of its own, which touches nothing but the
// libmosquitto handle; so a broker that is far away, or a name that does not resolve, never holds
// up a reading.
//
// A lost or refused connection is tried again after 1 s, then twice as long each time up to 60 s;
// the delay starts again from 1 s only once a connection has stayed up for StableMs, so that a
// broker (or a proxy) that accepts and at once drops a connection is not hammered.
// Retained messages are kept, the latest per topic, and sent again on each connection, so that a
// broker that restarted without its store hears the station's state again.
class MqttClient : public QObject {
    Q_OBJECT
public:
    struct Options {
        QString host;
        int port = 1883;
        QString clientId;
        QString user;
        QString password;
        // TLS when set: the certificate authority that signed the broker's certificate.
        QString caFile;
        bool tls = false;
        int keepAliveSeconds = 30;
        // Sent by the broker for the client once the connection is lost without a goodbye.
        QString willTopic;
        QByteArray willPayload;
    };

    static constexpr int FirstRetryMs = 1000;
    static constexpr int LastRetryMs = 60 * 1000;
    static constexpr int StableMs = 30 * 1000;

    explicit MqttClient(Options options, QObject* parent = nullptr);
    ~MqttClient() override;

    void start();
    // Retained messages are kept and sent again on every connection; others are dropped while
    // there is none (and counted).
    void publish(const QString& topic, const QByteArray& payload, bool retain);
    // Subscribes to the topic filter on this and every later connection; what comes is told by
    // received().
    void subscribe(const QString& filter);
    // Sends the payload to the will's topic and says goodbye, so that the will is not sent.
    void stop(const QByteArray& lastWords);

    bool isConnected() const { return m_connected; }
    int droppedMessages() const { return m_dropped; }
    int retryDelayMs() const { return m_retryMs; }
    // A connection counts as good, and the delay starts again, once it stayed up this long; for
    // tests, which cannot wait.
    void setStableMs(int milliseconds) { m_stableMs = milliseconds; }

signals:
    void connected();
    void received(const QString& topic, const QByteArray& payload, bool retained);
    // The library would not take a retained message (a topic or payload it refuses): told once a
    // topic, with the reason.
    void refused(const QString& topic, const QString& reason);
    // Told once per outage, with the reason, and not again until connected.
    void unreachable(const QString& reason);

private:
    struct Handle;
    void connectNow();
    void onConnectDone(int result, const QString& reason);
    void onConnack(int code);
    void onMessage(const QString& topic, const QByteArray& payload, bool retained);
    void serviceSocket(bool read, bool write);
    // A libmosquitto error: told with what its log said, if anything.
    void failed(int result, QString reason);
    void lost(const QString& reason);
    void watchSocket();
    // Now, where no notifier's signal is under way; else once the event loop has them back.
    void unwatchSocket(bool now = false);
    void updateWriteWatch();
    void scheduleRetry();
    void send(const QString& topic, const QByteArray& payload, bool retain);

    Options m_options;
    std::shared_ptr<Handle> m_handle;
    std::unique_ptr<QSocketNotifier> m_readNotifier;
    std::unique_ptr<QSocketNotifier> m_writeNotifier;
    QTimer m_housekeeping;
    QTimer m_retryTimer;
    std::map<QString, QByteArray> m_retained;
    QStringList m_subscriptions;
    QStringList m_refusedTopics;
    QElapsedTimer m_connectedFor;
    int m_stableMs = StableMs;
    int m_retryMs = FirstRetryMs;
    int m_dropped = 0;
    bool m_connecting = false;
    bool m_connected = false;
    bool m_toldUnreachable = false;
    bool m_stopped = false;
};
