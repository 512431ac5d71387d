#pragma once

#include "Archive.h"

#include <QLocale>
#include <QStringList>

#include <deque>
#include <vector>

// The archive as a chart shows it, for the window and for the page alike: for a span of time the
// blocks, where their line breaks (a gap, or an event between two blocks), the stretches when
// the port was lost or silent or the program did not run, and a day's extremes. The archive is
// read once, for the longest span; afterwards each row the station archives is appended here, so
// that neither a report nor a look at the history reads a month's file again.
class HistoryModel {
public:
    // The longest span shown, in days.
    static constexpr int KeptDays = 31;

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
    };

    // A day's lowest and highest temperature and humidity, each with the block that had it
    // (none on a day without blocks).
    struct Extremes {
        enum Which { LowestTemperature, HighestTemperature, LowestHumidity, HighestHumidity };
        const ArchiveRow* rows[4] = {};
        double value(Which which) const;
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

    // Reads the archive in the folder, from KeptDays before now; later rows come by append().
    void load(const QString& folder, const QDateTime& now);
    bool isLoaded() const { return m_loaded; }
    // When its newest row happened, in ms since 1970; 0 without rows. Changes with every row.
    qint64 newest() const { return m_rows.empty() ? 0 : m_rows.back().at.toMSecsSinceEpoch(); }
    // A row just archived; nothing before the archive has been read, which holds it then.
    void append(const ArchiveRow& row);

    Span span(const QDateTime& from, const QDateTime& to) const;
    // The same for rows given, oldest first.
    static Span span(const std::vector<ArchiveRow>& rows, const QDateTime& from,
                     const QDateTime& to);
    Extremes extremes(const QDate& day) const;

    // What a block or an interval was, in words, for the pointer and for a text in place of the
    // chart.
    static QString describe(const ArchiveRow& block, const QLocale& locale = QLocale());
    static QString describe(const Interval& interval, const QLocale& locale = QLocale());

private:
    template <typename Rows> static Span spanOf(const Rows& rows, qint64 from, qint64 to);

    std::deque<ArchiveRow> m_rows;
    bool m_loaded = false;
};
