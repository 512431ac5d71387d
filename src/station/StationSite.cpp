#include "StationSite.h"

#include "HistorySvg.h"
#include "Station.h"
#include "StationJson.h"
#include "measurement/Conditioning.h"
#include "measurement/MainView.h"
#include "measurement/ReportWriter.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

#include <cmath>

namespace {
const QRegularExpression& monthFile()
{
    static const QRegularExpression pattern(QStringLiteral("^kora-\\d{4}-\\d{2}\\.csv$"));
    return pattern;
}

WebServer::Reply text(int status, const QByteArray& body)
{
    WebServer::Reply reply;
    reply.status = status;
    reply.body = body;
    return reply;
}

QByteArray html(const QString& text)
{
    return text.toHtmlEscaped().toUtf8();
}

// What style.css and page.js are: the page's own, so that its policy allows nothing inline.
// Every address in the page is relative, so that it also works behind a proxy's prefix.
const char Style[] = R"(:root { color-scheme: light dark; font-family: system-ui, sans-serif; }
*, *::before, *::after { box-sizing: border-box; }
body { margin: 0 auto; max-width: 48rem; padding: 0.5rem 1rem; line-height: 1.4; }
h1 { font-size: 1.5rem; margin: 0.5rem 0; }
h2 { font-size: 1.1rem; margin: 1rem 0 0.25rem; }
#status { margin: 0; padding: 0.25rem 0.5rem; border-left: 0.25rem solid #888; }
.now { display: flex; flex-wrap: wrap; gap: 0.5rem 2rem; margin: 0; }
.now div { min-width: 9rem; }
.now dt { font-size: 0.9rem; }
.now dd { margin: 0; font-size: 2rem; font-variant-numeric: tabular-nums; }
table { border-collapse: collapse; display: block; max-width: 100%; overflow-x: auto; }
th, td { padding: 0.15rem 0.75rem 0.15rem 0; text-align: right; }
th[scope=row] { text-align: left; }
pre { overflow-x: auto; }
#chart { width: 100%; height: auto; max-width: 800px; border: 1px solid #ccc; }
nav a[aria-current] { font-weight: bold; }
#extremes { margin-top: 0.5rem; font-size: 0.9rem; }
@media (max-width: 32rem) { #extremes { font-size: 0.75rem; } th, td { padding-right: 0.4rem; } }
a:focus, a:hover { outline: 2px solid; }
)";

const char Script[] = R"("use strict";
// Keeps the page live: each change of the station comes as an event "now" with /api/now's JSON.
(function () {
  const lang = document.documentElement.lang || "en";
  let lastDrawn;
  const formats = {};
  function number(value, decimals) {
    if (typeof value !== "number") return "–";
    const key = String(decimals);
    formats[key] = formats[key] || new Intl.NumberFormat(lang,
      { minimumFractionDigits: decimals, maximumFractionDigits: decimals });
    return formats[key].format(value);
  }
  function set(id, text) {
    const element = document.getElementById(id);
    if (element && element.textContent !== text) element.textContent = text;
  }
  function time(id, iso) {
    const element = document.getElementById(id);
    if (!element || !iso) return;
    element.dateTime = iso;
    element.textContent = new Date(iso).toLocaleString(lang);
  }
  function show(now) {
    const reading = now.reading || {};
    set("temperature", number(reading.temperature, 1));
    set("humidity", number(reading.humidity, 0));
    time("reading-time", reading.time);
    const block = now.block || {};
    for (const quantity of ["temperature", "humidity"]) {
      const values = block[quantity] || {};
      for (const which of ["average", "low", "high"])
        set(quantity + "-" + which, number(values[which], 1));
    }
    set("block-count", number(block.count, 0));
    time("block-time", block.time);
    set("status", now.status || "");
    set("report", (now.report || []).join("\n"));
    // A new block, or the port lost or back: the history is drawn again, its chart, extremes
    // and events, as the page's own address gives them.
    const drawn = (block.time || "") + " " + ((now.port || {}).time || "");
    if (lastDrawn !== undefined && drawn !== lastDrawn) {
      fetch(location.pathname + location.search).then(r => r.text()).then(function (text) {
        const fresh = new DOMParser().parseFromString(text, "text/html");
        const section = fresh.getElementById("history-part");
        const shown = document.getElementById("history-part");
        if (section && shown) shown.replaceWith(document.adoptNode(section));
      });
    }
    lastDrawn = drawn;
  }
  if (!window.EventSource) return;
  const events = new EventSource("events");
  events.addEventListener("now", function (event) { show(JSON.parse(event.data)); });
  // Whether the page is live, for whoever wonders why it stands still.
  events.onopen = function () { document.body.dataset.live = "yes"; };
  events.onerror = function () { document.body.dataset.live = "no"; };
})();
)";
} // namespace

