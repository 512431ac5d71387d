#pragma once

#include <QDateTime>

#include <chrono>

// The time of day and the time that passes, apart so that tests can set either.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    // The same moment as milliseconds since 1970 UTC, without the time zone's look-up.
    virtual qint64 msecsSinceEpoch() const { return now().toMSecsSinceEpoch(); }
    // Milliseconds on a clock that only ever runs forward, whatever the wall clock is set to:
    // for how long something took. Cheap enough to take for every reading.
    virtual qint64 monotonicMs() const { return msecsSinceEpoch(); }
};

class SystemClock : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
    // Without the local time zone, which the system looks up anew each time.
    qint64 msecsSinceEpoch() const override { return QDateTime::currentMSecsSinceEpoch(); }
    qint64 monotonicMs() const override
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
};
