// What a span of the history shows: its blocks, one point per stretch of time where they come
// more often than a chart has room for, where their line breaks, and the stretches without
// readings.
#include "HistoryModel.h"

#include <QTimeZone>

#include <algorithm>
#include <cmath>

namespace {
constexpr qint64 MinuteMs = 60 * 1000;

// A point being made of the blocks of one stretch of time.
struct Point {
    const HistoryModel::Compact* last = nullptr;
    double weightedAverage[2] = {};
    double plainAverage[2] = {};
    double low[2] = {};
    double high[2] = {};
    qint64 readings = 0;
    int blocks = 0;

    void add(const HistoryModel::Compact& block)
    {
        for (int q = 0; q < 2; ++q) {
            const float* v = block.values + 3 * q;
            weightedAverage[q] += double(v[0]) * block.readings;
            plainAverage[q] += v[0];
            low[q] = blocks == 0 ? v[1] : std::min<double>(low[q], v[1]);
            high[q] = blocks == 0 ? v[2] : std::max<double>(high[q], v[2]);
        }
        readings += block.readings;
        ++blocks;
        last = &block;
    }

    // As one block: the average weighted by readings, the lowest low, the highest high.
    ArchiveRow row() const
    {
        if (blocks == 1)
            return last->row();
        HistoryModel::Compact made = *last;
        for (int q = 0; q < 2; ++q) {
            made.values[3 * q] = float(readings > 0 ? weightedAverage[q] / double(readings)
                                                    : plainAverage[q] / blocks);
            made.values[3 * q + 1] = float(low[q]);
            made.values[3 * q + 2] = float(high[q]);
        }
        made.readings = qint32(std::min<qint64>(readings, INT32_MAX));
        return made.row();
    }
};

// The usual spacing of the blocks, by which a gap is told: the median of up to about 2,000 of
// their spacings, spread over the span.
qint64 usualSpacing(const std::deque<HistoryModel::Compact>& blocks, std::size_t first,
                    std::size_t end)
{
    std::vector<qint64> spacings;
    if (end > first + 1) {
        const std::size_t count = end - first - 1;
        const std::size_t step = std::max<std::size_t>(1, count / 2000);
        for (std::size_t i = first + 1; i < end; i += step)
            spacings.push_back(blocks[i].at - blocks[i - 1].at);
    }
    if (spacings.empty())
        return 5 * MinuteMs;
    std::nth_element(spacings.begin(), spacings.begin() + spacings.size() / 2, spacings.end());
    return std::max<qint64>(spacings[spacings.size() / 2], MinuteMs / 10);
}

// Adds the stretch, joined to the one before where it is of the same kind (or any kind) and a
// point's width from it or closer.
void addInterval(std::vector<HistoryModel::Interval>& intervals,
                 const HistoryModel::Interval& interval, qint64 width, bool anyKind = false)
{
    if (!intervals.empty() && (anyKind || intervals.back().event == interval.event) &&
        intervals.back().to + width >= interval.from) {
        intervals.back().to = std::max(intervals.back().to, interval.to);
        return;
    }
    intervals.push_back(interval);
}
// However the port came and went, as many stretches as a chart has room for.
void capIntervals(HistoryModel::Span& span, qint64 width)
{
    for (qint64 wider = width * 2; span.intervals.size() > std::size_t(HistoryModel::MaxPoints);
         wider *= 2) {
        std::vector<HistoryModel::Interval> joined;
        for (const HistoryModel::Interval& interval : span.intervals)
            addInterval(joined, interval, wider, wider > span.to - span.from);
        span.intervals = std::move(joined);
    }
}
} // namespace

