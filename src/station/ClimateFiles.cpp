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

QString ClimateFiles::writeEnded(const QString& folder, const HistoryModel& history,
                                 const QDateTime& now)
{
    if (folder.isEmpty() || !history.isLoaded())
        return {};
    const QDate today = now.date();
    const QDate ended = QDate(today.year(), today.month(), 1).addMonths(-1);
    const QString monthPath = QDir(folder).filePath(fileName(ended.year(), ended.month()));
    const QDateTime endedAt(QDate(today.year(), today.month(), 1), QTime(0, 0), now.timeZone());
    if (const QFileInfo written(monthPath); written.exists() && written.lastModified() >= endedAt)
        return {};
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
