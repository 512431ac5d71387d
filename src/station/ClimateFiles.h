#pragma once

#include <QDateTime>
#include <QString>

class HistoryModel;

// The climate summaries a station keeps beside its archive: climate-YYYY-MM.txt for each month
// that has ended and climate-YYYY.txt for its year, as the page gives them, for an owner who
// reads files rather than pages.
namespace ClimateFiles {
QString fileName(int year, int month = 0);
// Whether the last month's summary is still to be written, as far as the folder tells: a station
// need not read its archive for it at every block.
bool isDue(const QString& folder, const QDateTime& now);
// Once a month has ended, writes its summary and its year's, each replaced whole, unless they
// were written after it ended. Returns what went wrong, or nothing.
QString writeEnded(const QString& folder, const HistoryModel& history, const QDateTime& now);
} // namespace ClimateFiles
