#pragma once

#include "Archive.h"
#include "ClimateDays.h"

#include <QLocale>
#include <QStringList>

#include <deque>
#include <memory>
#include <vector>

// The archive as a chart shows it, for the window and for the page alike: for a span of time the
// blocks, where their line breaks (a gap, or an event between two blocks), the stretches when
// the port was lost or silent or the program did not run, and a day's extremes. The archive is
// read once, for the longest span, a slice at a time; afterwards each row the station archives is
// appended here, so that neither a report nor a look at the history reads a month's file again.
//
// Whatever the archive holds, a span shows at most MaxPoints points: where blocks come more often
// than that, each point stands for the blocks of its stretch of time, with their average weighted
// by readings, their lowest low and their highest high, so that no extreme is lost. The blocks are
// kept compact (a few dozen bytes each), the events as they came.
class HistoryModel {
public:
    // The longest span shown block by block, in days; a longer one shows a point a day.
    static constexpr int KeptDays = 31;
    static constexpr int MaxPoints = 1000;

    // A stretch in which the port was not heard (lost, missing, failing, silent) or the program
    // did not run (off).
    struct Interval {
        qint64 from = 0;
        qint64 to = 0;
        PortEvent event = PortEvent::Off;
        QString detail;
    };

    // What a span of time shows.
    struct Span {
        qint64 from = 0;
        qint64 to = 0;
        std::vector<ArchiveRow> blocks;
        // After which block its line ends.
        std::vector<bool> lineEnds;
        std::vector<Interval> intervals;
        // A point a day, each at its noon: a year's span.
        bool daily = false;
    };

    // A day's lowest and highest temperature and humidity, each with the block that had it
    // (none on a day without blocks).
    struct Extremes {
        enum Which { LowestTemperature, HighestTemperature, LowestHumidity, HighestHumidity };
        double value(Which which) const;
        // The block that had it, or none.
        const ArchiveRow* row(Which which) const { return found[which] ? &rows[which] : nullptr; }
        ArchiveRow rows[4];
        bool found[4] = {};
    };

    enum class Quantity { Temperature, Humidity };
    // A block's average, lowest and highest of the quantity.
    struct Values {
        double average = 0.0;
        double low = 0.0;
        double high = 0.0;
    };
    static Values values(const BlockSummary& block, Quantity quantity);
    // The lowest and highest of the quantity in the span's blocks, for its axis; a usual range
    // where it has none.
    static std::pair<double, double> range(const Span& span, Quantity quantity);
    // The stretches of unbroken line: the first and last block of each.
    static std::vector<std::pair<std::size_t, std::size_t>> stretches(const Span& span);
    // The stretch that holds the moment, if any.
    static const Interval* intervalAt(const Span& span, qint64 at);
    // What became of the port between a block and the one before it.
    static const Interval* intervalBefore(const Span& span, std::size_t block);

    HistoryModel();
    ~HistoryModel();
    HistoryModel(HistoryModel&&) noexcept;
    HistoryModel& operator=(HistoryModel&&) noexcept;

    // Reads the archive in the folder, all at once: its days whole, its blocks and events from
    // KeptDays before now. Later rows come by append().
    void load(const QString& folder, const QDateTime& now);
    // The same a slice at a time: begin, then loadSome() until it is done, each call taking about
    // budgetMs. Rows appended meanwhile are kept.
    void beginLoad(const QString& folder, const QDateTime& now);
    bool loadSome(int budgetMs);
    bool isLoading() const { return m_loader != nullptr; }
    bool isLoaded() const { return m_loaded; }
    // When its newest row happened, in ms since 1970; 0 without rows. Changes with every row.
    qint64 newest() const;
    // Changes with every row and with each slice loaded: what was made of the model before is
    // out of date.
    quint64 revision() const { return m_revision; }
    // A row just archived; nothing before loading has begun, as the archive then holds it.
    void append(const ArchiveRow& row);

    Span span(const QDateTime& from, const QDateTime& to) const;
    // The same for rows given, oldest first.
    static Span span(const std::vector<ArchiveRow>& rows, const QDateTime& from,
                     const QDateTime& to);
    Extremes extremes(const QDate& day) const;
    // Every day of the archive, summed up.
    const ClimateDays& climate() const { return m_climate; }

    // What a block or an interval was, in words, for the pointer and for a text in place of the
    // chart.
    static QString describe(const ArchiveRow& block, const QLocale& locale = QLocale(),
                            bool daily = false);
    static QString describe(const Interval& interval, const QLocale& locale = QLocale());

    // A block as kept: its time, and its values to the archive's one decimal.
    struct Compact {
        qint64 at = 0;
        qint32 offsetSeconds = 0;
        qint32 readings = 0;
        float values[6] = {};
        static Compact of(const ArchiveRow& row);
        ArchiveRow row() const;
    };

private:
    struct Loader;
    static Span spanOf(const std::deque<Compact>& blocks, const std::deque<ArchiveRow>& events,
                       qint64 from, qint64 to);
    // A span longer than the blocks kept: a point a day, from its lowest to its highest.
    static Span spanOfDays(const ClimateDays& climate, qint64 from, qint64 to);
    void add(const ArchiveRow& row);
    void trim(qint64 newest);

    ClimateDays m_climate;
    std::deque<Compact> m_blocks;
    std::deque<ArchiveRow> m_events;
    std::unique_ptr<Loader> m_loader;
    quint64 m_revision = 0;
    bool m_loaded = false;
};