StationSite::StationSite(Station& station, MainView& view, const Clock& clock, QObject* parent)
    : QObject(parent), m_station(station), m_view(view), m_clock(clock),
      m_server([this](const WebServer::Request& request) { return reply(request); })
{
    connect(&station, &Station::readingTaken, this, [this](double temperature, double humidity) {
        m_reading = StationJson::reading(temperature, humidity, m_clock.now());
        changed();
    });
    connect(&station, &Station::blockDone, this, [this](const BlockSummary& block) {
        m_block = StationJson::block(block, m_clock.now());
        changed();
    });
    connect(&station, &Station::portNoticed, this,
            [this](const QString& what, const QString& shown) {
                m_port = StationJson::port(StationJson::portState(what), shown, m_clock.now());
                changed();
            });
}

std::unique_ptr<StationSite> StationSite::open(const QString& address,
                                               const SettingsStore& settings, Station& station,
                                               MainView& view, const Clock& clock, QString& told)
{
    const QString where =
        address.isEmpty()
            ? settings.GetSetting(SettingsKeys::WebSection, SettingsKeys::WebListen, {}).trimmed()
            : address;
    if (where.isEmpty())
        return nullptr;
    auto site = std::make_unique<StationSite>(station, view, clock);
    const QString stamp = ReportWriter::statusStamp(clock.now()) + u' ';
    if (const QString problem = site->listen(where); !problem.isEmpty()) {
        told = stamp + QStringLiteral("Web page: ") + problem +
               QStringLiteral("; the station goes on without it");
        view.showNotice(stamp + QStringLiteral("Web page off"), told);
        return nullptr;
    }
    // The port the system chose, where the address asked for any.
    told = stamp + QStringLiteral("Web page on http://%1:%2/")
                       .arg(where.left(where.lastIndexOf(u':')))
                       .arg(site->server().port());
    view.showNotice(told, told);
    return site;
}

void StationSite::changed()
{
    if (m_server.streams() > 0)
        m_server.broadcast("event: now\ndata: " + StationJson::compact(now()) + "\n\n");
}

QByteArray StationSite::reportBytes() const
{
    QFile report(QDir(m_station.reportFolder()).filePath(ReportWriter::FileName));
    return report.open(QIODevice::ReadOnly) ? report.read(4096) : QByteArray();
}

QJsonObject StationSite::now() const
{
    QJsonArray report;
    for (const QByteArray& line : reportBytes().split('\n'))
        if (!line.trimmed().isEmpty())
            report.append(QString::fromLatin1(line.trimmed()));
    QJsonObject now{{"status", m_view.labelText(MainView::Label::Status)},
                    {"report", report},
                    {"time", StationJson::isoTime(m_clock.now())}};
    if (!m_reading.isEmpty())
        now.insert("reading", m_reading);
    if (!m_block.isEmpty())
        now.insert("block", m_block);
    if (!m_port.isEmpty())
        now.insert("port", m_port);
    return now;
}

QLocale StationSite::localeFor(const QByteArray& acceptLanguage)
{
    // "de-CH, de;q=0.9, en;q=0.8": the tags by their weight, the first of equals first.
    QList<QPair<double, QString>> asked;
    for (const QByteArray& part : acceptLanguage.split(',')) {
        const QList<QByteArray> fields = part.trimmed().split(';');
        const QString tag = QString::fromLatin1(fields.value(0).trimmed());
        double weight = 1.0;
        for (const QByteArray& field : fields.mid(1))
            if (field.trimmed().startsWith("q="))
                weight = field.trimmed().mid(2).toDouble();
        if (!tag.isEmpty() && tag != u"*" && weight > 0)
            asked.append({-weight, tag});
    }
    std::stable_sort(asked.begin(), asked.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [weight, tag] : asked) {
        const QLocale locale(tag);
        if (locale.language() != QLocale::C && locale.name() != u"C")
            return locale;
    }
    return QLocale(QLocale::English, QLocale::UnitedStates);
}

WebServer::Reply StationSite::reply(const WebServer::Request& request) const
{
    WebServer::Reply reply = answer(request);
    // Scripts of other pages may read the JSON, its refusals too; nothing else.
    if (request.path.startsWith("/api/"))
        reply.headers.append({QByteArray("Access-Control-Allow-Origin"), QByteArray("*")});
    return reply;
}

