#include "StationRig.h"
#include "station/Archive.h"
#include "web/HistorySvg.h"
#include "web/StationSite.h"

#include <QtTest>

// The station's site asked directly, as the server would ask it for each request: its routes, the
// guard on its paths, the spans and languages it knows, and the headers of its own.
class TestStationSite : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    StationRig m_rig;
    std::unique_ptr<StationSite> m_site;

private slots:
    void initTestCase()
    {
        // Noon in December: the blocks of the last hours, a month file and a stranger beside it.
        m_rig.clock.readings = {QDateTime::fromString("2026-12-06T12:00:00+01:00", Qt::ISODate)};
        QVERIFY(QDir(m_dir.path()).mkpath("archive"));
        m_rig.station.setArchiveFolder(m_dir.filePath("archive"));
        m_rig.station.setReportFolder(m_dir.path());
        Archive archive;
        archive.setFolder(m_dir.filePath("archive"));
        for (int block = 0; block < 3; ++block)
            QCOMPARE(archive.appendBlock(m_rig.clock.now().addSecs(-3600 + 600 * block),
                                         BlockSummary{21.5, 20.0, 23.0 + block, 45, 40, 50, 300}),
                     QString());
        // A hot day three days ago: in the week, not in the day.
        QCOMPARE(archive.appendBlock(m_rig.clock.now().addDays(-3),
                                     BlockSummary{28.0, 27.0, 30.0, 45, 40, 50, 300}),
                 QString());
        QFile notes(m_dir.filePath("archive/notes.txt"));
        QVERIFY(notes.open(QIODevice::WriteOnly));
        // A month's name that leads out of the archive.
        QFile secret(m_dir.filePath("secret"));
        QVERIFY(secret.open(QIODevice::WriteOnly));
        secret.write("not for the page\n");
        QVERIFY(QFile::link(secret.fileName(), m_dir.filePath("archive/kora-2020-01.csv")));
        QFile report(m_dir.filePath("wxnow.txt"));
        QVERIFY(report.open(QIODevice::WriteOnly));
        report.write("Dec 06 2026 11:55\r\n000/000g000t073r000p000P000h45b000000w\r\n");
        report.close();
        m_site = std::make_unique<StationSite>(m_rig.station, m_rig.view, m_rig.clock);
        // The archive is read a slice at a time, from the first look on.
        m_rig.station.history();
        QTRY_VERIFY(m_rig.station.history().isLoaded());
        emit m_rig.station.readingTaken(22.5, 45);
    }

    void answers_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QByteArray>("query"); // NAME=VALUE, or the span's VALUE alone
        QTest::addColumn<QByteArray>("language");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("type"); // its start
        QTest::addColumn<QByteArray>("inBody");
        const QByteArray html = "text/html; charset=utf-8";
        const QByteArray json = "application/json; charset=utf-8";
        QTest::newRow("the page") << QByteArray("/") << QByteArray() << QByteArray() << 200 << html
                                  << QByteArray("id=\"temperature\">22.5<");
        QTest::newRow("the page, German by weight")
            << QByteArray("/") << QByteArray() << QByteArray("fr-CH;q=0.5, de-AT") << 200 << html
            << QByteArray("id=\"temperature\">22,5<");
        QTest::newRow("the page, a language it cannot tell")
            << QByteArray("/") << QByteArray() << QByteArray("*, xx-YY") << 200 << html
            << QByteArray("lang=\"en\"");
        QTest::newRow("its style") << QByteArray("/style.css") << QByteArray() << QByteArray()
                                   << 200 << QByteArray("text/css") << QByteArray("color-scheme");
        QTest::newRow("its script") << QByteArray("/page.js") << QByteArray() << QByteArray() << 200
                                    << QByteArray("text/javascript") << QByteArray("EventSource");
        QTest::newRow("the report")
            << QByteArray("/wxnow.txt") << QByteArray() << QByteArray() << 200
            << QByteArray("text/plain") << QByteArray("h45b000000w\r\n");
        QTest::newRow("the state") << QByteArray("/api/now") << QByteArray() << QByteArray() << 200
                                   << json << QByteArray("\"temperature\":22.5");
        QTest::newRow("the live state")
            << QByteArray("/events") << QByteArray() << QByteArray() << 200
            << QByteArray("text/event-stream") << QByteArray("retry: 2000\n\nevent: now\ndata: {");
        QTest::newRow("the archive") << QByteArray("/archive/") << QByteArray() << QByteArray()
                                     << 200 << html << QByteArray("href=\"kora-2026-12.csv\"");
        QTest::newRow("a month") << QByteArray("/archive/kora-2026-12.csv") << QByteArray()
                                 << QByteArray() << 200 << QByteArray("text/csv")
                                 << QByteArray(",21.5,20.0,25.0,");
        QTest::newRow("a link in the archive")
            << QByteArray("/archive/kora-2020-01.csv") << QByteArray() << QByteArray() << 404
            << QByteArray("text/plain") << QByteArray();
        QTest::newRow("the icon") << QByteArray("/favicon.ico") << QByteArray() << QByteArray()
                                  << 200 << QByteArray("image/x-icon") << QByteArray();
        QTest::newRow("the icon the page names")
            << QByteArray("/favicon.svg") << QByteArray() << QByteArray() << 200
            << QByteArray("image/svg+xml") << QByteArray("<svg");
        QTest::newRow("a month it does not have")
            << QByteArray("/archive/kora-2019-07.csv") << QByteArray() << QByteArray() << 404
            << QByteArray("text/plain") << QByteArray();
        QTest::newRow("the day's history")
            << QByteArray("/") << QByteArray("31d") << QByteArray() << 200 << html
            << QByteArray("aria-current=\"page\">Last 31 days<");
        QTest::newRow("its chart")
            << QByteArray("/history.svg") << QByteArray("7d") << QByteArray() << 200
            << QByteArray("image/svg+xml") << QByteArray("<polyline points=");
        QTest::newRow("the history")
            << QByteArray("/api/history") << QByteArray("24h") << QByteArray() << 200 << json
            << QByteArray("\"temperatureHigh\":{\"time\"");
        QTest::newRow("a block's lowest and highest")
            << QByteArray("/api/history") << QByteArray("24h") << QByteArray() << 200 << json
            << QByteArray("\"temperature\":{\"average\":21.5,\"high\":23,\"low\":20}");
        QTest::newRow("the day's highest")
            << QByteArray("/api/history") << QByteArray("24h") << QByteArray() << 200 << json
            << QByteArray("\"value\":25}");
        QTest::newRow("the week's history")
            << QByteArray("/api/history") << QByteArray("7d") << QByteArray() << 200 << json
            << QByteArray("\"high\":30");
        QTest::newRow("the year's history")
            << QByteArray("/api/history") << QByteArray("1y") << QByteArray() << 200 << json
            << QByteArray("\"low\":27}");
        // Two days apart: a dot each.
        QTest::newRow("the year's chart")
            << QByteArray("/history.svg") << QByteArray("1y") << QByteArray() << 200
            << QByteArray("image/svg+xml") << QByteArray("<circle cx=");
        QTest::newRow("the page's records and summaries")
            << QByteArray("/") << QByteArray("1y") << QByteArray() << 200 << html
            << QByteArray("id=\"records\"><thead><tr><td></td><th scope=\"col\">Highest "
                          "temperature</th><th scope=\"col\">Lowest temperature</th><th "
                          "scope=\"col\">Highest humidity</th><th scope=\"col\">Lowest "
                          "humidity</th></tr></thead><tbody>\n<tr><th scope=\"row\">All "
                          "time</th><td>30.0 °C on ");
        QTest::newRow("the dew point") << QByteArray("/api/now") << QByteArray() << QByteArray()
                                       << 200 << json << QByteArray("\"dewPoint\":10,");
        QTest::newRow("the records")
            << QByteArray("/api/records") << QByteArray() << QByteArray() << 200 << json
            << QByteArray(
                   "\"temperatureHigh\":{\"time\":\"2026-12-03T12:00:00+01:00\",\"value\":30}");
        QTest::newRow("a month's summary")
            << QByteArray("/climate/2026-12.txt") << QByteArray() << QByteArray() << 200
            << QByteArray("text/plain") << QByteArray("\n  3    28.0   30.0 12:00   27.0 12:00");
        QTest::newRow("a year's summary as JSON")
            << QByteArray("/api/climate") << QByteArray("year=2026") << QByteArray() << 200 << json
            << QByteArray("\"month\":\"2026-12\",\"readings\":1200");
        QTest::newRow("a month that is none")
            << QByteArray("/climate/2026-13.txt") << QByteArray() << QByteArray() << 404
            << QByteArray("text/plain") << QByteArray("A summary is");
        QTest::newRow("a summary asked for without its period")
            << QByteArray("/api/climate") << QByteArray("month=26-12") << QByteArray() << 400
            << QByteArray("text/plain") << QByteArray("Ask for");
        QTest::newRow("a span it does not have")
            << QByteArray("/api/history") << QByteArray("2w") << QByteArray() << 400
            << QByteArray("text/plain") << QByteArray("The span is");
        QTest::newRow("another file in the archive")
            << QByteArray("/archive/notes.txt") << QByteArray() << QByteArray() << 404
            << QByteArray("text/plain") << QByteArray();
        QTest::newRow("nothing there") << QByteArray("/admin") << QByteArray() << QByteArray()
                                       << 404 << QByteArray("text/plain") << QByteArray();
        // The path is never decoded: whatever is encoded or climbs is refused before any name.
        for (const char* path :
             {"/archive/../archive/notes.txt", "/archive%2Fkora-2026-12.csv", "/archive/%2e%2e/log",
              "/wxnow.txt%00.html", "/archive\\kora-2026-12.csv", "/archive/kora-2026-12%2Ecsv",
              "/archive/%5c..%5cKORA.conf"})
            QTest::newRow(path) << QByteArray(path) << QByteArray() << QByteArray() << 400
                                << QByteArray("text/plain") << QByteArray("Bad path");
    }

    // The chart draws each stretch of line apart, every block of it, a lone block as a dot.
    void chartDrawsEachStretch_data()
    {
        QTest::addColumn<QList<int>>("minutes"); // of blocks, ten minutes apart as a rule
        QTest::addColumn<QString>("drawn");      // points of each line; "o" a dot
        QTest::newRow("one stretch") << QList<int>{0, 10, 20, 30} << "4";
        QTest::newRow("a gap") << QList<int>{0, 10, 20, 140, 150} << "3 2";
        QTest::newRow("a lone block after a gap") << QList<int>{0, 10, 20, 140} << "3 o";
        QTest::newRow("two gaps") << QList<int>{0, 10, 120, 130, 140, 300, 310} << "2 3 2";
    }

    void chartDrawsEachStretch()
    {
        QFETCH(QList<int>, minutes);
        const QDateTime start = QDateTime::fromString("2026-12-06T06:00:00Z", Qt::ISODate);
        std::vector<ArchiveRow> rows;
        for (const int minute : minutes)
            rows.push_back(ArchiveRow{start.addSecs(60 * minute),
                                      true,
                                      BlockSummary{21.5, 20.0, 23.0, 45, 40, 50, 300},
                                      {},
                                      {}});
        const QByteArray svg = HistorySvg::draw(
            HistoryModel::span(rows, start.addSecs(-3600), start.addSecs(6 * 3600)), QLocale::c());
        // The temperature's panel: its lines and dots in the order drawn.
        const QByteArray panel = svg.left(svg.indexOf("Humidity"));
        QStringList drawn;
        for (const QByteArray& part : panel.split('<')) {
            if (part.startsWith("polyline points=\""))
                drawn << QString::number(part.split('"')[1].split(' ').size());
            else if (part.startsWith("circle "))
                drawn << "o";
        }
        QTEST(drawn.join(' '), "drawn");
    }

    void answers()
    {
        QFETCH(QByteArray, path);
        QFETCH(QByteArray, query);

        QFETCH(QByteArray, language);
        QFETCH(int, status);
        QFETCH(QByteArray, type);
        QFETCH(QByteArray, inBody);
        HttpRequest request;
        request.path = path;
        if (query.contains('='))
            request.query.append({query.split('=').first(), query.split('=').last()});
        else if (!query.isEmpty())
            request.query.append({"span", query});
        if (!language.isEmpty())
            request.headers.append({"Accept-Language", language});
        HttpReply reply = m_site->reply(request);
        QCOMPARE(reply.status, status);
        // A file is sent as it is on the disk.
        if (!reply.file.isEmpty()) {
            QFile file(reply.file);
            QVERIFY(file.open(QIODevice::ReadOnly));
            reply.body = file.readAll();
        }
        if (status == 200)
            QVERIFY(!reply.body.isEmpty());
        // The hot day is the week's and the month's alone.
        if (path == "/api/history" && status == 200)
            QCOMPARE(reply.body.contains("\"high\":30"), query != "24h");
        // The link is neither listed nor followed.
        QVERIFY(!reply.body.contains("kora-2020-01.csv") &&
                !reply.body.contains("not for the page"));
        QVERIFY2(reply.contentType.startsWith(type), reply.contentType.constData());
        QVERIFY2(reply.body.contains(inBody), reply.body.left(2000).constData());
        QCOMPARE(reply.stream, path == "/events");
        // Scripts of other pages may read the JSON alone.
        bool shared = false;
        for (const auto& [name, value] : reply.headers)
            shared = shared || (name == "Access-Control-Allow-Origin" && value == "*");
        QCOMPARE(shared, path.startsWith("/api/"));
    }
};

QTEST_GUILESS_MAIN(TestStationSite)
#include "tst_stationsite.moc"
