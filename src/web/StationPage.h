#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QLocale>

class HistoryModel;
class QJsonObject;
class QRegularExpression;

// The station's page and the archive's list as HTML. Every address in them is relative, so that
// they also work behind a proxy's prefix; every text from outside is escaped.
namespace StationPage {
// The whole page: the state as /api/now gives it, with the history section.
QByteArray page(const QJsonObject& state, const QByteArray& history, const QLocale& locale);
// The history of the last `days` days: the span's links, the chart with a text in its place,
// the last two days' extremes and what happened to the port.
QByteArray historySection(const HistoryModel& history, const QDateTime& now, const QLocale& locale,
                          int days);
// The archive's month files in the folder, newest first; none without a folder.
QByteArray archiveList(const QString& folder);
// The name of a month file of the archive, exactly: nothing else reaches the file system.
const QRegularExpression& monthFile();
} // namespace StationPage
