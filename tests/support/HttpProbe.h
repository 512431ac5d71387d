#pragma once

#include <QByteArray>
#include <QMap>

// A raw HTTP connection to a server on this machine, for requests no browser would send: the
// bytes go as given, and what comes back is read while the event loop goes on, so that the
// server may run in the test's own process.
class HttpProbe {
public:
    struct Answer {
        int status = 0;
        // Names in lower case.
        QMap<QByteArray, QByteArray> headers;
        QByteArray body;
    };

    explicit HttpProbe(int port);
    ~HttpProbe();
    HttpProbe(const HttpProbe&) = delete;
    HttpProbe& operator=(const HttpProbe&) = delete;

    bool isConnected() const { return m_fd >= 0; }
    bool send(const QByteArray& bytes);
    // What came until the server closed the connection, or the time was up.
    QByteArray readUntilClosed(int timeoutMs = 20000);
    // What came until it holds the marker, or the time was up.
    QByteArray readUntil(const QByteArray& marker, int timeoutMs = 20000);
    bool isClosed() const { return m_closed; }

    static Answer parse(const QByteArray& response);
    // One request on a connection of its own, read to its end.
    static Answer request(int port, const QByteArray& bytes);

private:
    bool readSome(int waitMs);

    int m_fd = -1;
    bool m_closed = false;
    QByteArray m_received;
};
