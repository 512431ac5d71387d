#include "Archive.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>
#include <QTimeZone>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {
constexpr int Columns = 10;

// Local time with its offset from UTC, which a spreadsheet and a script read alike, also
// across a change to summer time.
QByteArray timeText(const QDateTime& at)
{
    const int offset = at.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return (QLocale::c().toString(at, QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")) +
            QString::asprintf("%c%02d:%02d", offset < 0 ? '-' : '+', minutes / 60, minutes % 60))
        .toLatin1();
}

// One decimal and a point, whatever the user's locale.
QByteArray number(double value)
{
    QByteArray text = QByteArray::number(value, 'f', 1);
    return text == "-0.0" ? QByteArray("0.0") : text;
}

QByteArray quoted(const QString& text)
{
    QByteArray bytes = text.toUtf8();
    bytes.replace('"', "\"\"");
    bytes.replace('\n', ' ').replace('\r', ' ');
    return '"' + bytes + '"';
}

// The fields of one CSV line; false where its quotes are not closed.
bool split(QByteArrayView line, QList<QByteArray>& fields)
{
    fields.clear();
    QByteArray field;
    bool inQuotes = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (inQuotes) {
            if (c != '"')
                field += c;
            else if (i + 1 < line.size() && line[i + 1] == '"')
                field += line[++i];
            else
                inQuotes = false;
        } else if (c == '"') {
            inQuotes = true;
        } else if (c == ',') {
            fields << field;
            field.clear();
        } else {
            field += c;
        }
    }
    fields << field;
    return !inQuotes;
}

// A number in the range readings are clamped to: a row edited by hand, or copied from
// elsewhere, may hold anything, and a chart's axis cannot span a huge value or none.
bool readNumber(const QByteArray& text, double& value, double low)
{
    bool ok = false;
    value = text.toDouble(&ok);
    return ok && value >= low && value <= Conditioning::UpperLimit;
}

bool flushToDisk(QFile& file)
{
#ifdef Q_OS_WIN
    return _commit(file.handle()) == 0;
#else
    int result;
    do {
        result = ::fsync(file.handle());
    } while (result != 0 && errno == EINTR);
    return result == 0;
#endif
}
} // namespace

QString Archive::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/KORA/archive");
}

void Archive::setFolder(const QString& folder)
{
    m_folder = folder;
    m_ownFolder = !folder.isEmpty() && QDir(folder) == QDir(defaultFolder());
    m_mayMakeFolder = !folder.isEmpty() && (m_ownFolder || !QFileInfo::exists(folder));
}

QString Archive::fileName(const QDateTime& at)
{
    return QLocale::c().toString(at, QStringLiteral("'kora-'yyyy-MM'.csv'"));
}

QString Archive::appendBlock(const QDateTime& at, const BlockSummary& block) const
{
    return append(at, timeText(at) + ',' + number(block.temperatureAverage) + ',' +
                          number(block.temperatureLow) + ',' + number(block.temperatureHigh) + ',' +
                          number(block.humidityAverage) + ',' + number(block.humidityLow) + ',' +
                          number(block.humidityHigh) + ',' + QByteArray::number(block.readings) +
                          ",,");
}

QString Archive::appendEvent(const QDateTime& at, PortEvent event, const QString& detail) const
{
    return append(at, timeText(at) + ",,,,,,,," + QByteArray(PortEvents::word(event).data()) + ',' + quoted(detail));
}

QString Archive::append(const QDateTime& at, const QByteArray& row) const
{
    if (m_folder.isEmpty())
        return {};
    const QString path = QDir(m_folder).filePath(fileName(at));
    QFile file(path);
    const auto open = [&file] {
        return file.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered);
    };
    if (!open() && !QFileInfo::exists(m_folder)) {
        if (!m_mayMakeFolder)
            return path + QStringLiteral(": the folder has gone (a disk unmounted?); it is not "
                                         "made again where the disk was");
        if (!QDir().mkpath(m_folder))
            return path + QStringLiteral(": the folder cannot be made");
        open();
    }
    if (!file.isOpen())
        return path + QStringLiteral(": ") + file.errorString();
    m_mayMakeFolder = m_ownFolder;
    QByteArray bytes;
    const qint64 size = file.isSequential() ? 0 : file.size();
    if (size <= 0) {
        bytes = QByteArray(Header) + '\n';
    } else {
        // A row torn by a power cut ends without its line end: the new row starts on a line of
        // its own, and only the torn one is lost.
        char last = '\n';
        if (file.seek(size - 1) && file.getChar(&last) && last != '\n')
            bytes = "\n";
    }
    bytes += row + '\n';
    errno = 0;
    if (file.write(bytes) != bytes.size())
        return path + QStringLiteral(": ") + file.errorString();
    if (!flushToDisk(file))
        return path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
    return {};
}

