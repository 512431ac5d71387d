#pragma once

#include "HttpMessage.h"

#include <QDateTime>
#include <QLocale>

#include <optional>

class HistoryModel;

// The station's climate on the web: the monthly and yearly summaries as text
// (/climate/YYYY-MM.txt, /climate/YYYY.txt) and JSON (/api/climate?month=YYYY-MM or ?year=YYYY),
// the records (/api/records), and the page's section with the records and the summaries'
// links. Each is made from the days kept in memory: a year's summary is a few hundred days'
// sums, whatever the archive holds.
namespace ClimatePages {
// The answer for one of those paths; none for any other path.
std::optional<HttpReply> answer(const HttpRequest& request, const HistoryModel& history,
                                const QDateTime& now);
QByteArray section(const HistoryModel& history, const QDateTime& now, const QLocale& locale);
} // namespace ClimatePages
