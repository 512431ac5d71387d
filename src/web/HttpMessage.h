#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

// A request as the server took it, as a plain value that a site can be asked with in a test: its
// path undecoded, so that nothing encoded in it can pass for a slash or the end of a name; the
// query's arguments decoded.
struct HttpRequest {
    using Fields = QList<QPair<QByteArray, QByteArray>>;

    QByteArray method = "GET";
    QByteArray path = "/";
    Fields headers;
    Fields query;

    // The first header of that name, whatever its case; empty where it has none.
    QByteArray header(const char* name) const
    {
        for (const auto& [key, value] : headers)
            if (key.compare(name, Qt::CaseInsensitive) == 0)
                return value;
        return {};
    }
    QByteArray argument(const char* name) const
    {
        for (const auto& [key, value] : query)
            if (key == name)
                return value;
        return {};
    }
};

struct HttpReply {
    int status = 200;
    // With its charset where it is text.
    QByteArray contentType = "text/plain; charset=utf-8";
    QByteArray body;
    // A file sent from the disk in place of the body, however large, and never through a link:
    // 404 where it is no regular file by then.
    QString file;
    QList<QPair<QByteArray, QByteArray>> headers;
    // A live stream of Server-Sent Events: the body is its first part; what the server
    // broadcasts follows.
    bool stream = false;
};