WebServer::Reply StationSite::answer(const WebServer::Request& request) const
{
    const QByteArray& path = request.path;
    // Encoded slashes, dots or ends are no part of any name here.
    const QByteArray lower = path.toLower();
    if (path.contains("..") || lower.contains("%00") || lower.contains("%2f") ||
        lower.contains("%5c") || lower.contains("%2e") || path.contains('\\'))
        return text(400, "Bad path.\n");

    const QByteArray span = request.argument("span");
    const int days = spanDays(span.isEmpty() ? QByteArray("24h") : span);
    const bool historic = path == "/" || path == "/history.svg" || path == "/api/history";
    if (historic && days == 0)
        return text(400, "The span is 24h, 7d or 31d.\n");
    const QLocale locale = localeFor(request.header("Accept-Language"));

    WebServer::Reply reply;
    reply.headers.append({QByteArray("Cache-Control"), QByteArray("no-cache")});
    if (path == "/") {
        reply.contentType = "text/html; charset=utf-8";
        reply.body = page(locale, days);
    } else if (path == "/history.svg") {
        const QDateTime now = m_clock.now();
        reply.contentType = "image/svg+xml; charset=utf-8";
        reply.body = HistorySvg::draw(m_station.history().span(now.addDays(-days), now), locale);
    } else if (path == "/api/history") {
        reply.contentType = "application/json; charset=utf-8";
        reply.body = StationJson::compact(historyJson(days)) + '\n';
    } else if (path == "/style.css") {
        reply.contentType = "text/css; charset=utf-8";
        reply.body = Style;
    } else if (path == "/page.js") {
        reply.contentType = "text/javascript; charset=utf-8";
        reply.body = Script;
    } else if (path == "/events") {
        reply.contentType = "text/event-stream; charset=utf-8";
        reply.body = "retry: 2000\n\nevent: now\ndata: " + StationJson::compact(now()) + "\n\n";
        reply.stream = true;
    } else if (path == "/api/now") {
        reply.contentType = "application/json; charset=utf-8";
        reply.body = StationJson::compact(now()) + '\n';
    } else if (path == "/wxnow.txt") {
        reply.body = reportBytes();
        if (reply.body.isEmpty())
            return text(404, "No report has been written yet.\n");
    } else if (path == "/archive/") {
        reply.contentType = "text/html; charset=utf-8";
        reply.body = archiveList();
    } else if (path.startsWith("/archive/") &&
               monthFile().match(QString::fromLatin1(path.mid(9))).hasMatch() &&
               !m_station.archiveFolder().isEmpty()) {
        QFile month(QDir(m_station.archiveFolder()).filePath(QString::fromLatin1(path.mid(9))));
        if (!month.open(QIODevice::ReadOnly))
            return text(404, "No such month in the archive.\n");
        reply.contentType = "text/csv; charset=utf-8";
        reply.body = month.readAll();
    } else {
        return text(404, "Nothing here.\n");
    }
    return reply;
}

QByteArray StationSite::archiveList() const
{
    QByteArray body = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
                      "<title>KORA archive</title><link rel=\"stylesheet\" href=\"../style.css\">"
                      "</head><body><h1>KORA archive</h1><p><a href=\"../\">The station now</a></p>"
                      "<ul>\n";
    if (!m_station.archiveFolder().isEmpty()) {
        const QStringList months = QDir(m_station.archiveFolder())
                                       .entryList({QStringLiteral("kora-*.csv")}, QDir::Files,
                                                  QDir::Name | QDir::Reversed);
        for (const QString& month : months)
            if (monthFile().match(month).hasMatch())
                body += "<li><a href=\"" + html(month) + "\">" + html(month) + "</a></li>\n";
    }
    return body + "</ul></body></html>\n";
}

int StationSite::spanDays(const QByteArray& asked)
{
    if (asked == "24h")
        return 1;
    if (asked == "7d")
        return 7;
    if (asked == "31d")
        return 31;
    return 0;
}

