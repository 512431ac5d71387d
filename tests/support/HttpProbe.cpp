#include "HttpProbe.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QList>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

HttpProbe::HttpProbe(int port)
{
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 &&
        errno != EINPROGRESS) {
        ::close(m_fd);
        m_fd = -1;
    }
}

HttpProbe::~HttpProbe()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool HttpProbe::send(const QByteArray& bytes)
{
    qsizetype sent = 0;
    const QDeadlineTimer deadline(10000);
    while (m_fd >= 0 && sent < bytes.size() && !deadline.hasExpired()) {
        const ssize_t now =
            ::send(m_fd, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (now > 0)
            sent += now;
        else if (now < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != ENOTCONN)
            return false;
        else
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return sent == bytes.size();
}

bool HttpProbe::readSome(int waitMs)
{
    pollfd watched{m_fd, POLLIN, 0};
    if (::poll(&watched, 1, waitMs) <= 0)
        return false;
    char buffer[16384];
    const ssize_t got = ::recv(m_fd, buffer, sizeof buffer, 0);
    if (got > 0)
        m_received.append(buffer, got);
    else if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
        m_closed = true;
    return got > 0;
}

QByteArray HttpProbe::readUntilClosed(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (m_fd >= 0 && !m_closed && !deadline.hasExpired()) {
        // The server may be this process's: it answers only while events are handled.
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        readSome(5);
    }
    return m_received;
}

QByteArray HttpProbe::readUntil(const QByteArray& marker, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (m_fd >= 0 && !m_closed && !m_received.contains(marker) && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        readSome(5);
    }
    return m_received;
}

HttpProbe::Answer HttpProbe::parse(const QByteArray& response)
{
    Answer answer;
    const qsizetype end = response.indexOf("\r\n\r\n");
    const QList<QByteArray> lines = response.left(end).split('\n');
    answer.status = lines.value(0).split(' ').value(1).toInt();
    for (const QByteArray& line : lines.mid(1)) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            answer.headers.insert(line.left(colon).trimmed().toLower(),
                                  line.mid(colon + 1).trimmed());
    }
    answer.body = end < 0 ? QByteArray() : response.mid(end + 4);
    return answer;
}

HttpProbe::Answer HttpProbe::request(int port, const QByteArray& bytes)
{
    HttpProbe probe(port);
    if (!probe.send(bytes))
        return {};
    return parse(probe.readUntilClosed());
}
