#include "StationPage.h"

#include "station/HistoryModel.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>

namespace {
QByteArray html(const QString& text)
{
    return text.toHtmlEscaped().toUtf8();
}
} // namespace

const QRegularExpression& StationPage::monthFile()
{
    static const QRegularExpression pattern(QStringLiteral("^kora-\\d{4}-\\d{2}\\.csv$"));
    return pattern;
}

QByteArray StationPage::archiveList(const QString& folder)
{
    QByteArray body = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
                      "<title>KORA archive</title><link rel=\"stylesheet\" href=\"../style.css\">"
                      "</head><body><h1>KORA archive</h1><p><a href=\"../\">The station now</a></p>"
                      "<ul>\n";
    if (!folder.isEmpty()) {
        const QStringList months =
            QDir(folder).entryList({QStringLiteral("kora-*.csv")}, QDir::Files | QDir::NoSymLinks,
                                   QDir::Name | QDir::Reversed);
        for (const QString& month : months)
            if (monthFile().match(month).hasMatch())
                body += "<li><a href=\"" + html(month) + "\">" + html(month) + "</a></li>\n";
    }
    return body + "</ul></body></html>\n";
}

QByteArray StationPage::historySection(const HistoryModel& history, const QDateTime& now,
                                       const QLocale& locale, int days)
{
    const HistoryModel::Span span = history.span(now.addDays(-days), now);
    static const std::pair<int, const char*> Spans[] = {
        {1, "24h"}, {7, "7d"}, {31, "31d"}, {365, "1y"}};
    QByteArray links;
    QByteArray name;
    for (const auto& [spanDays, spanName] : Spans) {
        links += QByteArray(links.isEmpty() ? "" : " · ") + "<a href=\"?span=" + spanName +
                 "#history\"" + (spanDays == days ? " aria-current=\"page\"" : "") + ">Last " +
                 (spanDays == 1 ? QByteArray("24 hours") : QByteArray::number(spanDays) + " days") +
                 "</a>";
        if (spanDays == days)
            name = spanName;
    }

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
            const ArchiveRow* row = found.row(HistoryModel::Extremes::Which(which));
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

QByteArray StationPage::page(const QJsonObject& state, const QByteArray& history,
                             const QLocale& locale)
{
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
           "<link rel=\"icon\" href=\"favicon.svg\" type=\"image/svg+xml\">"
           "<script src=\"page.js\" defer></script></head>\n<body>\n"
           "<header><h1>KORA</h1><p id=\"status\" role=\"status\" aria-live=\"polite\">" +
           html(state["status"].toString()) +
           "</p></header>\n<main>\n"
           "<section aria-labelledby=\"now\"><h2 id=\"now\">Now</h2><dl class=\"now\">"
           "<div><dt>Temperature, °C</dt><dd id=\"temperature\">" +
           number(reading["temperature"], 1) +
           "</dd></div><div><dt>Humidity, %</dt><dd id=\"humidity\">" +
           number(reading["humidity"], 0) +
           "</dd></div><div><dt>Dew point, °C</dt><dd id=\"dew-point\">" +
           number(reading["dewPoint"], 1) + "</dd></div></dl><p>Read " +
           time("reading-time", reading["time"]) +
           "</p></section>\n"
           "<section aria-labelledby=\"block\"><h2 id=\"block\">Last block</h2>"
           "<table><thead><tr><td></td><th scope=\"col\">Average</th><th scope=\"col\">Lowest"
           "</th><th scope=\"col\">Highest</th></tr></thead><tbody>\n" +
           rows + "</tbody></table><p><span id=\"block-count\">" + number(block["count"], 0) +
           "</span> readings, averaged " + time("block-time", block["time"]) +
           "; dew point of the averages <span id=\"block-dew-point\">" +
           number(block["dewPoint"], 1) + "</span> °C" +
           "</p></section>\n"
           "<section aria-labelledby=\"report-heading\"><h2 id=\"report-heading\">Report</h2>"
           "<pre id=\"report\">" +
           html(report.join(u'\n')) +
           "</pre><p><a href=\"wxnow.txt\">wxnow.txt</a></p></section>\n" + history +
           "<nav><a href=\"archive/\">Archive</a> · <a href=\"api/now\">JSON</a></nav>\n"
           "</main>\n</body></html>\n";
}
