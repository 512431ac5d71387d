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

// A small HTTP server for a local network, run by libmicrohttpd in Qt's event loop: its epoll
// descriptor is watched by a notifier, its timeouts by a timer, so that nothing runs on a thread
// of its own and a request never holds up a reading for longer than it takes to answer.
//
// What a network may throw at it is bounded here, whatever the pages: only GET and HEAD, no
// bodies, a request line and headers of at most HeaderLimit bytes, the whole request within
// RequestSeconds (idle or trickled), at most ConnectionLimit connections. Every answer says its
// type and charset and forbids sniffing and foreign resources. A live stream (Server-Sent
// Events), once asked for, stays open until its reader goes.
class WebServer : public QObject {
    Q_OBJECT
public:
    static constexpr int HeaderLimit = 8 * 1024;
    static constexpr int RequestSeconds = 10;
    static constexpr unsigned ConnectionLimit = 256;

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
    int answer(MHD_Connection* connection, const Reply& reply);
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
};