QJsonObject StationSite::historyJson(int days) const
{
    const QDateTime now = m_clock.now();
    const HistoryModel::Span span = m_station.history().span(now.addDays(-days), now);
    QJsonArray blocks;
    for (std::size_t i = 0; i < span.blocks.size(); ++i) {
        QJsonObject block = StationJson::block(span.blocks[i].block, span.blocks[i].at);
        block.insert("lineEndsAfter", bool(span.lineEnds[i]));
        blocks.append(block);
    }
    QJsonArray intervals;
    for (const HistoryModel::Interval& interval : span.intervals)
        intervals.append(QJsonObject{
            {"from", StationJson::isoTime(QDateTime::fromMSecsSinceEpoch(interval.from))},
            {"to", StationJson::isoTime(QDateTime::fromMSecsSinceEpoch(interval.to))},
            {"event", interval.event},
            {"detail", interval.detail}});
    QJsonObject extremes;
    const QDate today = now.toLocalTime().date();
    for (int day = 0; day < 2; ++day) {
        const HistoryModel::Extremes found = m_station.history().extremes(today.addDays(-day));
        QJsonObject values;
        static const char* const Names[] = {"temperatureLow", "temperatureHigh", "humidityLow",
                                            "humidityHigh"};
        for (int which = 0; which < 4; ++which)
            if (const ArchiveRow* row = found.rows[which])
                values.insert(
                    Names[which],
                    QJsonObject{
                        {"value",
                         std::round(found.value(HistoryModel::Extremes::Which(which)) * 10.0) /
                             10.0},
                        {"time", StationJson::isoTime(row->at)}});
        extremes.insert(day == 0 ? "today" : "yesterday", values);
    }
    return {{"from", StationJson::isoTime(QDateTime::fromMSecsSinceEpoch(span.from))},
            {"to", StationJson::isoTime(QDateTime::fromMSecsSinceEpoch(span.to))},
            {"blocks", blocks},
            {"intervals", intervals},
            {"extremes", extremes}};
}

QByteArray StationSite::historySection(const QLocale& locale, int days) const
{
    const QDateTime now = m_clock.now();
    const HistoryModel& history = m_station.history();
    const HistoryModel::Span span = history.span(now.addDays(-days), now);
    static const std::pair<int, const char*> Spans[] = {{1, "24h"}, {7, "7d"}, {31, "31d"}};
    QByteArray links;
    for (const auto& [spanDays, name] : Spans)
        links += QByteArray(links.isEmpty() ? "" : " · ") + "<a href=\"?span=" + name +
                 "#history\"" + (spanDays == days ? " aria-current=\"page\"" : "") + ">Last " +
                 (spanDays == 1 ? QByteArray("24 hours") : QByteArray::number(spanDays) + " days") +
                 "</a>";

    // In words, for whoever does not see the chart.
    QString summary =
        QStringLiteral("Temperature and humidity, last %1: ")
            .arg(days == 1 ? QStringLiteral("24 hours") : QStringLiteral("%1 days").arg(days));
    if (span.blocks.empty()) {
        summary += QStringLiteral("no reports.");
    } else {
        const auto [tLow, tHigh] = HistoryModel::range(span, HistoryModel::Quantity::Temperature);
        const auto [hLow, hHigh] = HistoryModel::range(span, HistoryModel::Quantity::Humidity);
        summary += QStringLiteral("%1 reports, temperature from %2 to %3 °C, humidity from %4 "
                                  "to %5 %; stretches without readings: %6.")
                       .arg(span.blocks.size())
                       .arg(locale.toString(tLow, 'f', 1), locale.toString(tHigh, 'f', 1),
                            locale.toString(hLow, 'f', 1), locale.toString(hHigh, 'f', 1))
                       .arg(span.intervals.size());
    }
    QByteArray events;
    for (const HistoryModel::Interval& interval : span.intervals)
        events += "<li>" + html(HistoryModel::describe(interval, locale)) + "</li>\n";

    static const char* const Columns[] = {"Lowest temperature", "Highest temperature",
                                          "Lowest humidity", "Highest humidity"};
    QByteArray extremes = "<table id=\"extremes\"><thead><tr><td></td>";
    for (const char* column : Columns)
        extremes += QByteArray("<th scope=\"col\">") + column + "</th>";
    extremes += "</tr></thead><tbody>\n";
    const QDate today = now.toLocalTime().date();
    for (int day = 0; day < 2; ++day) {
        const HistoryModel::Extremes found = history.extremes(today.addDays(-day));
        extremes +=
            QByteArray("<tr><th scope=\"row\">") + (day == 0 ? "Today" : "Yesterday") + "</th>";
        for (int which = 0; which < 4; ++which) {
            const ArchiveRow* row = found.rows[which];
            extremes +=
                "<td>" +
                (row ? html(QStringLiteral("%1 %2 at %3")
                                .arg(locale.toString(
                                         found.value(HistoryModel::Extremes::Which(which)), 'f', 1),
                                     which < 2 ? QStringLiteral("°C") : QStringLiteral("%"),
                                     locale.toString(row->at.toLocalTime().time(),
                                                     QLocale::ShortFormat)))
                     : QByteArray("–")) +
                "</td>";
        }
        extremes += "</tr>\n";
    }
    const QByteArray name = days == 1 ? "24h" : QByteArray::number(days) + 'd';
    return "<section id=\"history-part\" aria-labelledby=\"history\"><h2 id=\"history\">"
           "History</h2>\n"
           "<nav aria-label=\"Span\">" +
           links + "</nav>\n<img id=\"chart\" src=\"history.svg?span=" + name +
           // A new address for each new row: a browser keeps an image it has by its address.
           "&amp;rows=" + QByteArray::number(history.newest()) +
           "\" width=\"800\" height=\"440\" alt=\"" + html(summary) + "\">\n" + extremes +
           "</tbody></table>\n<details><summary>What happened to the port</summary><ul "
           "id=\"events\">\n" +
           (events.isEmpty() ? QByteArray("<li>Nothing: it was read all the time.</li>\n")
                             : events) +
           "</ul></details></section>\n";
}

