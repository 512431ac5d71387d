#include "WebServer.h"

#include <microhttpd.h>

#include "ListenSocket.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// Every answer's own: no sniffing of types, nothing from elsewhere, no framing by other sites.
constexpr const char* SecurityHeaders[][2] = {
    {"X-Content-Type-Options", "nosniff"},
    {"Content-Security-Policy", "default-src 'self'; base-uri 'none'; form-action 'none'; "
                                "frame-ancestors 'none'"},
    {"Referrer-Policy", "no-referrer"},
};

// Each header as it came, and each argument of the query decoded: the server leaves them escaped.
MHD_Result addField(void* fields, MHD_ValueKind kind, const char* key, const char* value)
{
    QByteArray text(value ? value : "");
    if (kind == MHD_GET_ARGUMENT_KIND)
        text = QByteArray::fromPercentEncoding(text.replace('+', ' '));
    static_cast<HttpRequest::Fields*>(fields)->append({QByteArray(key), text});
    return MHD_YES;
}

// The request line and headers as they came, near enough: names, values and their separators.
size_t headerSize(const HttpRequest& request)
{
    size_t total = size_t(request.method.size() + request.path.size()) + 12;
    for (const auto& [key, value] : request.headers)
        total += size_t(key.size() + value.size()) + 4;
    return total;
}

// The path stays as it came: a %2F is no slash and a %00 no end, and the pages match names
// exactly. Only the query's arguments are decoded.
size_t keepEscaped(void*, MHD_Connection*, char* text)
{
    return std::strlen(text);
}
} // namespace

struct WebServerCallbacks {
    static MHD_Result request(void* self, MHD_Connection* connection, const char* url,
                              const char* method, const char*, const char*, size_t* uploadSize,
                              void** requestContext)
    {
        auto* server = static_cast<WebServer*>(self);
        // The first call has the request line and headers; a body, if any, would follow.
        if (*requestContext)
            return *uploadSize == 0 ? MHD_YES : MHD_NO;
        *requestContext = server;
        if (auto watch = server->m_watches.find(connection); watch != server->m_watches.end())
            watch->second.busy = true;

        HttpRequest request{method, url, {}, {}};
        MHD_get_connection_values(connection, MHD_HEADER_KIND, addField, &request.headers);
        MHD_get_connection_values(connection, MHD_GET_ARGUMENT_KIND, addField, &request.query);
        WebServer::Reply reply;
        if (headerSize(request) > size_t(WebServer::HeaderLimit)) {
            reply.status = MHD_HTTP_REQUEST_HEADER_FIELDS_TOO_LARGE;
            reply.body = "Request line and headers are too long.\n";
        } else if (request.method != "GET" && request.method != "HEAD") {
            reply.status = MHD_HTTP_METHOD_NOT_ALLOWED;
            reply.body = "Only GET and HEAD.\n";
            reply.headers.append({QByteArray("Allow"), QByteArray("GET, HEAD")});
        } else if ((!request.header(MHD_HTTP_HEADER_CONTENT_LENGTH).isEmpty() &&
                    request.header(MHD_HTTP_HEADER_CONTENT_LENGTH) != "0") ||
                   !request.header(MHD_HTTP_HEADER_TRANSFER_ENCODING).isEmpty()) {
            reply.status = MHD_HTTP_CONTENT_TOO_LARGE;
            reply.body = "No request here takes a body.\n";
        } else {
            reply = server->m_handler(request);
        }
        return MHD_Result(server->answer(connection, reply, request.method == "HEAD"));
    }

    static void completed(void* self, MHD_Connection* connection, void**,
                          MHD_RequestTerminationCode)
    {
        // The next request on a kept connection has the same time as the first.
        auto* server = static_cast<WebServer*>(self);
        if (auto watch = server->m_watches.find(connection); watch != server->m_watches.end()) {
            watch->second.busy = false;
            watch->second.deadlineMs = server->m_clock.elapsed() + WebServer::RequestSeconds * 1000;
        }
    }

    static void connectionNotice(void* self, MHD_Connection* connection, void**,
                                 MHD_ConnectionNotificationCode what)
    {
        auto* server = static_cast<WebServer*>(self);
        if (what == MHD_CONNECTION_NOTIFY_CLOSED) {
            server->m_watches.erase(connection);
            return;
        }
        WebServer::Watch watch;
        if (const MHD_ConnectionInfo* info =
                MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD))
            watch.fd = info->connect_fd;
        watch.deadlineMs = server->m_clock.elapsed() + WebServer::RequestSeconds * 1000;
        // Beyond the limit a connection is refused at once. (libmicrohttpd's own limit, a little
        // above, would leave it waiting in the kernel's queue until one closes.)
        if (server->m_watches.size() >= WebServer::ConnectionLimit && watch.fd >= 0) {
            watch.shut = true;
            ::shutdown(watch.fd, SHUT_RDWR);
        }
        server->m_watches[connection] = watch;
    }
};

WebServer::WebServer(Handler handler, QObject* parent)
    : QObject(parent), m_handler(std::move(handler))
{
    m_clock.start();
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &WebServer::run);
    m_housekeeping.setInterval(1000);
    connect(&m_housekeeping, &QTimer::timeout, this, [this] {
        sweep();
        run();
    });
}

