#include "HistoryModel.h"

#include "measurement/DewPoint.h"

#include <QTimeZone>

#include <algorithm>
#include <cmath>

namespace {
// The archive keeps one decimal; a float brings back that decimal's nearest double.
double decimal(float value)
{
    return std::round(double(value) * 10.0) / 10.0;
}

qint64 startOfDay(const QDate& day)
{
    return QDateTime(day, QTime(0, 0)).toMSecsSinceEpoch();
}
} // namespace

HistoryModel::Compact HistoryModel::Compact::of(const ArchiveRow& row)
{
    const BlockSummary& b = row.block;
    Compact compact;
    compact.at = row.at.toMSecsSinceEpoch();
    compact.offsetSeconds = row.at.offsetFromUtc();
    compact.readings = b.readings;
    const double values[6] = {b.temperatureAverage, b.temperatureLow, b.temperatureHigh,
                              b.humidityAverage,    b.humidityLow,    b.humidityHigh};
    std::copy(std::begin(values), std::end(values), compact.values);
    return compact;
}

ArchiveRow HistoryModel::Compact::row() const
{
    ArchiveRow row;
    row.at = QDateTime::fromMSecsSinceEpoch(at, QTimeZone(offsetSeconds));
    row.isBlock = true;
    row.block = BlockSummary{decimal(values[0]),
                             decimal(values[1]),
                             decimal(values[2]),
                             decimal(values[3]),
                             decimal(values[4]),
                             decimal(values[5]),
                             readings};
    return row;
}

void HistoryModel::load(const QString& folder, const QDateTime& now)
{
    beginLoad(folder, now);
    while (!loadSome(1000)) {
    }
}

qint64 HistoryModel::newest() const
{
    qint64 newest = 0;
    if (!m_blocks.empty())
        newest = m_blocks.back().at;
    if (!m_events.empty())
        newest = std::max(newest, m_events.back().at.toMSecsSinceEpoch());
    return newest;
}

void HistoryModel::append(const ArchiveRow& row)
{
    if (!m_loaded && !m_loader)
        return;
    add(row);
    trim(row.at.toMSecsSinceEpoch());
    ++m_revision;
}

// In time order; a row older than the newest (the clock set back) goes where its time is.
void HistoryModel::add(const ArchiveRow& row)
{
    const qint64 at = row.at.toMSecsSinceEpoch();
    if (row.isBlock) {
        const Compact compact = Compact::of(row);
        m_climate.addBlock(compact.at, compact.offsetSeconds, compact.values, compact.readings);
        if (m_blocks.empty() || m_blocks.back().at <= at)
            m_blocks.push_back(compact);
        else
            m_blocks.insert(std::upper_bound(m_blocks.begin(), m_blocks.end(), at,
                                             [](qint64 t, const Compact& c) { return t < c.at; }),
                            compact);
        return;
    }
    m_climate.addEvent(at, row.at.offsetFromUtc(), row.event);
    if (m_events.empty() || m_events.back().at <= row.at)
        m_events.push_back(row);
    else
        m_events.insert(
            std::upper_bound(m_events.begin(), m_events.end(), row.at,
                             [](const QDateTime& t, const ArchiveRow& r) { return t < r.at; }),
            row);
}

// Older than the longest span, as the rows come: the clock may have been set back.
void HistoryModel::trim(qint64 newest)
{
    const qint64 oldest = newest - qint64(KeptDays + 1) * 24 * 3600 * 1000;
    while (!m_blocks.empty() && m_blocks.front().at < oldest)
        m_blocks.pop_front();
    while (!m_events.empty() && m_events.front().at.toMSecsSinceEpoch() < oldest)
        m_events.pop_front();
}

HistoryModel::Span HistoryModel::span(const QDateTime& from, const QDateTime& to) const
{
    if (from.msecsTo(to) > qint64(KeptDays + 1) * 24 * 3600 * 1000)
        return spanOfDays(m_climate, from.toMSecsSinceEpoch(), to.toMSecsSinceEpoch());
    return spanOf(m_blocks, m_events, from.toMSecsSinceEpoch(), to.toMSecsSinceEpoch());
}

HistoryModel::Span HistoryModel::span(const std::vector<ArchiveRow>& rows, const QDateTime& from,
                                      const QDateTime& to)
{
    HistoryModel model;
    model.m_loaded = true;
    for (const ArchiveRow& row : rows)
        model.add(row);
    return model.span(from, to);
}

double HistoryModel::Extremes::value(Which which) const
{
    if (!found[which])
        return 0.0;
    const BlockSummary& b = rows[which].block;
    switch (which) {
    case LowestTemperature:
        return b.temperatureLow;
    case HighestTemperature:
        return b.temperatureHigh;
    case LowestHumidity:
        return b.humidityLow;
    case HighestHumidity:
        return b.humidityHigh;
    }
    return 0.0;
}

