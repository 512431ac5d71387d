#include "StationJson.h"

#include "HistoryModel.h"
#include "measurement/Conditioning.h"
#include "measurement/DewPoint.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>

namespace {
// One decimal, as the window shows a reading: 21.5, never 21,5 nor 21.499999.
QJsonValue rounded(double value)
{
    return std::round(value * 10.0) / 10.0;
}

// Null where the air holds no water vapour to speak of.
QJsonValue dewPoint(double temperature, double humidity)
{
    const std::optional<double> found = DewPoint::of(temperature, humidity);
    return found ? rounded(*found) : QJsonValue(QJsonValue::Null);
}

QJsonObject extremes(const ClimateDays::Sums& found)
{
    QJsonObject made;
    const std::pair<const char*, const ClimateDays::Extreme*> each[] = {
        {"temperatureHigh", &found.temperatureHigh},
        {"temperatureLow", &found.temperatureLow},
        {"humidityHigh", &found.humidityHigh},
        {"humidityLow", &found.humidityLow}};
    for (const auto& [name, extreme] : each)
        if (extreme->found)
            made.insert(name, QJsonObject{{"value", rounded(extreme->value)},
                                          {"time", StationJson::isoTime(extreme->time())}});
    return made;
}
} // namespace

QString StationJson::isoTime(const QDateTime& at)
{
    return at.toOffsetFromUtc(at.offsetFromUtc()).toString(Qt::ISODate);
}

QJsonObject StationJson::block(const BlockSummary& block, const QDateTime& at)
{
    return {{"time", isoTime(at)},
            {"temperature", QJsonObject{{"average", rounded(block.temperatureAverage)},
                                        {"low", rounded(block.temperatureLow)},
                                        {"high", rounded(block.temperatureHigh)}}},
            {"humidity", QJsonObject{{"average", rounded(block.humidityAverage)},
                                     {"low", rounded(block.humidityLow)},
                                     {"high", rounded(block.humidityHigh)}}},
            {"dewPoint", dewPoint(block.temperatureAverage, block.humidityAverage)},
            {"count", block.readings}};
}

QJsonObject StationJson::reading(double temperature, double humidity, const QDateTime& at)
{
    return {{"time", isoTime(at)},
            {"temperature", rounded(temperature)},
            {"humidity", rounded(humidity)},
            {"dewPoint", dewPoint(temperature, humidity)}};
}

QJsonObject StationJson::port(const QString& state, const QString& text, const QDateTime& at)
{
    return {{"time", isoTime(at)}, {"state", state}, {"text", text}};
}

QByteArray StationJson::compact(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QJsonObject StationJson::history(const HistoryModel& history, const QDateTime& now, int days)
{
    const HistoryModel::Span span = history.span(now.addDays(-days), now);
    QJsonArray blocks;
    for (std::size_t i = 0; i < span.blocks.size(); ++i) {
        QJsonObject made = StationJson::block(span.blocks[i].block, span.blocks[i].at);
        made.insert("lineEndsAfter", bool(span.lineEnds[i]));
        blocks.append(made);
    }
    QJsonArray intervals;
    for (const HistoryModel::Interval& interval : span.intervals)
        intervals.append(
            QJsonObject{{"from", isoTime(QDateTime::fromMSecsSinceEpoch(interval.from))},
                        {"to", isoTime(QDateTime::fromMSecsSinceEpoch(interval.to))},
                        {"event", PortEvents::word(interval.event)},
                        {"detail", interval.detail}});
    QJsonObject extremes;
    const QDate today = now.toLocalTime().date();
    for (int day = 0; day < 2; ++day) {
        const HistoryModel::Extremes found = history.extremes(today.addDays(-day));
        QJsonObject values;
        static const char* const Names[] = {"temperatureLow", "temperatureHigh", "humidityLow",
                                            "humidityHigh"};
        for (int which = 0; which < 4; ++which)
            if (const ArchiveRow* row = found.row(HistoryModel::Extremes::Which(which)))
                values.insert(
                    Names[which],
                    QJsonObject{
                        {"value",
                         std::round(found.value(HistoryModel::Extremes::Which(which)) * 10.0) /
                             10.0},
                        {"time", isoTime(row->at)}});
        extremes.insert(day == 0 ? "today" : "yesterday", values);
    }
    return {{"from", isoTime(QDateTime::fromMSecsSinceEpoch(span.from))},
            {"to", isoTime(QDateTime::fromMSecsSinceEpoch(span.to))},
            {"blocks", blocks},
            {"intervals", intervals},
            // False while the archive is still being read: the history is not whole yet.
            {"complete", history.isLoaded()},
            {"extremes", extremes}};
}

QJsonObject StationJson::records(const HistoryModel& history, const QDateTime& now)
{
    const QDate today = now.date();
    const std::array<ClimateDays::Sums, 3> found = history.climate().records(today);
    return {{"allTime", extremes(found[0])},
            {"year", extremes(found[1])},
            {"month", extremes(found[2])},
            {"complete", history.isLoaded()}};
}