QByteArray StationSite::page(const QLocale& locale, int days) const
{
    const QJsonObject state = now();
    const auto number = [&locale](const QJsonValue& value, int decimals) {
        return value.isDouble() ? html(locale.toString(value.toDouble(), 'f', decimals))
                                : QByteArray("–");
    };
    const auto time = [&locale](const QString& id, const QJsonValue& iso) {
        const QDateTime at = QDateTime::fromString(iso.toString(), Qt::ISODate);
        return "<time id=\"" + id.toUtf8() + "\" datetime=\"" + html(iso.toString()) + "\">" +
               (at.isValid() ? html(locale.toString(at.toLocalTime(), QLocale::ShortFormat))
                             : "–") +
               "</time>";
    };
    const QJsonObject reading = state["reading"].toObject();
    const QJsonObject block = state["block"].toObject();
    QByteArray rows;
    for (const char* quantity : {"temperature", "humidity"}) {
        const QJsonObject values = block[quantity].toObject();
        rows += "<tr><th scope=\"row\">" +
                QByteArray(quantity[0] == 't' ? "Temperature, °C" : "Humidity, %") + "</th>";
        for (const char* which : {"average", "low", "high"})
            rows += "<td id=\"" + QByteArray(quantity) + '-' + which + "\">" +
                    number(values[which], 1) + "</td>";
        rows += "</tr>\n";
    }
    QStringList report;
    for (const QJsonValue& line : state["report"].toArray())
        report.append(line.toString());

    return "<!DOCTYPE html>\n<html lang=\"" + html(locale.bcp47Name()) +
           "\"><head><meta charset=\"utf-8\">"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
           "<title>KORA</title><link rel=\"stylesheet\" href=\"style.css\">"
           "<script src=\"page.js\" defer></script></head>\n<body>\n"
           "<header><h1>KORA</h1><p id=\"status\" role=\"status\" aria-live=\"polite\">" +
           html(state["status"].toString()) +
           "</p></header>\n<main>\n"
           "<section aria-labelledby=\"now\"><h2 id=\"now\">Now</h2><dl class=\"now\">"
           "<div><dt>Temperature, °C</dt><dd id=\"temperature\">" +
           number(reading["temperature"], 1) +
           "</dd></div><div><dt>Humidity, %</dt><dd id=\"humidity\">" +
           number(reading["humidity"], 0) + "</dd></div></dl><p>Read " +
           time("reading-time", reading["time"]) +
           "</p></section>\n"
           "<section aria-labelledby=\"block\"><h2 id=\"block\">Last block</h2>"
           "<table><thead><tr><td></td><th scope=\"col\">Average</th><th scope=\"col\">Lowest"
           "</th><th scope=\"col\">Highest</th></tr></thead><tbody>\n" +
           rows + "</tbody></table><p><span id=\"block-count\">" + number(block["count"], 0) +
           "</span> readings, averaged " + time("block-time", block["time"]) +
           "</p></section>\n"
           "<section aria-labelledby=\"report-heading\"><h2 id=\"report-heading\">Report</h2>"
           "<pre id=\"report\">" +
           html(report.join(u'\n')) +
           "</pre><p><a href=\"wxnow.txt\">wxnow.txt</a></p></section>\n" +
           historySection(locale, days) +
           "<nav><a href=\"archive/\">Archive</a> · <a href=\"api/now\">JSON</a></nav>\n"
           "</main>\n</body></html>\n";
}
