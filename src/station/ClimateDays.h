#pragma once

#include "PortEvent.h"

#include <QDate>
#include <QDateTime>

#include <array>
#include <deque>
#include <map>
#include <optional>

// Every day the archive holds, each summed up as its blocks and events come: what the climate
// summaries, the records and a year's chart are made of. A day takes a few hundred bytes, so ten
// years of them stay within a megabyte, and nothing asked of them reads the archive again.
//
// A day is the station's local day, by the offset each row was written with.
class ClimateDays {
public:
    // A day's highest or lowest, with when it was.
    struct Extreme {
        double value = 0.0;
        qint64 at = 0;
        qint32 offsetSeconds = 0;
        bool found = false;
        QDateTime time() const;
        // Keeps the candidate where it is beyond this one; the earlier of equals stays.
        void take(const Extreme& candidate, bool higher);
    };

    // What blocks sum to, for a day, a month or the records: their averages weighted by their
    // readings (a block without a count weighs one), and the extremes with when.
    struct Sums {
        int blocks = 0;
        qint64 readings = 0;
        double weight = 0.0;
        double temperatureSum = 0.0;
        double humiditySum = 0.0;
        double dewPointWeight = 0.0;
        double dewPointSum = 0.0;
        Extreme temperatureHigh, temperatureLow, humidityHigh, humidityLow;

        std::optional<double> meanTemperature() const;
        std::optional<double> meanHumidity() const;
        std::optional<double> meanDewPoint() const;
        void add(const Sums& part);
    };

    struct Day : Sums {
        QDate date;
        // The first spacings between the day's blocks, in seconds: their median is the day's
        // usual spacing, which a gap or two does not move.
        static constexpr int SpacingSamples = 15;
        qint32 spacings[SpacingSamples] = {};
        int spacingCount = 0;
        // Port lost, missing or failing, or the program not running; the port silent.
        double lostSeconds = 0.0;
        double silentSeconds = 0.0;

        std::optional<qint32> usualSpacing() const;
    };

    // A stretch without readings, for a year's chart.
    struct Outage {
        qint64 from = 0;
        qint64 to = 0;
        PortEvent event = PortEvent::Off;
    };
    // Outages are kept this long, and at most this many, the closest joined beyond it.
    static constexpr int OutageDays = 400;
    static constexpr std::size_t OutageLimit = 4000;

    void addBlock(qint64 at, qint32 offsetSeconds, const float values[6], qint32 readings);
    void addEvent(qint64 at, qint32 offsetSeconds, PortEvent event);

    const std::map<qint64, Day>& days() const { return m_days; }
    const Day* day(const QDate& date) const;
    // The outages closed so far, oldest first, and the one still going on, if any.
    const std::deque<Outage>& outages() const { return m_outages; }
    std::optional<Outage> openOutage(qint64 now) const;
    // The seconds a day was lost and silent, counting the outage still going on up to now.
    std::pair<double, double> outageSeconds(const QDate& date, qint64 now) const;
    // How far apart blocks came on the day, or on the latest day before it that shows it; five
    // minutes, a sensor's usual pace, where none does.
    qint32 spacingFor(const QDate& date) const;

    // The days from one to another summed up: their highest and lowest temperature and humidity.
    Sums records(const QDate& first, const QDate& last) const;
    // The records of all time, of the year and of the month of the day, in that order.
    std::array<Sums, 3> records(const QDate& today) const;

private:
    Day& dayAt(qint64 at, qint32 offsetSeconds);
    void closeOutage(qint64 at);
    // Adds the stretch to the days it covers, each day by its own midnight.
    void count(const Outage& outage, qint32 offsetSeconds);

    std::map<qint64, Day> m_days;
    std::deque<Outage> m_outages;
    std::optional<Outage> m_open;
    qint32 m_openOffset = 0;
    qint64 m_lastBlockAt = 0;
};
