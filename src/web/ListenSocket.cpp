#include "ListenSocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
bool parse(const QString& address, sockaddr_storage& into, unsigned& length)
{
    const qsizetype colon = address.lastIndexOf(u':');
    if (colon < 0)
        return false;
    QString host = address.left(colon);
    bool ok = false;
    const int port = address.mid(colon + 1).toInt(&ok);
    if (!ok || port < 0 || port > 65535)
        return false;
    if (host == u"localhost")
        host = QStringLiteral("127.0.0.1");
    into = {};
    if (host.startsWith(u'[') && host.endsWith(u']')) {
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&into);
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(quint16(port));
        length = sizeof(sockaddr_in6);
        return inet_pton(AF_INET6, host.mid(1, host.size() - 2).toLatin1().constData(),
                         &v6->sin6_addr) == 1;
    }
    auto* v4 = reinterpret_cast<sockaddr_in*>(&into);
    v4->sin_family = AF_INET;
    v4->sin_port = htons(quint16(port));
    length = sizeof(sockaddr_in);
    return inet_pton(AF_INET, host.toLatin1().constData(), &v4->sin_addr) == 1;
}
} // namespace

bool ListenSocket::isAddress(const QString& address)
{
    sockaddr_storage where{};
    unsigned length = 0;
    return parse(address, where, length);
}

ListenSocket ListenSocket::open(const QString& address)
{
    ListenSocket result;
    sockaddr_storage where{};
    unsigned length = 0;
    if (!parse(address, where, length)) {
        result.error = EINVAL;
        result.problem = QStringLiteral("%1 is no address to listen on: ADDRESS:PORT, such as "
                                        "127.0.0.1:8273 or [::]:8273")
                             .arg(address);
        return result;
    }
    const int fd = ::socket(where.ss_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const int on = 1;
    if (fd < 0 || ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        ::bind(fd, reinterpret_cast<sockaddr*>(&where), length) != 0 || ::listen(fd, 128) != 0) {
        result.error = errno;
        if (fd >= 0)
            ::close(fd);
        result.problem = QStringLiteral("cannot listen on %1: %2")
                             .arg(address, QString::fromLocal8Bit(std::strerror(result.error)));
        return result;
    }
    socklen_t bound = sizeof where;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&where), &bound);
    result.port =
        ntohs(where.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&where)->sin6_port
                                          : reinterpret_cast<sockaddr_in*>(&where)->sin_port);
    result.fd = fd;
    return result;
}
