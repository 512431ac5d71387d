#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QString>

struct BlockSummary;
class HistoryModel;

// The station's state as JSON, alike for a broker and for a browser: numbers with a point and one
// decimal whatever the locale, times in ISO 8601 with their offset.
namespace StationJson {
QString isoTime(const QDateTime& at);
QJsonObject block(const BlockSummary& block, const QDateTime& at);
QJsonObject reading(double temperature, double humidity, const QDateTime& at);
QJsonObject port(const QString& state, const QString& text, const QDateTime& at);
QByteArray compact(const QJsonObject& object);
// The history of the last days as /api/history gives it: its blocks (at most the model's points)
// with where their line breaks, the stretches without readings, today's and yesterday's
// extremes, and whether the archive has been read whole.
QJsonObject history(const HistoryModel& history, const QDateTime& now, int days);
// The highest and lowest temperature and humidity with when, of all time, this year and this
// month, as /api/records gives them.
QJsonObject records(const HistoryModel& history, const QDateTime& now);
} // namespace StationJson
