#include "ClimateSummary.h"

#include "StationJson.h"

#include <QJsonArray>
#include <QTimeZone>

#include <cmath>

namespace {
using ClimateSummary::Line;

constexpr const char* MonthNames[] = {"JANUARY",   "FEBRUARY", "MARCH",    "APRIL",
                                      "MAY",       "JUNE",     "JULY",     "AUGUST",
                                      "SEPTEMBER", "OCTOBER",  "NOVEMBER", "DECEMBER"};

// To the tenth, never "-0.0".
double tenth(double value)
{
    return std::round(value * 10.0) / 10.0 + 0.0;
}

Line dayLine(const ClimateDays& days, const QDate& date, const QDateTime& now)
{
    Line line;
    line.date = date;
    const qint64 start = QDateTime(date, QTime(0, 0), now.timeZone()).toMSecsSinceEpoch();
    const qint64 end = QDateTime(date.addDays(1), QTime(0, 0), now.timeZone()).toMSecsSinceEpoch();
    line.lengthSeconds = double(std::clamp(now.toMSecsSinceEpoch(), start, end) - start) / 1000.0;
    const auto [lost, silent] = days.outageSeconds(date, now.toMSecsSinceEpoch());
    line.lostSeconds = lost;
    line.silentSeconds = silent;
    const ClimateDays::Day* day = days.day(date);
    if (!day || day->blocks == 0)
        return line;
    static_cast<ClimateDays::Sums&>(line) = *day;
    // Each block stands for the time since the one before, at the pace the archive shows.
    line.coveredSeconds =
        std::min(double(end - start) / 1000.0, double(day->blocks) * days.spacingFor(date));
    // A day already over counts whole; today, its time so far.
    line.coveredSeconds = std::min(line.coveredSeconds, std::max(line.lengthSeconds, 0.0));
    const double mean = tenth(*line.meanTemperature());
    line.heating = tenth(std::max(0.0, ClimateSummary::DegreeDayBase - mean));
    line.cooling = tenth(std::max(0.0, mean - ClimateSummary::DegreeDayBase));
    return line;
}

QString number(const std::optional<double>& value, int width)
{
    return value ? QString::number(tenth(*value), 'f', 1).rightJustified(width)
                 : QString(width, u' ');
}

// How a high's or a low's moment is shown: its time on a day's line, its day on a month's, its
// month and day on a year's.
enum class When { Time, Day, MonthDay };

QString extreme(const ClimateDays::Extreme& extreme, When when)
{
    if (!extreme.found)
        return QString(13, u' ');
    const QDateTime at = extreme.time();
    const QString shown = when == When::Time  ? at.toString(QStringLiteral("HH:mm"))
                          : when == When::Day ? QString::number(at.date().day()).rightJustified(5)
                                              : at.toString(QStringLiteral("MM-dd"));
    return number(extreme.value, 7) + u' ' + shown;
}

QString row(const QString& label, const Line& line, When when)
{
    QString text = label.leftJustified(5);
    if (line.blocks > 0)
        text += number(line.meanTemperature(), 6) + extreme(line.temperatureHigh, when) +
                extreme(line.temperatureLow, when) + number(line.heating, 7) +
                number(line.cooling, 7) + number(line.meanHumidity(), 6) +
                number(line.meanDewPoint(), 7);
    else
        text += QString(6 + 13 + 13 + 7 + 7 + 6 + 7, u' ');
    if (line.known()) {
        const std::optional<double> coverage = line.coverage();
        text += (coverage ? QString::number(std::lround(*coverage * 100)) + u'%' : QString())
                    .rightJustified(7) +
                number(line.lostSeconds / 3600.0, 6) + number(line.silentSeconds / 3600.0, 7);
    }
    while (text.endsWith(u' '))
        text.chop(1);
    return text + u'\n';
}

QJsonValue jsonNumber(const std::optional<double>& value)
{
    return value ? QJsonValue(tenth(*value)) : QJsonValue(QJsonValue::Null);
}

QJsonValue jsonExtreme(const ClimateDays::Extreme& extreme)
{
    if (!extreme.found)
        return QJsonValue(QJsonValue::Null);
    return QJsonObject{{"value", tenth(extreme.value)},
                       {"time", StationJson::isoTime(extreme.time())}};
}

QJsonObject jsonLine(const Line& line, bool monthly)
{
    QJsonObject made{
        {monthly ? "date" : "month",
         line.date.toString(monthly ? QStringLiteral("yyyy-MM-dd") : QStringLiteral("yyyy-MM"))},
        {"blocks", line.blocks},
        {"readings", line.readings},
        {"coverage", line.coverage() ? QJsonValue(std::round(*line.coverage() * 1000) / 1000)
                                     : QJsonValue(QJsonValue::Null)},
        {"lostHours", tenth(line.lostSeconds / 3600.0)},
        {"silentHours", tenth(line.silentSeconds / 3600.0)}};
    if (line.blocks == 0)
        return made;
    made.insert("temperature", QJsonObject{{"mean", jsonNumber(line.meanTemperature())},
                                           {"high", jsonExtreme(line.temperatureHigh)},
                                           {"low", jsonExtreme(line.temperatureLow)}});
    made.insert("humidity", QJsonObject{{"mean", jsonNumber(line.meanHumidity())},
                                        {"high", jsonExtreme(line.humidityHigh)},
                                        {"low", jsonExtreme(line.humidityLow)}});
    made.insert("dewPoint", jsonNumber(line.meanDewPoint()));
    made.insert("heatingDegreeDays", tenth(line.heating));
    made.insert("coolingDegreeDays", tenth(line.cooling));
    return made;
}
} // namespace

