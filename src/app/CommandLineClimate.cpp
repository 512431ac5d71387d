#include "CommandLine.h"

#include "station/ClimateSummary.h"
#include "station/HistoryModel.h"

#include <QDir>
#include <QFileInfo>

bool CommandLine::climateSummary(QByteArray& summary) const
{
    if (!QFileInfo(archiveFolder).isDir()) {
        summary = QStringLiteral("There is no archive in %1.\n")
                      .arg(QDir::toNativeSeparators(archiveFolder))
                      .toLocal8Bit();
        return false;
    }
    const QDateTime now = QDateTime::currentDateTime();
    HistoryModel history;
    history.load(archiveFolder, now);
    const int year = climatePeriod.left(4).toInt();
    const int month = climatePeriod.size() > 4 ? climatePeriod.mid(5).toInt() : 0;
    summary =
        ClimateSummary::text(month > 0 ? ClimateSummary::month(history.climate(), year, month, now)
                                       : ClimateSummary::year(history.climate(), year, now));
    return true;
}
