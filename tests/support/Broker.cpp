#include "Broker.h"
#include "FreePort.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

Broker::Broker(const QString& user, const QString& password, bool tls) : m_port(freePort())
{
    QFile config(m_dir.filePath("mosquitto.conf"));
    if (!config.open(QIODevice::WriteOnly))
        return;
    config.write(QStringLiteral("listener %1 127.0.0.1\npersistence false\nlog_dest stderr\n")
                     .arg(m_port)
                     .toUtf8());
    // Started by root, mosquitto becomes user mosquitto, who may not read this folder.
    if (::geteuid() == 0)
        config.write("user root\n");
    if (tls && makeCertificates()) {
        config.write(QStringLiteral("cafile %1\ncertfile %2\nkeyfile %3\n")
                         .arg(caFile(), m_dir.filePath("broker.crt"), m_dir.filePath("broker.key"))
                         .toUtf8());
        m_subscriberLogin << "--cafile" << caFile();
    }
    if (user.isEmpty()) {
        config.write("allow_anonymous true\n");
    } else {
        m_subscriberLogin << "-u" << user << "-P" << password;
        const QString passwords = m_dir.filePath("passwords");
        QProcess::execute(QStringLiteral("mosquitto_passwd"),
                          {"-c", "-b", passwords, user, password});
        config.write(
            QStringLiteral("allow_anonymous false\npassword_file %1\n").arg(passwords).toUtf8());
    }
}

// A certificate authority of its own and the broker's certificate for 127.0.0.1, signed by it.
// Elliptic-curve keys: quick to make, under an emulator too.
bool Broker::makeCertificates()
{
    const QString extensions = m_dir.filePath("broker.ext");
    QFile file(extensions);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write("subjectAltName=IP:127.0.0.1,DNS:localhost\n") < 0)
        return false;
    file.close();
    const QStringList newKey = {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                                "-nodes"};
    const auto openssl = [this](const QStringList& arguments) {
        QProcess process;
        process.setWorkingDirectory(m_dir.path());
        process.start(QStringLiteral("openssl"), arguments);
        return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
               process.exitCode() == 0;
    };
    return openssl(QStringList{"req", "-x509"} + newKey +
                   QStringList{"-keyout", "ca.key", "-out", "ca.crt", "-days", "2", "-subj",
                               "/CN=KORA test authority"}) &&
           openssl(QStringList{"req"} + newKey +
                   QStringList{"-keyout", "broker.key", "-out", "broker.csr", "-subj",
                               "/CN=127.0.0.1"}) &&
           openssl({"x509", "-req", "-in", "broker.csr", "-CA", "ca.crt", "-CAkey", "ca.key",
                    "-CAcreateserial", "-out", "broker.crt", "-days", "2", "-extfile", extensions});
}

Broker::~Broker()
{
    stop();
}

bool Broker::available()
{
    return !QStandardPaths::findExecutable(QStringLiteral("mosquitto")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("mosquitto_sub"), {"/usr/bin"}).isEmpty();
}

bool Broker::start()
{
    const QString broker =
        QStandardPaths::findExecutable(QStringLiteral("mosquitto"), {"/usr/sbin", "/usr/bin"});
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(broker, {"-c", m_dir.filePath("mosquitto.conf")});
    if (!m_process.waitForStarted())
        return false;
    // It says when it listens.
    QByteArray said;
    while (!said.contains(" running") && m_process.waitForReadyRead(10000))
        said += m_process.readAll();
    return said.contains(" running");
}

void Broker::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    m_process.waitForFinished();
}

QStringList Broker::receive(const QString& filter, int count, int timeoutSeconds) const
{
    const std::unique_ptr<QProcess> subscriber = subscribe(filter, count, timeoutSeconds);
    return received(*subscriber, timeoutSeconds);
}

std::unique_ptr<QProcess> Broker::subscribe(const QString& filter, int count,
                                            int timeoutSeconds) const
{
    auto subscriber = std::make_unique<QProcess>();
    // Line-buffered, so that its debug lines come as they are said.
    subscriber->start(QStringLiteral("stdbuf"),
                      QStringList{"-oL", "mosquitto_sub", "-h", "127.0.0.1", "-p",
                                  QString::number(m_port), "-v", "-t", filter, "-C",
                                  QString::number(count), "-W", QString::number(timeoutSeconds),
                                  "-d"} +
                          m_subscriberLogin);
    // Its debug lines tell when the broker has taken the subscription: from then on, nothing
    // published is missed.
    QByteArray said;
    while (!said.contains("Subscribed (mid") && subscriber->waitForReadyRead(10000))
        said += subscriber->peek(subscriber->bytesAvailable());
    return subscriber;
}

QStringList Broker::received(QProcess& subscriber, int timeoutSeconds)
{
    // The program under test goes on meanwhile: what it sends is what is received.
    const QDeadlineTimer deadline((timeoutSeconds + 5) * 1000);
    while (!subscriber.waitForFinished(20) && subscriber.state() != QProcess::NotRunning &&
           !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    if (subscriber.state() != QProcess::NotRunning) {
        subscriber.kill();
        subscriber.waitForFinished();
    }
    QStringList messages;
    for (const QString& line :
         QString::fromUtf8(subscriber.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts))
        if (!line.startsWith(u"Client ") && !line.startsWith(u"Subscribed (mid"))
            messages.append(line);
    return messages;
}