HistoryModel::Span HistoryModel::spanOf(const std::deque<Compact>& blocks,
                                        const std::deque<ArchiveRow>& events, qint64 from,
                                        qint64 to)
{
    Span span;
    span.from = from;
    span.to = to;
    const auto byTime = [](const Compact& c, qint64 t) { return c.at < t; };
    const std::size_t first =
        std::lower_bound(blocks.begin(), blocks.end(), from, byTime) - blocks.begin();
    const std::size_t end = std::upper_bound(blocks.begin(), blocks.end(), to,
                                             [](qint64 t, const Compact& c) { return t < c.at; }) -
                            blocks.begin();
    const qint64 usual = usualSpacing(blocks, first, end);
    const qint64 width = std::max<qint64>(1, (to - from + MaxPoints - 1) / MaxPoints);

    Interval open;
    bool isOpen = false;
    const auto close = [&](qint64 at) {
        if (isOpen) {
            open.to = std::max(at, open.from);
            addInterval(span.intervals, open, width);
        }
        isOpen = false;
    };
    bool eventSinceBlock = false;
    auto event =
        std::lower_bound(events.begin(), events.end(), from, [](const ArchiveRow& r, qint64 t) {
            return r.at.toMSecsSinceEpoch() < t;
        });
    // Events up to the moment; at the same moment as a block, after it.
    const auto eventsBefore = [&](qint64 at) {
        for (; event != events.end(); ++event) {
            const qint64 when = event->at.toMSecsSinceEpoch();
            if (when >= at || when > to)
                break;
            eventSinceBlock = true;
            if (PortEvents::beginsOutage(event->event)) {
                if (!isOpen)
                    open = Interval{when, when, event->event, event->detail};
                isOpen = true;
            } else {
                close(when);
                if (event->event == PortEvent::Ended) {
                    open = Interval{when, when, PortEvent::Off, event->detail};
                    isOpen = true;
                }
            }
        }
    };

    Point point;
    qint64 bucket = -1;
    qint64 previousAt = 0;
    for (std::size_t i = first; i < end; ++i) {
        const Compact& block = blocks[i];
        eventsBefore(block.at);
        close(block.at);
        const bool lineBreaks =
            point.blocks > 0 && (eventSinceBlock || block.at - previousAt > usual * 5 / 2);
        // A point per stretch of time, however often the line breaks within one: at most
        // MaxPoints of them.
        const qint64 blockBucket = (block.at - from) / width;
        if (point.blocks > 0 && blockBucket != bucket) {
            span.blocks.push_back(point.row());
            span.lineEnds.push_back(lineBreaks);
            point = Point{};
        }
        point.add(block);
        bucket = blockBucket;
        previousAt = block.at;
        eventSinceBlock = false;
    }
    if (point.blocks > 0) {
        span.blocks.push_back(point.row());
        span.lineEnds.push_back(true);
    }
    eventsBefore(to + 1);
    // Still not heard, or still off, at the span's end.
    close(to);
    capIntervals(span, width);
    return span;
}

HistoryModel::Span HistoryModel::spanOfDays(const ClimateDays& climate, qint64 from, qint64 to)
{
    Span span;
    span.from = from;
    span.to = to;
    span.daily = true;
    const auto tenth = [](double value) { return std::round(value * 10.0) / 10.0; };
    const qint64 first = QDateTime::fromMSecsSinceEpoch(from).date().toJulianDay();
    const qint64 last = QDateTime::fromMSecsSinceEpoch(to).date().toJulianDay();
    const std::map<qint64, ClimateDays::Day>& days = climate.days();
    qint64 previous = 0;
    for (auto each = days.lower_bound(first); each != days.end() && each->first <= last; ++each) {
        const ClimateDays::Day& day = each->second;
        if (day.blocks == 0)
            continue;
        // The line breaks where a day has no block.
        if (!span.blocks.empty() && each->first != previous + 1)
            span.lineEnds.back() = true;
        previous = each->first;
        ArchiveRow row;
        row.at = QDateTime(day.date, QTime(12, 0), QTimeZone(day.temperatureHigh.offsetSeconds));
        row.isBlock = true;
        row.block = BlockSummary{tenth(*day.meanTemperature()),
                                 day.temperatureLow.value,
                                 day.temperatureHigh.value,
                                 tenth(*day.meanHumidity()),
                                 day.humidityLow.value,
                                 day.humidityHigh.value,
                                 int(std::min<qint64>(day.readings, INT32_MAX))};
        span.blocks.push_back(row);
        span.lineEnds.push_back(false);
    }
    if (!span.lineEnds.empty())
        span.lineEnds.back() = true;
    const qint64 width = std::max<qint64>(1, (to - from + MaxPoints - 1) / MaxPoints);
    std::deque<ClimateDays::Outage> outages = climate.outages();
    if (const std::optional<ClimateDays::Outage> open = climate.openOutage(to))
        outages.push_back(*open);
    for (const ClimateDays::Outage& outage : outages)
        if (outage.to >= from && outage.from <= to)
            addInterval(span.intervals,
                        Interval{std::max(outage.from, from), std::min(outage.to, to), outage.event,
                                 QString()},
                        width);
    capIntervals(span, width);
    return span;
}
