#include "ClimateFiles.h"

#include "ClimateSummary.h"
#include "HistoryModel.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QTimeZone>

QString ClimateFiles::fileName(int year, int month)
{
    return month > 0 ? QStringLiteral("climate-%1-%2.txt")
                           .arg(year, 4, 10, QLatin1Char('0'))
                           .arg(month, 2, 10, QLatin1Char('0'))
                     : QStringLiteral("climate-%1.txt").arg(year, 4, 10, QLatin1Char('0'));
}

namespace {
QDate monthEnded(const QDateTime& now)
{
    return QDate(now.date().year(), now.date().month(), 1).addMonths(-1);
}

QDateTime monthStart(const QDateTime& now)
{
    return QDateTime(QDate(now.date().year(), now.date().month(), 1), QTime(0, 0),
                     now.timeZone());
}
} // namespace

bool ClimateFiles::isDue(const QString& folder, const QDateTime& now)
{
    if (folder.isEmpty())
        return false;
    const QDate ended = monthEnded(now);
    const QFileInfo written(QDir(folder).filePath(fileName(ended.year(), ended.month())));
    return !written.exists() || written.lastModified() < monthStart(now);
}

QString ClimateFiles::writeEnded(const QString& folder, const HistoryModel& history,
                                 const QDateTime& now)
{
    if (!isDue(folder, now) || !history.isLoaded())
        return {};
    const QDate ended = monthEnded(now);
    const QDateTime endedAt = monthStart(now);
    const QString monthPath = QDir(folder).filePath(fileName(ended.year(), ended.month()));
    // Nothing to sum up where the archive has not a day of that month.
    const auto& days = history.climate().days();
    const auto first = days.lower_bound(ended.toJulianDay());
    if (first == days.end() || first->first >= endedAt.date().toJulianDay())
        return {};
    const std::pair<QString, ClimateSummary::Table> files[] = {
        {monthPath, ClimateSummary::month(history.climate(), ended.year(), ended.month(), now)},
        {QDir(folder).filePath(fileName(ended.year())),
         ClimateSummary::year(history.climate(), ended.year(), now)}};
    for (const auto& [path, table] : files) {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(ClimateSummary::text(table)) < 0 ||
            !file.commit())
            return QStringLiteral("The climate summary %1 was not written: %2")
                .arg(QDir::toNativeSeparators(path), file.errorString());
    }
    return {};
}
