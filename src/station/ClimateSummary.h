#pragma once

#include "ClimateDays.h"

#include <QByteArray>
#include <QJsonObject>

#include <optional>
#include <vector>

// The monthly and yearly climate summaries, laid out as the weather services' monthly reports
// are: a line a day (or a month) with its mean, high and low with when, heating and cooling
// degree days, mean humidity and dew point, and how complete its record is. Plain text the same
// in every locale, and JSON.
namespace ClimateSummary {
// Heating and cooling degree days count from a day's mean against this, in °C (65 °F).
constexpr double DegreeDayBase = 18.3;

struct Line : ClimateDays::Sums {
    // The day, or the first of the month.
    QDate date;
    // Degree days, summed over the days for a month.
    double heating = 0.0;
    double cooling = 0.0;
    // The time with readings archived, of the time so far; lost and silent.
    double coveredSeconds = 0.0;
    double lengthSeconds = 0.0;
    double lostSeconds = 0.0;
    double silentSeconds = 0.0;

    // The share of its time with readings archived; none before it began.
    std::optional<double> coverage() const;
    // Anything to show beyond its date.
    bool known() const { return blocks > 0 || lostSeconds > 0 || silentSeconds > 0; }
    void add(const Line& part);
};

struct Table {
    int year = 0;
    // 1 to 12 for a month's summary, 0 for a year's.
    int month = 0;
    std::vector<Line> lines;
    Line total;
};

Table month(const ClimateDays& days, int year, int month, const QDateTime& now);
Table year(const ClimateDays& days, int year, const QDateTime& now);

QByteArray text(const Table& table);
QJsonObject json(const Table& table);
} // namespace ClimateSummary
