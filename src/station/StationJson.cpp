#include "StationJson.h"

#include "measurement/Conditioning.h"

#include <QJsonDocument>

#include <cmath>

namespace {
// One decimal, as the window shows a reading: 21.5, never 21,5 nor 21.499999.
QJsonValue rounded(double value)
{
    return std::round(value * 10.0) / 10.0;
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
            {"count", block.readings}};
}

QJsonObject StationJson::reading(double temperature, double humidity, const QDateTime& at)
{
    return {{"time", isoTime(at)},
            {"temperature", rounded(temperature)},
            {"humidity", rounded(humidity)}};
}

QJsonObject StationJson::port(const QString& state, const QString& text, const QDateTime& at)
{
    return {{"time", isoTime(at)}, {"state", state}, {"text", text}};
}

QByteArray StationJson::compact(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}
