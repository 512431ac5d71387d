#pragma once

#include "HttpMessage.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPair>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>

#include <functional>
#include <list>
#include <map>
#include <memory>

struct MHD_Connection;
struct MHD_Daemon;
struct MHD_Response;

// A small HTTP server for a local network, run by libmicrohttpd in Qt's event loop: its epoll
// descriptor is watched by a notifier, its timeouts by a timer, so that nothing runs on a thread
// of its own and a request never holds up a reading for longer than it takes to answer.
//
// What a network may throw at it is bounded here, whatever the pages: only GET and HEAD, no
// bodies, a request line and headers of at most HeaderLimit bytes, the whole request within
// RequestSeconds (idle or trickled), at most ConnectionLimit connections. Every answer says its
// type and charset and forbids sniffing and foreign resources. A live stream (Server-Sent
// Events), once asked for, stays open until its reader goes, falls StreamBacklogBytes behind or
// takes nothing for StreamStallSeconds; at most StreamLimit of them, so that pages and the JSON
// always have connections left.
class WebServer : public QObject {
    Q_OBJECT
public:
    static constexpr int HeaderLimit = 8 * 1024;
    static constexpr int RequestSeconds = 10;
    static constexpr unsigned ConnectionLimit = 256;
    static constexpr unsigned StreamLimit = ConnectionLimit / 2;
    static constexpr int StreamBacklogBytes = 64 * 1024;
    static constexpr int StreamStallSeconds = 30;
    static constexpr int StreamRetrySeconds = 30;
    static constexpr int HeartbeatSeconds = 15;

    using Request = HttpRequest;
    using Reply = HttpReply;
    using Handler = std::function<Reply(const Request&)>;

    explicit WebServer(Handler handler, QObject* parent = nullptr);
    ~WebServer() override;

    // Listens on HOST:PORT, the host an IPv4 or IPv6 address ([::1]:8080) or "localhost".
    // Returns what is wrong, or nothing; errorCode() then holds the errno of the failure.
    QString listen(const QString& address);
    bool isListening() const { return m_daemon != nullptr; }
    int port() const { return m_port; }
    int errorCode() const { return m_errno; }
    int streams() const { return int(m_streams.size()); }
    // What the streams hold that their readers have not taken yet, in bytes.
    qint64 streamBacklog() const;
    // How long a stream may take nothing of what waits for it; for tests, which cannot wait.
    void setStreamStallSeconds(int seconds) { m_streamStallSeconds = seconds; }
    int watched() const { return int(m_watches.size()); }
    // Sends an event to every open stream.
    void broadcast(const QByteArray& event);


private:
    struct Stream;
    struct Watch {
        int fd = -1;
        // A request being answered, or a stream: not closed for its time.
        bool busy = false;
        bool shut = false;
        qint64 deadlineMs = 0;
    };

    // libmicrohttpd's callbacks, with its own types.
    friend struct WebServerCallbacks;
    friend struct WebServerStreamCallbacks;
    int answer(MHD_Connection* connection, const Reply& asked, bool head);
    MHD_Response* openStream(MHD_Connection* connection, const QByteArray& first);
    static MHD_Response* streamHeadResponse();
    static MHD_Response* fileResponse(Reply& reply);
    void letGo(Stream* stream);
    // The server stops: every stream ends, and none calls back.
    void endStreams();
    void sweepStreams(qint64 now);
    void run();
    void sweep();
    void stop();

    Handler m_handler;
    MHD_Daemon* m_daemon = nullptr;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QTimer m_timer;
    QTimer m_housekeeping;
    QElapsedTimer m_clock;
    std::map<MHD_Connection*, Watch> m_watches;
    std::list<Stream*> m_streams;
    int m_port = 0;
    int m_errno = 0;
    qint64 m_lastHeartbeatMs = 0;
    int m_streamStallSeconds = StreamStallSeconds;
};
