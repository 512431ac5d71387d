#include "ChartAxes.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {
constexpr qint64 MinuteMs = 60 * 1000;
constexpr qint64 DayMs = 24 * 60 * MinuteMs;

// The archive keeps one decimal: a finer step would label the same number twice.
constexpr double FinestStep = 0.1;

// Round steps for an axis: 1, 2 or 5 times a power of ten, about `ticks` of them.
double niceStep(double span, int ticks)
{
    const double rough = std::max(span / std::max(ticks, 1), FinestStep);
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (factor * power >= rough)
            return factor * power;
    }
    return 10.0 * power;
}
} // namespace

ChartAxes::Axis ChartAxes::axisFor(double lowest, double highest, int ticks)
{
    Axis axis;
    axis.step = niceStep(highest - lowest, ticks);
    axis.low = std::floor(lowest / axis.step) * axis.step;
    axis.high = std::max(std::ceil(highest / axis.step) * axis.step, axis.low + axis.step);
    // Counted, not summed up to the top: a step too small for the values could never reach it.
    axis.steps = int(std::clamp(std::round((axis.high - axis.low) / axis.step), 1.0, 100.0));
    return axis;
}

QStringList ChartAxes::axisLabels(const Axis& axis, const QLocale& locale)
{
    QStringList labels;
    for (int tick = 0; tick <= axis.steps; ++tick)
        labels << locale.toString(axis.low + tick * axis.step, 'f', axis.step < 1.0 ? 1 : 0);
    return labels;
}

QString ChartAxes::timeLabelSample(qint64 span, const QLocale& locale)
{
    if (span > MonthsBeyond)
        return locale.toString(QDate(2026, 12, 28), QStringLiteral("MMM yyyy"));
    return span <= 2 * DayMs ? locale.toString(QTime(23, 59), QLocale::ShortFormat)
                             : locale.toString(QDate(2026, 12, 28), QStringLiteral("ddd d.M."));
}

// The first of every month, or of every second, third or sixth, as many as fit.
std::vector<ChartAxes::TimeTick> ChartAxes::monthTicks(qint64 from, qint64 to, int fitting,
                                                       const QLocale& locale)
{
    const qint64 months = (to - from) / (30 * DayMs) + 1;
    int every = 1;
    for (const int step : {1, 2, 3, 6, 12}) {
        every = step;
        if (months / step <= fitting)
            break;
    }
    std::vector<TimeTick> ticks;
    const QDate start = QDateTime::fromMSecsSinceEpoch(from).date();
    for (QDate month(start.year(), start.month(), 1);; month = month.addMonths(1)) {
        const qint64 at = QDateTime(month, QTime(0, 0)).toMSecsSinceEpoch();
        if (at > to)
            break;
        if (at >= from && (month.month() - 1) % every == 0)
            ticks.push_back({at, locale.toString(month, QStringLiteral("MMM yyyy")), {}});
    }
    return ticks;
}

std::vector<ChartAxes::TimeTick> ChartAxes::timeTicks(qint64 from, qint64 to, int fitting,
                                                      const QLocale& locale)
{
    const qint64 span = to - from;
    if (span > MonthsBeyond)
        return monthTicks(from, to, fitting, locale);
    // Hours for a day, days for longer.
    const bool hours = span <= 2 * DayMs;
    qint64 step = hours ? 60 * MinuteMs : DayMs;
    static constexpr int HourSteps[] = {1, 2, 3, 6, 12};
    static constexpr int DaySteps[] = {1, 2, 7, 14};
    const int count = hours ? int(std::size(HourSteps)) : int(std::size(DaySteps));
    for (int i = 0; i < count; ++i) {
        step = (hours ? 60 * MinuteMs * HourSteps[i] : DayMs * DaySteps[i]);
        if (span / step <= fitting)
            break;
    }
    std::vector<TimeTick> ticks;
    QDateTime tick = QDateTime::fromMSecsSinceEpoch(from);
    tick = hours ? QDateTime(tick.date(), QTime(tick.time().hour(), 0))
                 : QDateTime(tick.date(), QTime(0, 0));
    QDate lastDate;
    for (; tick.toMSecsSinceEpoch() <= to; tick = hours ? tick.addSecs(3600) : tick.addDays(1)) {
        const qint64 at = tick.toMSecsSinceEpoch();
        const bool wholeStep = hours ? tick.time().hour() % (step / (60 * MinuteMs)) == 0
                                     : tick.date().toJulianDay() % (step / DayMs) == 0;
        if (at < from || !wholeStep)
            continue;
        TimeTick mark{at,
                      hours ? locale.toString(tick.time(), QLocale::ShortFormat)
                            : locale.toString(tick.date(), QStringLiteral("ddd d.M.")),
                      {}};
        if (hours && tick.date() != lastDate) {
            mark.date = locale.toString(tick.date(), QLocale::ShortFormat);
            lastDate = tick.date();
        }
        ticks.push_back(mark);
    }
    return ticks;
}