HistoryModel::Extremes HistoryModel::extremes(const QDate& day) const
{
    Extremes extremes;
    const Compact* rows[4] = {};
    const auto first = std::lower_bound(m_blocks.begin(), m_blocks.end(), startOfDay(day),
                                        [](const Compact& c, qint64 t) { return c.at < t; });
    const qint64 end = startOfDay(day.addDays(1));
    for (auto block = first; block != m_blocks.end() && block->at < end; ++block) {
        const float* v = block->values;
        if (!rows[0] || v[1] < rows[0]->values[1])
            rows[0] = &*block;
        if (!rows[1] || v[2] > rows[1]->values[2])
            rows[1] = &*block;
        if (!rows[2] || v[4] < rows[2]->values[4])
            rows[2] = &*block;
        if (!rows[3] || v[5] > rows[3]->values[5])
            rows[3] = &*block;
    }
    for (int which = 0; which < 4; ++which) {
        extremes.found[which] = rows[which] != nullptr;
        if (rows[which])
            extremes.rows[which] = rows[which]->row();
    }
    return extremes;
}

HistoryModel::Values HistoryModel::values(const BlockSummary& b, Quantity quantity)
{
    if (quantity == Quantity::Temperature)
        return {b.temperatureAverage, b.temperatureLow, b.temperatureHigh};
    return {b.humidityAverage, b.humidityLow, b.humidityHigh};
}

std::pair<double, double> HistoryModel::range(const Span& span, Quantity quantity)
{
    if (span.blocks.empty())
        return quantity == Quantity::Temperature ? std::pair(0.0, 20.0) : std::pair(40.0, 80.0);
    double low = values(span.blocks.front().block, quantity).average;
    double high = low;
    for (const ArchiveRow& row : span.blocks) {
        low = std::min(low, values(row.block, quantity).low);
        high = std::max(high, values(row.block, quantity).high);
    }
    return {low, high};
}

std::vector<std::pair<std::size_t, std::size_t>> HistoryModel::stretches(const Span& span)
{
    std::vector<std::pair<std::size_t, std::size_t>> found;
    std::size_t start = 0;
    for (std::size_t i = 0; i < span.blocks.size(); ++i) {
        if (span.lineEnds[i]) {
            found.emplace_back(start, i);
            start = i + 1;
        }
    }
    return found;
}

const HistoryModel::Interval* HistoryModel::intervalAt(const Span& span, qint64 at)
{
    const Interval* under = nullptr;
    for (const Interval& interval : span.intervals) {
        if (at >= interval.from && at <= interval.to)
            under = &interval;
    }
    return under;
}

const HistoryModel::Interval* HistoryModel::intervalBefore(const Span& span, std::size_t block)
{
    const qint64 at = span.blocks[block].at.toMSecsSinceEpoch();
    const qint64 previous = block == 0 ? 0 : span.blocks[block - 1].at.toMSecsSinceEpoch();
    const Interval* before = nullptr;
    for (const Interval& interval : span.intervals) {
        if (interval.to <= at && interval.to >= previous)
            before = &interval;
    }
    return before;
}

QString HistoryModel::describe(const ArchiveRow& row, const QLocale& locale, bool daily)
{
    const BlockSummary& b = row.block;
    const auto decimal = [&locale](double value) { return locale.toString(value, 'f', 1); };
    const std::optional<double> dewPoint = DewPoint::of(b.temperatureAverage, b.humidityAverage);
    return QStringLiteral("%1: %2 °C (%3 to %4), %5 % (%6 to %7), dew point %8")
        .arg(daily ? locale.toString(row.at.date(), QLocale::ShortFormat)
                   : locale.toString(row.at.toLocalTime(), QLocale::ShortFormat),
             decimal(b.temperatureAverage), decimal(b.temperatureLow), decimal(b.temperatureHigh),
             decimal(b.humidityAverage), decimal(b.humidityLow), decimal(b.humidityHigh),
             dewPoint ? decimal(*dewPoint) + QStringLiteral(" °C") : QStringLiteral("none"));
}

QString HistoryModel::describe(const Interval& interval, const QLocale& locale)
{
    const QString from =
        locale.toString(QDateTime::fromMSecsSinceEpoch(interval.from), QLocale::ShortFormat);
    const QString to =
        locale.toString(QDateTime::fromMSecsSinceEpoch(interval.to), QLocale::ShortFormat);
    const QString what =
        interval.event == PortEvent::Off
            ? QStringLiteral("KORA did not run")
            : QStringLiteral("Port %1: %2").arg(PortEvents::word(interval.event), interval.detail);
    return QStringLiteral("%1 to %2: %3").arg(from, to, what);
}
