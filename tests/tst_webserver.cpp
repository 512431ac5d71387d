#include "HttpProbe.h"
#include "web/WebServer.h"

#include <QtTest>

#include <cerrno>
#include <memory>
#include <vector>

// The server as a network meets it: requests no browser sends, connections that never finish,
// too many of them, and readers of a live stream.
class TestWebServer : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        m_server = std::make_unique<WebServer>([](const WebServer::Request& request) {
            WebServer::Reply reply;
            reply.body = "hello " + request.argument("name") + '\n';
            if (request.path == "/events") {
                reply.contentType = "text/event-stream; charset=utf-8";
                reply.body = "retry: 2000\n\n";
                reply.stream = true;
            }
            return reply;
        });
        QCOMPARE(m_server->listen(QStringLiteral("127.0.0.1:0")), QString());
    }

    void answers_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body"); // its start
        const QByteArray end = "Host: station\r\nConnection: close\r\n\r\n";
        const QByteArray longHeader = "X-Long: " + QByteArray(8200, 'a') + "\r\n";
        QTest::newRow("GET") << "GET /?name=Kora%20station HTTP/1.1\r\n" + end << 200
                             << QByteArray("hello Kora station");
        QTest::newRow("HEAD") << "HEAD / HTTP/1.1\r\n" + end << 200 << QByteArray();
        QTest::newRow("POST") << "POST / HTTP/1.1\r\nContent-Length: 2\r\n" + end + "ab" << 405
                              << QByteArray("Only GET");
        QTest::newRow("DELETE") << "DELETE / HTTP/1.1\r\n" + end << 405 << QByteArray("Only GET");
        // As some proxies send it.
        QTest::newRow("GET with an empty body")
            << "GET / HTTP/1.1\r\nContent-Length: 0\r\n" + end << 200 << QByteArray("hello");
        QTest::newRow("GET with a body")
            << "GET / HTTP/1.1\r\nContent-Length: 5\r\n" + end + "hello" << 413
            << QByteArray("No request");
        QTest::newRow("GET with a chunked body")
            << "GET / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n" + end + "5\r\nhello\r\n0\r\n\r\n"
            << 413 << QByteArray("No request");
        QTest::newRow("headers within 8 KiB")
            << "GET / HTTP/1.1\r\nX-Long: " + QByteArray(7900, 'a') + "\r\n" + end << 200
            << QByteArray("hello");
        QTest::newRow("headers beyond 8 KiB")
            << "GET / HTTP/1.1\r\n" + longHeader + end << 431 << QByteArray("Request line");
        QTest::newRow("request line beyond 8 KiB")
            << "GET /" + QByteArray(8300, 'a') + " HTTP/1.1\r\n" + end << 431
            << QByteArray("Request line");
        QTest::newRow("headers beyond the connection's memory")
            << "GET / HTTP/1.1\r\n" + longHeader.repeated(5) + end << 431 << QByteArray();
        // Refused: libmicrohttpd 0.9 answers 400, 1.0 closes without a word (0).
        QTest::newRow("no HTTP") << QByteArray("hello there\r\n\r\n") << 400 << QByteArray();
    }

    void answers()
    {
        QFETCH(QByteArray, request);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        const HttpProbe::Answer answer = HttpProbe::request(m_server->port(), request);
        // A refusal may also be a connection closed without an answer.
        if (!(status == 400 && answer.status == 0))
            QCOMPARE(answer.status, status);
        QVERIFY2(answer.body.startsWith(body), answer.body.left(100).constData());
        if (status == 405)
            QCOMPARE(answer.headers["allow"], QByteArray("GET, HEAD"));
        // Whatever the server itself answers carries its type and the page's policies.
        if (!body.isEmpty()) {
            QCOMPARE(answer.headers["content-type"], QByteArray("text/plain; charset=utf-8"));
            QCOMPARE(answer.headers["x-content-type-options"], QByteArray("nosniff"));
            QVERIFY(answer.headers["content-security-policy"].startsWith("default-src 'self'"));
        }
    }

    // A request has its time from the connection on, however slowly it comes; a stream, once
    // asked for, stays.
    void slowRequestsAreClosedAndStreamsKept()
    {
        HttpProbe stream(m_server->port());
        QVERIFY(stream.send("GET /events HTTP/1.1\r\nHost: station\r\n\r\n"));
        QVERIFY(stream.readUntil("retry: 2000\n\n").contains("text/event-stream"));
        HttpProbe idle(m_server->port());
        HttpProbe trickling(m_server->port());
        QVERIFY(trickling.send("GET / HTTP/1.1\r\n"));
        // A kept connection's next request has its time too (where libmicrohttpd keeps it: 1.0
        // does, 0.9 closes after each answer).
        HttpProbe kept(m_server->port());
        QVERIFY(kept.send("GET / HTTP/1.1\r\nHost: station\r\n\r\n"));
        QVERIFY(kept.readUntil("hello \n").contains("200 OK"));
        QVERIFY(kept.send("GET / HTTP/1.1\r\n"));
        QElapsedTimer clock;
        clock.start();
        const int limitMs = (WebServer::RequestSeconds + 5) * 1000;
        while (!(trickling.isClosed() && kept.isClosed()) && clock.elapsed() < limitMs) {
            for (HttpProbe* probe : {&trickling, &kept}) {
                probe->send("X-A: b\r\n");
                probe->readUntilClosed(250);
            }
        }
        QVERIFY(trickling.isClosed());
        QVERIFY(kept.isClosed());
        QVERIFY2(clock.elapsed() >= (WebServer::RequestSeconds - 1) * 1000,
                 qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!trickling.readUntilClosed(0).contains("200 OK"));
        idle.readUntilClosed(5000);
        QVERIFY(idle.isClosed());

        QVERIFY(!stream.isClosed());
        QCOMPARE(m_server->streams(), 1);
        m_server->broadcast("event: now\ndata: 1\n\n");
        const QByteArray got = stream.readUntil("data: 1\n\n", 5000);
        QVERIFY2(got.contains("event: now\ndata: 1\n\n"), got.constData());
    }

    // A HEAD of the stream has its headers and ends; GET's stream answers alike.
    void streamHeadEnds_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::newRow("GET") << QByteArray("GET");
        QTest::newRow("HEAD") << QByteArray("HEAD");
    }

    void streamHeadEnds()
    {
        QFETCH(QByteArray, method);
        HttpProbe probe(m_server->port());
        QVERIFY(probe.send(method + " /events HTTP/1.1\r\nHost: station\r\n\r\n"));
        const HttpProbe::Answer answer =
            HttpProbe::parse(method == "HEAD" ? probe.readUntilClosed(5000)
                                              : probe.readUntil("retry: 2000\n\n", 5000));
        QCOMPARE(answer.status, 200);
        QCOMPARE(answer.headers["cache-control"], QByteArray("no-store"));
        QVERIFY(!answer.headers.contains("content-length"));
        QCOMPARE(probe.isClosed(), method == "HEAD");
        QCOMPARE(m_server->streams(), method == "HEAD" ? 0 : 1);
    }

    // A reader that takes nothing is let go once it is a bounded way behind, or has taken nothing
    // for a while; and streams leave room for pages.
    void streamsAreBounded_data()
    {
        QTest::addColumn<bool>("keepSending");
        QTest::newRow("falls behind") << true;
        QTest::newRow("stalls") << false;
    }

    void streamsAreBounded()
    {
        QFETCH(bool, keepSending);
        m_server->setStreamStallSeconds(1);
        HttpProbe reader(m_server->port());
        QVERIFY(reader.send("GET /events HTTP/1.1\r\nHost: station\r\n\r\n"));
        QTRY_COMPARE(m_server->streams(), 1);
        // What the kernel's buffers take first is theirs; then it waits in the server.
        const QByteArray event = "data: " + QByteArray(4000, 'x') + "\n\n";
        for (int i = 0; i < 20000 && m_server->streams() == 1; ++i) {
            if (!keepSending && m_server->streamBacklog() > 0)
                break;
            m_server->broadcast(event);
            QCoreApplication::processEvents();
            QVERIFY(m_server->streamBacklog() <= WebServer::StreamBacklogBytes);
        }
        QTRY_COMPARE_WITH_TIMEOUT(m_server->streams(), 0, 10000);
        QCOMPARE(m_server->streamBacklog(), 0);
    }

    void streamsLeaveRoomForPages()
    {
        std::vector<std::unique_ptr<HttpProbe>> readers;
        for (unsigned i = 0; i < WebServer::StreamLimit; ++i) {
            readers.push_back(std::make_unique<HttpProbe>(m_server->port()));
            QVERIFY(readers.back()->send("GET /events HTTP/1.1\r\nHost: station\r\n\r\n"));
        }
        QTRY_COMPARE(m_server->streams(), int(WebServer::StreamLimit));
        const QByteArray close = "Host: station\r\nConnection: close\r\n\r\n";
        const HttpProbe::Answer refused =
            HttpProbe::request(m_server->port(), "GET /events HTTP/1.1\r\n" + close);
        QCOMPARE(refused.status, 503);
        QCOMPARE(refused.headers["retry-after"], QByteArray("30"));
        QCOMPARE(HttpProbe::request(m_server->port(), "GET / HTTP/1.1\r\n" + close).status, 200);
    }

    void connectionsAreCapped()
    {
        std::vector<std::unique_ptr<HttpProbe>> held;
        for (unsigned i = 0; i < WebServer::ConnectionLimit; ++i) {
            held.push_back(std::make_unique<HttpProbe>(m_server->port()));
            QVERIFY(held.back()->isConnected());
        }
        // Each has been taken by the server, not left waiting in the kernel's queue.
        QTRY_COMPARE(m_server->watched(), int(WebServer::ConnectionLimit));
        QElapsedTimer clock;
        clock.start();
        const HttpProbe::Answer refused = HttpProbe::request(
            m_server->port(), "GET / HTTP/1.1\r\nHost: station\r\nConnection: close\r\n\r\n");
        QCOMPARE(refused.status, 0);
        QVERIFY2(clock.elapsed() < WebServer::RequestSeconds * 1000 / 2,
                 "refused only once others were closed");
        // One goes: there is room again.
        held.pop_back();
        QTRY_COMPARE(
            HttpProbe::request(m_server->port(),
                               "GET / HTTP/1.1\r\nHost: station\r\nConnection: close\r\n\r\n")
                .status,
            200);
    }

    void listenFails_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("error");
        QTest::newRow("in use") << "" << EADDRINUSE;
        QTest::newRow("not on this machine") << "192.0.2.1:8273" << EADDRNOTAVAIL;
        QTest::newRow("no port") << "127.0.0.1" << EINVAL;
        QTest::newRow("a name") << "station.lan:8273" << EINVAL;
    }

    void listenFails()
    {
        QFETCH(QString, address);
        QFETCH(int, error);
        if (address.isEmpty())
            address = QStringLiteral("127.0.0.1:%1").arg(m_server->port());
        WebServer second([](const WebServer::Request&) { return WebServer::Reply(); });
        QVERIFY(!second.listen(address).isEmpty());
        QCOMPARE(second.errorCode(), error);
        QVERIFY(!second.isListening());
    }

private:
    std::unique_ptr<WebServer> m_server;
};

QTEST_GUILESS_MAIN(TestWebServer)
#include "tst_webserver.moc"
