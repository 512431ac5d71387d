#pragma once

#include "PortEvent.h"
#include "measurement/Conditioning.h"

#include <QDateTime>
#include <QString>
#include <vector>

// One row of the archive: a block of readings, or something that happened to the port or the
// program.
struct ArchiveRow {
    QDateTime at;
    bool isBlock = false;
    BlockSummary block;
    PortEvent event = PortEvent::Other;
    QString detail;
};

// Every report's block kept in a CSV file per month, kora-YYYY-MM.csv, with the port's and the
// program's events between them. Rows are only ever appended, each in one write that is flushed
// to the disk before the next: a station loses power without warning.
class Archive {
public:
    static constexpr char Header[] =
        "time,temperature_avg_c,temperature_min_c,temperature_max_c,humidity_avg_pct,"
        "humidity_min_pct,humidity_max_pct,readings,event,detail";

    // The user's own: ~/.local/share/KORA/archive, %LOCALAPPDATA%\KORA\archive.
    static QString defaultFolder();

    // No archive is kept without a folder. The default folder is made whenever it is missing;
    // one chosen elsewhere only where it did not exist yet. Once there, a chosen folder that
    // goes is not made again: it may have been on a disk that was unmounted, and its rows
    // would go to the empty mount point and be hidden when the disk is back.
    void setFolder(const QString& folder);
    QString folder() const { return m_folder; }

    // The file that holds the rows of the month of this local time.
    static QString fileName(const QDateTime& at);

    // Each returns why its row was not written, or an empty text.
    QString appendBlock(const QDateTime& at, const BlockSummary& block) const;
    QString appendEvent(const QDateTime& at, PortEvent event, const QString& detail) const;

    // The rows from one moment to another, oldest first. A torn or foreign line is skipped, and
    // so is a block with a value outside the range readings are clamped to.
    static std::vector<ArchiveRow> read(const QString& folder, const QDateTime& from,
                                        const QDateTime& to);
    // The rows of one file's text.
    static std::vector<ArchiveRow> parse(const QByteArray& text);
    // One line of it, without its line end; false for a torn or foreign line.
    static bool parseLine(QByteArrayView line, ArchiveRow& row);

private:
    QString append(const QDateTime& at, const QByteArray& row) const;

    QString m_folder;
    bool m_ownFolder = false;
    mutable bool m_mayMakeFolder = false;
};
