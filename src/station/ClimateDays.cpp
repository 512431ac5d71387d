#include "ClimateDays.h"

#include "measurement/DewPoint.h"

#include <QTimeZone>

#include <algorithm>
#include <cmath>

namespace {
constexpr qint64 DayMs = 24 * 3600 * 1000;
const qint64 EpochJulian = QDate(1970, 1, 1).toJulianDay();

// The local day of a moment, as a Julian day number.
qint64 julianDay(qint64 at, qint32 offsetSeconds)
{
    const qint64 local = at + qint64(offsetSeconds) * 1000;
    return EpochJulian + (local >= 0 ? local / DayMs : (local - DayMs + 1) / DayMs);
}

// When a local day begins and ends, in ms since 1970.
std::pair<qint64, qint64> dayBounds(qint64 julian, qint32 offsetSeconds)
{
    const qint64 start = (julian - EpochJulian) * DayMs - qint64(offsetSeconds) * 1000;
    return {start, start + DayMs};
}

double overlapSeconds(const ClimateDays::Outage& outage, qint64 julian, qint32 offsetSeconds)
{
    const auto [start, end] = dayBounds(julian, offsetSeconds);
    const qint64 from = std::max(start, outage.from);
    const qint64 to = std::min(end, outage.to);
    return to > from ? double(to - from) / 1000.0 : 0.0;
}

bool isSilence(PortEvent event)
{
    return event == PortEvent::Silent;
}

std::optional<double> mean(double sum, double weight)
{
    if (weight <= 0.0)
        return std::nullopt;
    return sum / weight;
}
} // namespace

QDateTime ClimateDays::Extreme::time() const
{
    return QDateTime::fromMSecsSinceEpoch(at, QTimeZone(offsetSeconds));
}

void ClimateDays::Extreme::take(const Extreme& candidate, bool higher)
{
    if (!candidate.found)
        return;
    if (!found || (higher ? candidate.value > value : candidate.value < value))
        *this = candidate;
}

std::optional<double> ClimateDays::Sums::meanTemperature() const
{
    return mean(temperatureSum, weight);
}

std::optional<double> ClimateDays::Sums::meanHumidity() const
{
    return mean(humiditySum, weight);
}

std::optional<double> ClimateDays::Sums::meanDewPoint() const
{
    return mean(dewPointSum, dewPointWeight);
}

void ClimateDays::Sums::add(const Sums& part)
{
    blocks += part.blocks;
    readings += part.readings;
    weight += part.weight;
    temperatureSum += part.temperatureSum;
    humiditySum += part.humiditySum;
    dewPointWeight += part.dewPointWeight;
    dewPointSum += part.dewPointSum;
    temperatureHigh.take(part.temperatureHigh, true);
    temperatureLow.take(part.temperatureLow, false);
    humidityHigh.take(part.humidityHigh, true);
    humidityLow.take(part.humidityLow, false);
}

std::optional<qint32> ClimateDays::Day::usualSpacing() const
{
    if (spacingCount == 0)
        return std::nullopt;
    qint32 sorted[SpacingSamples];
    std::copy(spacings, spacings + spacingCount, sorted);
    std::nth_element(sorted, sorted + spacingCount / 2, sorted + spacingCount);
    return sorted[spacingCount / 2];
}

ClimateDays::Day& ClimateDays::dayAt(qint64 at, qint32 offsetSeconds)
{
    const qint64 julian = julianDay(at, offsetSeconds);
    Day& day = m_days[julian];
    if (!day.date.isValid())
        day.date = QDate::fromJulianDay(julian);
    return day;
}

void ClimateDays::addBlock(qint64 at, qint32 offsetSeconds, const float values[6], qint32 readings)
{
    closeOutage(at);
    Day& day = dayAt(at, offsetSeconds);
    const double weight = readings > 0 ? double(readings) : 1.0;
    const double temperature = values[0];
    const double humidity = values[3];
    ++day.blocks;
    day.readings += std::max<qint32>(readings, 0);
    day.weight += weight;
    day.temperatureSum += temperature * weight;
    day.humiditySum += humidity * weight;
    if (const std::optional<double> dewPoint = DewPoint::of(temperature, humidity)) {
        day.dewPointSum += *dewPoint * weight;
        day.dewPointWeight += weight;
    }
    const auto extreme = [&](double value) { return Extreme{value, at, offsetSeconds, true}; };
    day.temperatureLow.take(extreme(values[1]), false);
    day.temperatureHigh.take(extreme(values[2]), true);
    day.humidityLow.take(extreme(values[4]), false);
    day.humidityHigh.take(extreme(values[5]), true);
    const qint64 spacing = (at - m_lastBlockAt) / 1000;
    if (m_lastBlockAt > 0 && spacing > 0 && spacing < 86400 &&
        day.spacingCount < Day::SpacingSamples)
        day.spacings[day.spacingCount++] = qint32(spacing);
    m_lastBlockAt = at;
}

