// The server's live streams of Server-Sent Events: what each reader has still to get, bounded,
// and the readers that fell behind or stopped reading let go.
#include "WebServer.h"

#include <microhttpd.h>

#include <cstring>
#include <sys/socket.h>

// One reader of Server-Sent Events: what is to be sent to it, and whether it waits for more.
struct WebServer::Stream {
    WebServer* server = nullptr;
    MHD_Connection* connection = nullptr;
    QByteArray pending;
    int fd = -1;
    // Since when what is pending has waited for the reader, on the server's clock.
    qint64 waitingSinceMs = 0;
    bool suspended = false;
    bool ending = false;
};

struct WebServerStreamCallbacks {
    static ssize_t read(void* data, uint64_t, char* buffer, size_t room)
    {
        auto* stream = static_cast<WebServer::Stream*>(data);
        if (stream->pending.isEmpty()) {
            if (stream->ending)
                return MHD_CONTENT_READER_END_OF_STREAM;
            // Nothing to say: the connection rests until broadcast() has more.
            stream->suspended = true;
            MHD_suspend_connection(stream->connection);
            return 0;
        }
        const size_t length = std::min(room, size_t(stream->pending.size()));
        std::memcpy(buffer, stream->pending.constData(), length);
        stream->pending.remove(0, qsizetype(length));
        if (stream->server)
            stream->waitingSinceMs = stream->server->m_clock.elapsed();
        return ssize_t(length);
    }

    static void gone(void* data)
    {
        auto* stream = static_cast<WebServer::Stream*>(data);
        if (stream->server)
            stream->server->m_streams.remove(stream);
        delete stream;
    }

    // A HEAD of a stream: its headers, and at once its end.
    static ssize_t ended(void*, uint64_t, char*, size_t)
    {
        return MHD_CONTENT_READER_END_OF_STREAM;
    }
};

MHD_Response* WebServer::openStream(MHD_Connection* connection, const QByteArray& first)
{
    auto* stream = new Stream{this, connection, first};
    stream->waitingSinceMs = m_clock.elapsed();
    if (auto watch = m_watches.find(connection); watch != m_watches.end())
        stream->fd = watch->second.fd;
    m_streams.push_back(stream);
    // Its reader's to end, not the server's: no idle timeout. One that stops reading is let go
    // by sweepStreams().
    MHD_set_connection_option(connection, MHD_CONNECTION_OPTION_TIMEOUT, 0u);
    return MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, 4096,
                                             &WebServerStreamCallbacks::read, stream,
                                             &WebServerStreamCallbacks::gone);
}

MHD_Response* WebServer::streamHeadResponse()
{
    return MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, 4096,
                                             &WebServerStreamCallbacks::ended, nullptr, nullptr);
}

void WebServer::broadcast(const QByteArray& event)
{
    const qint64 now = m_clock.elapsed();
    for (Stream* stream : m_streams) {
        if (stream->ending)
            continue;
        // A reader that has fallen this far behind is let go; its browser comes back by itself,
        // and the page is whole again with the next event.
        if (stream->pending.size() + event.size() > StreamBacklogBytes) {
            letGo(stream);
            continue;
        }
        if (stream->pending.isEmpty())
            stream->waitingSinceMs = now;
        stream->pending += event;
        if (std::exchange(stream->suspended, false))
            MHD_resume_connection(stream->connection);
    }
    // A resumed connection is taken up by the next run.
    if (!m_streams.empty() && m_daemon)
        m_timer.start(0);
}

qint64 WebServer::streamBacklog() const
{
    qint64 bytes = 0;
    for (const Stream* stream : m_streams)
        bytes += stream->pending.size();
    return bytes;
}

void WebServer::endStreams()
{
    for (Stream* stream : m_streams) {
        stream->ending = true;
        stream->server = nullptr;
        if (std::exchange(stream->suspended, false))
            MHD_resume_connection(stream->connection);
    }
    m_streams.clear();
}

void WebServer::letGo(Stream* stream)
{
    stream->ending = true;
    stream->pending.clear();
    stream->pending.squeeze();
    // Shut, so that a connection whose reader takes nothing is closed now, not when it reads.
    if (stream->fd >= 0)
        ::shutdown(stream->fd, SHUT_RDWR);
    if (std::exchange(stream->suspended, false))
        MHD_resume_connection(stream->connection);
    m_timer.start(0);
}

void WebServer::sweepStreams(qint64 now)
{
    // A reader that has taken nothing of what waits for it for this long has gone or stalled.
    for (Stream* stream : m_streams)
        if (!stream->ending && !stream->pending.isEmpty() &&
            now - stream->waitingSinceMs > m_streamStallSeconds * 1000)
            letGo(stream);
    // A comment now and then, so that a reader that went away is found out.
    if (now - m_lastHeartbeatMs >= HeartbeatSeconds * 1000) {
        m_lastHeartbeatMs = now;
        broadcast(": still here\n\n");
    }
}
