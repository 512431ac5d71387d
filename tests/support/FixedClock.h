#pragma once

#include "common/Clock.h"

#include <QList>

// Answers with the given readings in turn, then keeps giving the last one.
class FixedClock : public Clock {
public:
    QList<QDateTime> readings{QDateTime(QDate(2026, 12, 6), QTime(14, 5, 9))};
    mutable int calls = 0;
    // The monotonic clock, where it parts from the wall clock's readings.
    qint64 monotonic = -1;
    QDateTime now() const override
    {
        return readings.at(std::min<int>(calls++, int(readings.size()) - 1));
    }
    qint64 monotonicMs() const override
    {
        return monotonic >= 0 ? monotonic : now().toMSecsSinceEpoch();
    }
};
