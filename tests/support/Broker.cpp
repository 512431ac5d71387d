#include "Broker.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// A port nothing listens on now, as the kernel hands out.
int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}
} // namespace

Broker::Broker(const QString& user, const QString& password) : m_port(freePort())
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
    if (user.isEmpty()) {
        config.write("allow_anonymous true\n");
    } else {
        const QString passwords = m_dir.filePath("passwords");
        QProcess::execute(QStringLiteral("mosquitto_passwd"),
                          {"-c", "-b", passwords, user, password});
        config.write(
            QStringLiteral("allow_anonymous false\npassword_file %1\n").arg(passwords).toUtf8());
    }
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
    QProcess subscriber;
    subscriber.start(QStringLiteral("mosquitto_sub"),
                     {"-h", "127.0.0.1", "-p", QString::number(m_port), "-v", "-t", filter, "-C",
                      QString::number(count), "-W", QString::number(timeoutSeconds)});
    // The program under test goes on meanwhile: what it sends is what is received.
    const QDeadlineTimer deadline((timeoutSeconds + 5) * 1000);
    while (!subscriber.waitForFinished(20) && subscriber.state() != QProcess::NotRunning &&
           !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    if (subscriber.state() != QProcess::NotRunning) {
        subscriber.kill();
        subscriber.waitForFinished();
    }
    return QString::fromUtf8(subscriber.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}