// The archive's own time, 2026-12-06T14:05:09+01:00, read without Qt's general parser: a month
// of rows at the sensor's full rate is half a million of them.
static bool readTime(const QByteArray& text, QDateTime& at)
{
    const char* c = text.constData();
    const auto digits = [c](int from, int count) {
        int value = 0;
        for (int i = from; i < from + count; ++i) {
            if (c[i] < '0' || c[i] > '9')
                return -1;
            value = value * 10 + (c[i] - '0');
        }
        return value;
    };
    if (text.size() != 25 || c[4] != '-' || c[7] != '-' || c[10] != 'T' || c[13] != ':' ||
        c[16] != ':' || (c[19] != '+' && c[19] != '-') || c[22] != ':') {
        at = QDateTime::fromString(QString::fromLatin1(text), Qt::ISODate);
        return at.isValid();
    }
    const int year = digits(0, 4), month = digits(5, 2), day = digits(8, 2);
    const int hour = digits(11, 2), minute = digits(14, 2), second = digits(17, 2);
    const int offsetHours = digits(20, 2), offsetMinutes = digits(23, 2);
    const QDate date(year, month, day);
    if (!date.isValid() || hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 ||
        second > 59 || offsetHours < 0 || offsetHours > 14 || offsetMinutes < 0 ||
        offsetMinutes > 59)
        return false;
    const int offset = (c[19] == '-' ? -1 : 1) * (offsetHours * 3600 + offsetMinutes * 60);
    const qint64 local = (date.toJulianDay() - QDate(1970, 1, 1).toJulianDay()) * 86400 +
                         hour * 3600 + minute * 60 + second;
    at = QDateTime::fromMSecsSinceEpoch((local - offset) * 1000, QTimeZone(offset));
    return true;
}

bool Archive::parseLine(QByteArrayView line, ArchiveRow& row)
{
    thread_local QList<QByteArray> fields;
    if (line.endsWith('\r'))
        line.chop(1);
    if (!split(line, fields) || fields.size() != Columns)
        return false;
    row = ArchiveRow{};
    if (!readTime(fields[0], row.at))
        return false;
    {
        if (!fields[7].isEmpty()) {
            BlockSummary& block = row.block;
            bool ok = false;
            block.readings = fields[7].toInt(&ok);
            constexpr double Cold = Conditioning::TemperatureLow;
            constexpr double Dry = Conditioning::HumidityLow;
            if (!(ok && readNumber(fields[1], block.temperatureAverage, Cold) &&
                  readNumber(fields[2], block.temperatureLow, Cold) &&
                  readNumber(fields[3], block.temperatureHigh, Cold) &&
                  readNumber(fields[4], block.humidityAverage, Dry) &&
                  readNumber(fields[5], block.humidityLow, Dry) &&
                  readNumber(fields[6], block.humidityHigh, Dry)))
                return false;
            row.isBlock = true;
        } else if (!fields[8].isEmpty()) {
            row.event = PortEvents::fromWord(QString::fromUtf8(fields[8]));
            row.detail = QString::fromUtf8(fields[9]);
        } else {
            return false;
        }
    }
    return true;
}

std::vector<ArchiveRow> Archive::parse(const QByteArray& text)
{
    std::vector<ArchiveRow> rows;
    qsizetype start = 0;
    ArchiveRow row;
    for (qsizetype end = text.indexOf('\n'); end >= 0;
         start = end + 1, end = text.indexOf('\n', start)) {
        if (parseLine(QByteArrayView(text.constData() + start, end - start), row))
            rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<ArchiveRow> Archive::read(const QString& folder, const QDateTime& from,
                                      const QDateTime& to)
{
    std::vector<ArchiveRow> rows;
    const QDate last = to.toLocalTime().date();
    // A row's file is chosen by its local time then, whose offset may have been another.
    const QDate first = from.toLocalTime().date().addDays(-1);
    for (QDate month(first.year(), first.month(), 1); month <= last; month = month.addMonths(1)) {
        QFile file(QDir(folder).filePath(fileName(QDateTime(month, QTime(12, 0)))));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        for (ArchiveRow& row : parse(file.readAll())) {
            if (row.at >= from && row.at <= to)
                rows.push_back(std::move(row));
        }
    }
    // Written in the order they happened, unless the clock was stepped back meanwhile.
    std::stable_sort(rows.begin(), rows.end(),
                     [](const ArchiveRow& a, const ArchiveRow& b) { return a.at < b.at; });
    return rows;
}