std::optional<double> Line::coverage() const
{
    return lengthSeconds > 0.0 ? std::optional<double>(coveredSeconds / lengthSeconds)
                               : std::nullopt;
}

void Line::add(const Line& part)
{
    ClimateDays::Sums::add(part);
    heating = tenth(heating + part.heating);
    cooling = tenth(cooling + part.cooling);
    coveredSeconds += part.coveredSeconds;
    lengthSeconds += part.lengthSeconds;
    lostSeconds += part.lostSeconds;
    silentSeconds += part.silentSeconds;
}

ClimateSummary::Table ClimateSummary::month(const ClimateDays& days, int year, int month,
                                            const QDateTime& now)
{
    Table table;
    table.year = year;
    table.month = month;
    table.total.date = QDate(year, month, 1);
    for (QDate date(year, month, 1); date.isValid() && date.month() == month;
         date = date.addDays(1)) {
        table.lines.push_back(dayLine(days, date, now));
        table.total.add(table.lines.back());
    }
    return table;
}

ClimateSummary::Table ClimateSummary::year(const ClimateDays& days, int year, const QDateTime& now)
{
    Table table;
    table.year = year;
    table.total.date = QDate(year, 1, 1);
    for (int month = 1; month <= 12; ++month) {
        table.lines.push_back(ClimateSummary::month(days, year, month, now).total);
        table.total.add(table.lines.back());
    }
    return table;
}

QByteArray ClimateSummary::text(const Table& table)
{
    const bool monthly = table.month > 0;
    QString text = QStringLiteral("CLIMATE SUMMARY FOR ") +
                   (monthly ? QString::fromLatin1(MonthNames[table.month - 1]) + u' ' : QString()) +
                   QString::number(table.year) + QStringLiteral("\n\n");
    text += QStringLiteral(
        "Temperature and dew point in deg C, humidity in %, at the station's local time.\n"
        "Mean: of the blocks' averages, weighted by their readings. Heat and cool: degree\n"
        "days from 18.3 deg C. Cover: the share of the time with readings archived. Lost:\n"
        "hours the port was lost or KORA did not run. Silent: hours the sensor was silent.\n\n");
    const QString when = monthly ? QStringLiteral(" TIME") : QStringLiteral("  DAY");
    text += QString(40, u' ') + QStringLiteral("DEGREE DAYS\n");
    text += (monthly ? QStringLiteral("DAY  ") : QStringLiteral("MONTH")) +
            QStringLiteral("  MEAN   HIGH") + when + QStringLiteral("    LOW") + when +
            QStringLiteral("   HEAT   COOL   HUM  DEWPT  COVER  LOST SILENT\n");
    const QString rule = QString(84, u'-') + u'\n';
    text += rule;
    for (const Line& line : table.lines)
        text += row(monthly ? QString::number(line.date.day()).rightJustified(3)
                            : QString::fromLatin1(MonthNames[line.date.month() - 1]).left(3),
                    line, monthly ? When::Time : When::Day);
    text += rule;
    text += row(QString(), table.total, monthly ? When::Day : When::MonthDay);
    return text.toUtf8();
}

QJsonObject ClimateSummary::json(const Table& table)
{
    const bool monthly = table.month > 0;
    QJsonArray lines;
    for (const Line& line : table.lines)
        lines.append(jsonLine(line, monthly));
    QJsonObject total = jsonLine(table.total, false);
    total.remove(QStringLiteral("month"));
    return {{monthly ? "month" : "year", monthly
                                             ? table.total.date.toString(QStringLiteral("yyyy-MM"))
                                             : QString::number(table.year)},
            {"degreeDayBase", DegreeDayBase},
            {monthly ? "days" : "months", lines},
            {"total", total}};
}