void ClimateDays::addEvent(qint64 at, qint32 offsetSeconds, PortEvent event)
{
    // As the chart draws them: an outage lasts until a block or another kind of event.
    if (PortEvents::beginsOutage(event)) {
        if (!m_open) {
            m_open = Outage{at, at, event};
            m_openOffset = offsetSeconds;
        }
        return;
    }
    closeOutage(at);
    if (event == PortEvent::Ended) {
        m_open = Outage{at, at, PortEvent::Off};
        m_openOffset = offsetSeconds;
    }
}

void ClimateDays::closeOutage(qint64 at)
{
    if (!m_open)
        return;
    Outage outage = *m_open;
    m_open.reset();
    // A clock set back meanwhile leaves nothing to count.
    if (at <= outage.from)
        return;
    outage.to = at;
    count(outage, m_openOffset);
    if (!m_outages.empty() && m_outages.back().event == outage.event &&
        m_outages.back().to >= outage.from - 60 * 1000)
        m_outages.back().to = std::max(m_outages.back().to, outage.to);
    else
        m_outages.push_back(outage);
    while (!m_outages.empty() && m_outages.front().to < at - OutageDays * DayMs)
        m_outages.pop_front();
    // A port that came and went all day long: the closest stretches are joined.
    if (m_outages.size() > OutageLimit) {
        std::deque<Outage> joined;
        for (const Outage& each : m_outages) {
            if (!joined.empty() && joined.back().to + DayMs / 4 >= each.from)
                joined.back().to = std::max(joined.back().to, each.to);
            else
                joined.push_back(each);
        }
        m_outages = std::move(joined);
    }
}

void ClimateDays::count(const Outage& outage, qint32 offsetSeconds)
{
    const qint64 last = julianDay(outage.to - 1, offsetSeconds);
    for (qint64 julian = julianDay(outage.from, offsetSeconds); julian <= last; ++julian) {
        Day& day = m_days[julian];
        if (!day.date.isValid())
            day.date = QDate::fromJulianDay(julian);
        (isSilence(outage.event) ? day.silentSeconds : day.lostSeconds) +=
            overlapSeconds(outage, julian, offsetSeconds);
    }
}

const ClimateDays::Day* ClimateDays::day(const QDate& date) const
{
    const auto found = m_days.find(date.toJulianDay());
    return found == m_days.end() ? nullptr : &found->second;
}

std::optional<ClimateDays::Outage> ClimateDays::openOutage(qint64 now) const
{
    if (!m_open || now <= m_open->from)
        return std::nullopt;
    Outage open = *m_open;
    open.to = now;
    return open;
}

std::pair<double, double> ClimateDays::outageSeconds(const QDate& date, qint64 now) const
{
    std::pair<double, double> seconds;
    if (const Day* found = day(date))
        seconds = {found->lostSeconds, found->silentSeconds};
    if (const std::optional<Outage> open = openOutage(now))
        (isSilence(open->event) ? seconds.second : seconds.first) +=
            overlapSeconds(*open, date.toJulianDay(), m_openOffset);
    return seconds;
}

qint32 ClimateDays::spacingFor(const QDate& date) const
{
    for (auto day = m_days.upper_bound(date.toJulianDay()); day != m_days.begin();) {
        --day;
        if (const std::optional<qint32> spacing = day->second.usualSpacing())
            return *spacing;
    }
    return 300;
}

ClimateDays::Sums ClimateDays::records(const QDate& first, const QDate& last) const
{
    Sums found;
    for (auto day = m_days.lower_bound(first.toJulianDay());
         day != m_days.end() && day->first <= last.toJulianDay(); ++day)
        found.add(day->second);
    return found;
}

std::array<ClimateDays::Sums, 3> ClimateDays::records(const QDate& today) const
{
    return {records(QDate(1, 1, 1), QDate(9999, 12, 31)),
            records(QDate(today.year(), 1, 1), QDate(today.year(), 12, 31)),
            records(QDate(today.year(), today.month(), 1),
                    QDate(today.year(), today.month(), today.daysInMonth()))};
}
