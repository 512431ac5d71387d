#include "HistoryModel.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr qint64 MinuteMs = 60 * 1000;
constexpr qint64 DayMs = 24 * 60 * MinuteMs;

} // namespace

void HistoryModel::load(const QString& folder, const QDateTime& now)
{
    m_rows.clear();
    if (!folder.isEmpty()) {
        for (ArchiveRow& row : Archive::read(folder, now.addDays(-KeptDays - 1), now))
            m_rows.push_back(std::move(row));
    }
    m_loaded = true;
}

void HistoryModel::append(const ArchiveRow& row)
{
    if (!m_loaded)
        return;
    m_rows.push_back(row);
    // Older than the longest span, as the rows come: the clock may have been set back.
    const QDateTime oldest = row.at.addDays(-KeptDays - 1);
    while (!m_rows.empty() && m_rows.front().at < oldest)
        m_rows.pop_front();
}

HistoryModel::Span HistoryModel::span(const QDateTime& from, const QDateTime& to) const
{
    return spanOf(m_rows, from.toMSecsSinceEpoch(), to.toMSecsSinceEpoch());
}

HistoryModel::Span HistoryModel::span(const std::vector<ArchiveRow>& rows, const QDateTime& from,
                                      const QDateTime& to)
{
    return spanOf(rows, from.toMSecsSinceEpoch(), to.toMSecsSinceEpoch());
}

template <typename Rows>
HistoryModel::Span HistoryModel::spanOf(const Rows& all, qint64 from, qint64 to)
{
    Span span;
    span.from = from;
    span.to = to;
    std::vector<const ArchiveRow*> rows;
    for (const ArchiveRow& row : all) {
        const qint64 at = row.at.toMSecsSinceEpoch();
        if (at >= from && at <= to)
            rows.push_back(&row);
    }

    std::vector<qint64> spacings;
    const ArchiveRow* previousBlock = nullptr;
    for (const ArchiveRow* row : rows) {
        if (row->isBlock) {
            if (previousBlock)
                spacings.push_back(previousBlock->at.msecsTo(row->at));
            previousBlock = row;
        }
    }
    // Blocks come as often as the sensor sends 300 lines: the usual spacing tells a gap.
    qint64 usual = 5 * MinuteMs;
    if (!spacings.empty()) {
        std::nth_element(spacings.begin(), spacings.begin() + spacings.size() / 2, spacings.end());
        usual = std::max<qint64>(spacings[spacings.size() / 2], MinuteMs / 10);
    }

    Interval open;
    bool isOpen = false;
    const auto close = [&](qint64 at) {
        if (isOpen) {
            open.to = std::max(at, open.from);
            span.intervals.push_back(open);
        }
        isOpen = false;
    };
    bool eventSinceBlock = false;
    for (const ArchiveRow* row : rows) {
        const qint64 at = row->at.toMSecsSinceEpoch();
        if (row->isBlock) {
            close(at);
            if (!span.blocks.empty()) {
                const qint64 gap = span.blocks.back().at.msecsTo(row->at);
                span.lineEnds.back() = eventSinceBlock || gap > usual * 5 / 2;
            }
            span.blocks.push_back(*row);
            span.lineEnds.push_back(true);
            eventSinceBlock = false;
            continue;
        }
        eventSinceBlock = true;
        if (PortEvents::beginsOutage(row->event)) {
            if (!isOpen)
                open = Interval{at, at, row->event, row->detail};
            isOpen = true;
        } else {
            close(at);
            if (row->event == PortEvent::Ended) {
                open = Interval{at, at, PortEvent::Off, row->detail};
                isOpen = true;
            }
        }
    }
    // Still not heard, or still off, at the span's end.
    close(to);
    return span;
}

double HistoryModel::Extremes::value(Which which) const
{
    const ArchiveRow* row = rows[which];
    if (!row)
        return 0.0;
    switch (which) {
    case LowestTemperature:
        return row->block.temperatureLow;
    case HighestTemperature:
        return row->block.temperatureHigh;
    case LowestHumidity:
        return row->block.humidityLow;
    case HighestHumidity:
        return row->block.humidityHigh;
    }
    return 0.0;
}

HistoryModel::Extremes HistoryModel::extremes(const QDate& day) const
{
    Extremes found;
    for (const ArchiveRow& row : m_rows) {
        if (!row.isBlock || row.at.toLocalTime().date() != day)
            continue;
        const BlockSummary& b = row.block;
        const ArchiveRow** rows = found.rows;
        if (!rows[0] || b.temperatureLow < rows[0]->block.temperatureLow)
            rows[0] = &row;
        if (!rows[1] || b.temperatureHigh > rows[1]->block.temperatureHigh)
            rows[1] = &row;
        if (!rows[2] || b.humidityLow < rows[2]->block.humidityLow)
            rows[2] = &row;
        if (!rows[3] || b.humidityHigh > rows[3]->block.humidityHigh)
            rows[3] = &row;
    }
    return found;
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

QString HistoryModel::describe(const ArchiveRow& row, const QLocale& locale)
{
    const BlockSummary& b = row.block;
    const auto decimal = [&locale](double value) { return locale.toString(value, 'f', 1); };
    return QStringLiteral("%1: %2 °C (%3 to %4), %5 % (%6 to %7)")
        .arg(locale.toString(row.at.toLocalTime(), QLocale::ShortFormat),
             decimal(b.temperatureAverage), decimal(b.temperatureLow), decimal(b.temperatureHigh),
             decimal(b.humidityAverage), decimal(b.humidityLow), decimal(b.humidityHigh));
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
