// Reading the archive into the history a slice at a time, so that a month of rows at the
// sensor's full rate never holds up a reading for long.
#include "HistoryModel.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>

struct HistoryModel::Loader {
    QStringList files;
    int next = 0;
    std::unique_ptr<QFile> file;
    // The start of a line whose end the next read brings.
    QByteArray carry;
    qint64 from = 0;
    qint64 to = 0;
    std::deque<Compact> blocks;
    std::deque<ArchiveRow> events;
    ClimateDays climate;

    // Reads and keeps the rows of one piece of the current file; false once every file is read.
    bool readPiece()
    {
        while (!file || file->atEnd()) {
            // A last line without its end was torn by a power cut: it is no row.
            carry.clear();
            file.reset();
            if (next >= files.size())
                return false;
            file = std::make_unique<QFile>(files[next++]);
            if (!file->open(QIODevice::ReadOnly))
                file.reset();
        }
        QByteArray piece = carry + file->read(64 * 1024);
        const qsizetype lastEnd = piece.lastIndexOf('\n');
        carry = lastEnd < 0 ? piece : piece.mid(lastEnd + 1);
        // A line without an end that is longer than any row is no row: it is passed over.
        if (carry.size() > 64 * 1024)
            carry.clear();
        qsizetype start = 0;
        for (qsizetype end = piece.indexOf('\n'); end >= 0 && end <= lastEnd;
             start = end + 1, end = piece.indexOf('\n', start))
            takeLine(QByteArrayView(piece.constData() + start, end - start));
        return true;
    }

    void takeLine(QByteArrayView line)
    {
        ArchiveRow row;
        if (!Archive::parseLine(line, row))
            return;
        const qint64 at = row.at.toMSecsSinceEpoch();
        // A row archived since the reading began comes by append().
        if (at > to)
            return;
        // Every day of the archive is summed up; its last month kept block by block.
        const Compact compact = Compact::of(row);
        if (row.isBlock)
            climate.addBlock(at, compact.offsetSeconds, compact.values, compact.readings);
        else
            climate.addEvent(at, compact.offsetSeconds, row.event);
        if (at < from)
            return;
        if (row.isBlock)
            blocks.push_back(compact);
        else
            events.push_back(std::move(row));
    }
};

HistoryModel::HistoryModel() = default;
HistoryModel::~HistoryModel() = default;
HistoryModel::HistoryModel(HistoryModel&&) noexcept = default;
HistoryModel& HistoryModel::operator=(HistoryModel&&) noexcept = default;

void HistoryModel::beginLoad(const QString& folder, const QDateTime& now)
{
    m_blocks.clear();
    m_events.clear();
    m_climate = {};
    m_loaded = false;
    m_loader = std::make_unique<Loader>();
    const QDateTime from = now.addDays(-KeptDays - 1);
    m_loader->from = from.toMSecsSinceEpoch();
    m_loader->to = now.toMSecsSinceEpoch();
    if (folder.isEmpty())
        return;
    // Every month the archive holds, oldest first: their names sort by their months.
    const QStringList months =
        QDir(folder).entryList({QStringLiteral("kora-*.csv")}, QDir::Files, QDir::Name);
    for (const QString& month : months)
        m_loader->files << QDir(folder).filePath(month);
}

bool HistoryModel::loadSome(int budgetMs)
{
    if (!m_loader)
        return true;
    QElapsedTimer clock;
    clock.start();
    while (m_loader->readPiece()) {
        if (clock.elapsed() >= budgetMs) {
            ++m_revision;
            return false;
        }
    }
    // Written in the order they happened, unless the clock was stepped back meanwhile.
    Loader& loaded = *m_loader;
    // Sorting half a million rows would hold up the readings; in order already, they are not.
    const auto byTime = [](const Compact& a, const Compact& b) { return a.at < b.at; };
    if (!std::is_sorted(loaded.blocks.begin(), loaded.blocks.end(), byTime))
        std::stable_sort(loaded.blocks.begin(), loaded.blocks.end(), byTime);
    std::stable_sort(loaded.events.begin(), loaded.events.end(),
                     [](const ArchiveRow& a, const ArchiveRow& b) { return a.at < b.at; });
    // What the station archived meanwhile follows, where the files did not hold it yet.
    std::deque<Compact> appendedBlocks = std::exchange(m_blocks, std::move(loaded.blocks));
    std::deque<ArchiveRow> appendedEvents = std::exchange(m_events, std::move(loaded.events));
    m_climate = std::move(loaded.climate);
    const qint64 lastRead = newest();
    for (const Compact& block : appendedBlocks)
        if (block.at > lastRead) {
            m_blocks.push_back(block);
            m_climate.addBlock(block.at, block.offsetSeconds, block.values, block.readings);
        }
    for (ArchiveRow& event : appendedEvents)
        if (event.at.toMSecsSinceEpoch() > lastRead)
            add(event);
    m_loader.reset();
    m_loaded = true;
    ++m_revision;
    return true;
}
