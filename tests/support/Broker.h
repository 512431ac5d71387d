#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// Debian's mosquitto on a free loopback port, with a configuration of its own: the real broker
// that the station publishes to.
class Broker {
public:
    // With a user, only that user with that password may log in, the subscriber too. With TLS,
    // from a certificate authority made for this broker alone.
    explicit Broker(const QString& user = {}, const QString& password = {}, bool tls = false);
    ~Broker();

    static bool available();
    // What signed the broker's certificate, with TLS.
    QString caFile() const { return m_dir.filePath(QStringLiteral("ca.crt")); }
    // Starts it, on the same port as before where it ran already; true once it listens.
    bool start();
    void stop();
    int port() const { return m_port; }
    // What a subscriber to the topic filter receives, "topic payload" a line: count messages,
    // retained ones included, or what came within the time.
    QStringList receive(const QString& filter, int count, int timeoutSeconds = 20) const;
    // A subscriber that listens while the test goes on; received() then says what it got.
    std::unique_ptr<QProcess> subscribe(const QString& filter, int count,
                                        int timeoutSeconds = 20) const;
    static QStringList received(QProcess& subscriber, int timeoutSeconds = 20);

private:
    bool makeCertificates();

    QTemporaryDir m_dir;
    QProcess m_process;
    int m_port = 0;
    QStringList m_subscriberLogin;
};