WebServer::~WebServer()
{
    stop();
}

QString WebServer::listen(const QString& address)
{
    stop();
    const ListenSocket socket = ListenSocket::open(address);
    m_errno = socket.error;
    if (socket.fd < 0)
        return socket.problem;
    const int fd = socket.fd;
    m_port = socket.port;

    m_daemon = MHD_start_daemon(
        MHD_USE_EPOLL | MHD_ALLOW_SUSPEND_RESUME, 0, nullptr, nullptr, &WebServerCallbacks::request,
        this, MHD_OPTION_LISTEN_SOCKET, fd, MHD_OPTION_CONNECTION_LIMIT, ConnectionLimit + 16,
        MHD_OPTION_CONNECTION_TIMEOUT, unsigned(RequestSeconds), MHD_OPTION_CONNECTION_MEMORY_LIMIT,
        size_t(4 * HeaderLimit), MHD_OPTION_NOTIFY_COMPLETED, &WebServerCallbacks::completed, this,
        MHD_OPTION_NOTIFY_CONNECTION, &WebServerCallbacks::connectionNotice, this,
        MHD_OPTION_UNESCAPE_CALLBACK, keepEscaped, nullptr, MHD_OPTION_END);
    if (!m_daemon) {
        m_errno = EIO;
        ::close(fd);
        return QStringLiteral("cannot listen on %1: the HTTP server did not start").arg(address);
    }
    const MHD_DaemonInfo* info = MHD_get_daemon_info(m_daemon, MHD_DAEMON_INFO_EPOLL_FD);
    m_notifier = std::make_unique<QSocketNotifier>(info->epoll_fd, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &WebServer::run);
    m_housekeeping.start();
    return {};
}

void WebServer::stop()
{
    if (!m_daemon)
        return;
    m_notifier.reset();
    m_housekeeping.stop();
    m_timer.stop();
    // libmicrohttpd stops only with every connection running.
    endStreams();
    MHD_stop_daemon(m_daemon);
    m_daemon = nullptr;
    m_watches.clear();
}

int WebServer::answer(MHD_Connection* connection, const Reply& asked, bool head)
{
    Reply reply = asked;
    MHD_Response* response = nullptr;
    if (reply.stream && reply.status == 200 && !head && m_streams.size() >= StreamLimit) {
        // The rest of the connections stay for pages and the JSON.
        reply = Reply{};
        reply.status = 503;
        reply.body = "Too many live streams.\n";
        reply.headers.append({QByteArray("Retry-After"), QByteArray::number(StreamRetrySeconds)});
    }
    if (reply.stream && reply.status == 200) {
        response = head ? streamHeadResponse() : openStream(connection, reply.body);
        MHD_add_response_header(response, "Cache-Control", "no-store");
    } else if (!reply.file.isEmpty()) {
        response = fileResponse(reply);
    } else {
        response = MHD_create_response_from_buffer(size_t(reply.body.size()),
                                                   const_cast<char*>(reply.body.constData()),
                                                   MHD_RESPMEM_MUST_COPY);
    }
    if (!response)
        return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, reply.contentType.constData());
    for (const auto& header : SecurityHeaders)
        MHD_add_response_header(response, header[0], header[1]);
    for (const auto& [name, value] : reply.headers)
        MHD_add_response_header(response, name.constData(), value.constData());
    const MHD_Result queued = MHD_queue_response(connection, unsigned(reply.status), response);
    MHD_destroy_response(response);
    return queued;
}

// The file as it is on the disk, read as it is sent: a month of the archive costs no memory.
MHD_Response* WebServer::fileResponse(Reply& reply)
{
    const int fd = ::open(QFile::encodeName(reply.file).constData(),
                          O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    struct stat status {};
    if (fd >= 0 && ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode))
        return MHD_create_response_from_fd64(uint64_t(status.st_size), fd);
    if (fd >= 0)
        ::close(fd);
    reply = Reply{};
    reply.status = 404;
    reply.body = "Nothing here.\n";
    return MHD_create_response_from_buffer(size_t(reply.body.size()),
                                           const_cast<char*>(reply.body.constData()),
                                           MHD_RESPMEM_MUST_COPY);
}

void WebServer::run()
{
    if (!m_daemon)
        return;
    MHD_run(m_daemon);
    MHD_UNSIGNED_LONG_LONG wait = 0;
    if (MHD_get_timeout(m_daemon, &wait) == MHD_YES && wait < 1000)
        m_timer.start(int(wait));
}

// Connections that have not sent a whole request in their time, slowly or not at all, are shut:
// libmicrohttpd's own timeout counts from the last byte, which a trickle renews.
void WebServer::sweep()
{
    const qint64 now = m_clock.elapsed();
    for (auto& [connection, watch] : m_watches) {
        if (!watch.busy && !watch.shut && watch.fd >= 0 && now > watch.deadlineMs) {
            watch.shut = true;
            ::shutdown(watch.fd, SHUT_RDWR);
        }
    }
    sweepStreams(now);
}
