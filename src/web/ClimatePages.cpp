#include "ClimatePages.h"

#include "station/ClimateSummary.h"
#include "station/HistoryModel.h"
#include "station/StationJson.h"

#include <QRegularExpression>

namespace {
HttpReply plain(int status, const QByteArray& body)
{
    HttpReply reply;
    reply.status = status;
    reply.body = body;
    return reply;
}

// A year from 1970 on, and a month of it, as asked for; false for anything else.
bool period(const QByteArray& asked, bool monthly, int& year, int& month)
{
    static const QRegularExpression yearOnly(QStringLiteral("^(\\d{4})$"));
    static const QRegularExpression yearMonth(QStringLiteral("^(\\d{4})-(\\d{2})$"));
    const QRegularExpressionMatch match =
        (monthly ? yearMonth : yearOnly).match(QString::fromLatin1(asked));
    if (!match.hasMatch())
        return false;
    year = match.captured(1).toInt();
    month = monthly ? match.captured(2).toInt() : 0;
    return year >= 1970 && month >= 0 && month <= 12 && (month > 0) == monthly;
}

ClimateSummary::Table table(const HistoryModel& history, int year, int month, const QDateTime& now)
{
    return month > 0 ? ClimateSummary::month(history.climate(), year, month, now)
                     : ClimateSummary::year(history.climate(), year, now);
}

QByteArray html(const QString& text)
{
    return text.toHtmlEscaped().toUtf8();
}
} // namespace

std::optional<HttpReply> ClimatePages::answer(const HttpRequest& request,
                                              const HistoryModel& history, const QDateTime& now)
{
    const QByteArray& path = request.path;
    HttpReply reply;
    reply.headers.append({QByteArray("Cache-Control"), QByteArray("no-cache")});
    int year = 0;
    int month = 0;
    if (path.startsWith("/climate/") && path.endsWith(".txt")) {
        const QByteArray asked = path.mid(9, path.size() - 9 - 4);
        if (!period(asked, asked.size() > 4, year, month))
            return plain(404, "A summary is /climate/YYYY-MM.txt or /climate/YYYY.txt.\n");
        reply.body = ClimateSummary::text(table(history, year, month, now));
    } else if (path == "/api/climate") {
        const QByteArray asked = request.argument("month");
        const bool monthly = !asked.isEmpty();
        if (!period(monthly ? asked : request.argument("year"), monthly, year, month))
            return plain(400, "Ask for ?month=YYYY-MM or ?year=YYYY.\n");
        reply.contentType = "application/json; charset=utf-8";
        reply.body =
            StationJson::compact(ClimateSummary::json(table(history, year, month, now))) + '\n';
    } else if (path == "/api/records") {
        reply.contentType = "application/json; charset=utf-8";
        reply.body = StationJson::compact(StationJson::records(history, now)) + '\n';
    } else {
        return std::nullopt;
    }
    return reply;
}

QByteArray ClimatePages::section(const HistoryModel& history, const QDateTime& now,
                                 const QLocale& locale)
{
    const QDate today = now.date();
    const std::array<ClimateDays::Sums, 3> found = history.climate().records(today);
    const std::pair<const char*, const ClimateDays::Sums&> rows[] = {
        {"All time", found[0]}, {"This year", found[1]}, {"This month", found[2]}};
    QByteArray records = "<table id=\"records\"><thead><tr><td></td><th scope=\"col\">Highest "
                         "temperature</th><th scope=\"col\">Lowest temperature</th><th "
                         "scope=\"col\">Highest humidity</th><th scope=\"col\">Lowest "
                         "humidity</th></tr></thead><tbody>\n";
    for (const auto& [name, period] : rows) {
        records += QByteArray("<tr><th scope=\"row\">") + name + "</th>";
        for (const ClimateDays::Extreme* extreme : {&period.temperatureHigh, &period.temperatureLow,
                                                    &period.humidityHigh, &period.humidityLow}) {
            const QString unit =
                extreme == &period.temperatureHigh || extreme == &period.temperatureLow
                    ? QStringLiteral("°C")
                    : QStringLiteral("%");
            records +=
                "<td>" +
                (extreme->found ? html(QStringLiteral("%1 %2 on %3")
                                           .arg(locale.toString(extreme->value, 'f', 1), unit,
                                                locale.toString(extreme->time().toLocalTime(),
                                                                QLocale::ShortFormat)))
                                : QByteArray("–")) +
                "</td>";
        }
        records += "</tr>\n";
    }
    const QDate lastMonth = today.addMonths(-1);
    const auto link = [](const QString& name, const QString& text) {
        return "<a href=\"climate/" + html(name) + ".txt\">" + html(text) + "</a>";
    };
    const QString thisMonth = today.toString(QStringLiteral("yyyy-MM"));
    return "<section id=\"climate-part\" aria-labelledby=\"climate\"><h2 id=\"climate\">Records "
           "and climate</h2>\n" +
           records + "</tbody></table>\n<p id=\"summaries\">Climate summaries: " +
           link(thisMonth,
                locale.standaloneMonthName(today.month()) + u' ' + QString::number(today.year())) +
           " · " +
           link(lastMonth.toString(QStringLiteral("yyyy-MM")),
                locale.standaloneMonthName(lastMonth.month()) + u' ' +
                    QString::number(lastMonth.year())) +
           " · " + link(QString::number(today.year()), QString::number(today.year())) + " · " +
           link(QString::number(today.year() - 1), QString::number(today.year() - 1)) +
           " · <a href=\"api/climate?month=" + html(thisMonth) + "\">JSON</a></p></section>\n";
}
