#pragma once

#include "WebServer.h"

#include <QJsonObject>
#include <QLocale>
#include <QObject>

#include <functional>
#include <map>
#include <memory>

class Clock;
class MainView;
class SettingsStore;
class Station;

// The station's own web page, for any browser on the local network: the last reading, the last
// block, the status line and the report, kept live by Server-Sent Events; the report file as
// written; the archive's month files; the same state as JSON for scripts. Nothing a request
// asks for changes anything, and no part of a path reaches the file system but the exact name
// of an archive month.
//
// Paths: / (the page, its style.css and page.js, history.svg), /events, /wxnow.txt, /archive/
// and its kora-YYYY-MM.csv files, /api/now, /api/history, and the climate's (ClimatePages).
class StationSite : public QObject {
    Q_OBJECT
public:
    StationSite(Station& station, MainView& view, const Clock& clock, QObject* parent = nullptr);

    // The page at the address on the command line or, without one, at Listen in [Web] of the
    // settings; none where neither is set. An address that cannot be listened on is told once on
    // the view's status line, and in told, and the station goes on without its page.
    static std::unique_ptr<StationSite> open(const QString& address, const SettingsStore& settings,
                                             Station& station, MainView& view, const Clock& clock,
                                             QString& told);
    // Returns what is wrong with the address, or nothing.
    QString listen(const QString& address) { return m_server.listen(address); }
    WebServer& server() { return m_server; }
    // Where a browser elsewhere finds the page, once it listens.
    QString pageUrl() const { return m_pageUrl; }

    WebServer::Reply reply(const WebServer::Request& request) const;
    QJsonObject now() const;
    // The language of numbers and dates for an Accept-Language header: the first one asked for
    // that is known, English otherwise.
    static QLocale localeFor(const QByteArray& acceptLanguage);

private:
    // The days of a span asked for as 24h, 7d, 31d or 1y; 0 for none of them.
    static int spanDays(const QByteArray& asked);
    QByteArray made(const char* kind, int days, const QLocale& locale,
                    const std::function<QByteArray()>& make) const;
    struct Made {
        quint64 revision = 0;
        qint64 slot = 0;
        QByteArray body;
    };
    static constexpr std::size_t MadeLimit = 32;
    mutable std::map<QString, Made> m_made;
    WebServer::Reply answer(const WebServer::Request& request) const;
    QByteArray reportBytes() const;
    void changed();

    Station& m_station;
    MainView& m_view;
    const Clock& m_clock;
    WebServer m_server;
    QJsonObject m_reading;
    QJsonObject m_block;
    QJsonObject m_port;
    QString m_pageUrl;
};
