#pragma once

#include <QLocale>
#include <QStringList>

#include <vector>

// The arithmetic of a history chart's axes, alike for the window's and the page's: round value
// steps, and marks in time on whole hours or midnights.
namespace ChartAxes {
// A value axis: from low to high in steps of step, steps of them.
struct Axis {
    double low = 0.0;
    double high = 1.0;
    double step = 1.0;
    int steps = 1;
};

// A mark on the time axis: on a whole local hour for a span of up to two days, on a midnight up
// to two months, else on the first of a month. The first mark of each day of an hourly axis also
// has its date.
struct TimeTick {
    qint64 at = 0;
    QString label;
    QString date;
};

// Spans longer than this are marked by months, in ms.
constexpr qint64 MonthsBeyond = 62LL * 24 * 3600 * 1000;

// Round steps, about `ticks` of them, that take in lowest and highest.
Axis axisFor(double lowest, double highest, int ticks);
// The numbers at its ticks, from low to high.
QStringList axisLabels(const Axis& axis, const QLocale& locale = QLocale());
// As many marks as `fitting` labels, on round steps, from and to in ms since 1970.
std::vector<TimeTick> timeTicks(qint64 from, qint64 to, int fitting,
                                const QLocale& locale = QLocale());
std::vector<TimeTick> monthTicks(qint64 from, qint64 to, int fitting,
                                 const QLocale& locale = QLocale());
// The widest label of such an axis, to measure.
QString timeLabelSample(qint64 span, const QLocale& locale = QLocale());
} // namespace ChartAxes
