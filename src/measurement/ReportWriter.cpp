#include "ReportWriter.h"

#include "MainView.h"
#include "NumberText.h"
#include "ProgramState.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <QTemporaryFile>
#include <QThread>
#include <cstdlib>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cstdio>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
const QString DateFormat = QStringLiteral("dd MM yyyy");
const QString LineEnd = QStringLiteral("\r\n");

// A new report replaces the old one as a new file, which belongs to this program's own group:
// the beacon software may read the old one through its group only (root:adm 0640). The new
// file is given that group where this program may (it is a member of it); otherwise the
// returned text tells that the group's readers have lost the report.
QString keepGroup(int newFile, const QString& oldPath)
{
#ifdef Q_OS_WIN
    Q_UNUSED(newFile);
    Q_UNUSED(oldPath);
#else
    struct stat old {};
    struct stat made {};
    if (::stat(QFile::encodeName(oldPath).constData(), &old) != 0 || ::fstat(newFile, &made) != 0 ||
        old.st_gid == made.st_gid)
        return {};
    if (::fchown(newFile, uid_t(-1), old.st_gid) == 0)
        return {};
    if ((old.st_mode & S_IRGRP) && !(old.st_mode & S_IROTH)) {
        const group* named = ::getgrgid(old.st_gid);
        const QString name =
            named ? QString::fromLocal8Bit(named->gr_name) : QString::number(old.st_gid);
        return QStringLiteral("group %1 may no longer read %2").arg(name, ReportWriter::FileName);
    }
#endif
    return {};
}
} // namespace

ReportWriter::ReportWriter(ProgramState& state, MainView& view, const Clock& clock,
                           FileFactory makeFile)
    : m_state(state), m_view(view), m_clock(clock), m_makeFile(std::move(makeFile))
{
    if (!m_makeFile)
        m_makeFile = [](const QString& path) { return std::make_unique<QSaveFile>(path); };
}

QString ReportWriter::humidityText(std::int16_t humidity)
{
    const QString digits = QString::number(std::abs(static_cast<int>(humidity)));
    return (humidity < 0 ? QStringLiteral("-") : QString()) + digits.rightJustified(2, u'0');
}

QString ReportWriter::statusStamp(const QDateTime& at)
{
    // The separator that follows the hour in the locale's own time format: "." in Finnish and
    // Danish, ":" in most others.
    const QString localFormat = QLocale().timeFormat(QLocale::ShortFormat);
    // By hand: a regular expression is compiled anew at each report.
    qsizetype hour = 0;
    while (hour < localFormat.size() && localFormat.at(hour) != u'h' &&
           localFormat.at(hour) != u'H')
        ++hour;
    QChar separator = u':';
    for (qsizetype i = hour; i < localFormat.size(); ++i) {
        if (!localFormat.at(i).isLetter()) {
            if (!localFormat.at(i).isSpace() && localFormat.at(i) != u'\'')
                separator = localFormat.at(i);
            break;
        }
    }
    const QString time = QStringLiteral("hh'%1'mm'%1'ss").arg(separator);
    return QLocale::c().toString(at, DateFormat + u' ' + time);
}

QString ReportWriter::weatherLine(double temperatureF, std::int16_t humidity)
{
    return QStringLiteral("000") + "/000" + "g000" + "t" + NumberText::pattern000(temperatureF) +
           "r000" + "p000" + "P000" + "h" + humidityText(humidity) + "b000000" + "w";
}

QByteArray ReportWriter::reportBytes(const QDateTime& at, double temperatureF,
                                     std::int16_t humidity)
{
    // Read by other programs: the same form in every locale.
    const QString text = QLocale::c().toString(at, DateFormat + " hh:mm") + LineEnd +
                         weatherLine(temperatureF, humidity) + LineEnd;
    return text.toLatin1();
}

bool ReportWriter::write(const QString& path, const QByteArray& bytes, QString& reason,
                         QString& warning)
{
    const auto failed = [&reason](const QFileDevice& file) {
        reason = file.errorString();
        if (reason.isEmpty())
            reason = QStringLiteral("write error");
        return false;
    };
    for (int attempt = 1;; ++attempt) {
        const std::unique_ptr<QSaveFile> file = m_makeFile(path);
        // The new report normally goes into a new file that then replaces the old one, so a
        // reader never sees half a report. That needs a writable folder; where only the report
        // file itself may be written (set up for the beacon software), it is rewritten in place.
        file->setDirectWriteFallback(true);
        if (!file->open(QIODevice::WriteOnly)) {
            failed(*file);
            const QFileInfo old(path);
            // A link is written through (to the beacon's folder, a web folder), never replaced:
            // a file in its place would never be read.
            if (old.isSymLink()) {
                reason = QStringLiteral("it is a link to %1, which cannot be written: %2")
                             .arg(old.symLinkTarget(), reason);
                return false;
            }
            // Refused because the old report may not be written, left by another user (a test
            // run as root): where the folder allows it, a new file still takes its place.
            return old.exists() && !old.isDir() && !old.isWritable() &&
                   replaceUnwritable(path, bytes, reason, warning);
        }
        warning = keepGroup(file->handle(), path);
        // A disk that fills up may take only part of the report, and tell no
        // error: what did not land whole is not committed, and the old report stays.
        const bool written = file->write(bytes) == bytes.size();
        const bool whole = written && file->flush() && file->size() == bytes.size();
        if (!whole) {
            failed(*file);
            if (written)
                reason = QStringLiteral("only %1 of %2 bytes could be written (disk full?)")
                             .arg(file->size())
                             .arg(bytes.size());
            file->cancelWriting();
        } else if (file->commit()) {
            return true;
        } else {
            failed(*file);
        }
        // Windows refuses to replace a file that another program has open without sharing its
        // deletion, as beacon software has the report while reading it: wait for it to finish.
        if (file->error() != QFileDevice::RenameError)
            return false;
        if (attempt == ReplaceAttempts)
            break;
        QThread::msleep(ReplaceRetryMs);
    }
    // Still held: write the report into the file itself. A reader may catch it half written,
    // but the next read finds it whole, where a lost report would be missing for a whole block.
    // A folder in the report's place is no such file (Wine would even open it for writing).
    if (QFileInfo(path).isDir())
        return false;
    QFile inPlace(path);
    if (!inPlace.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return failed(inPlace);
    if (inPlace.write(bytes) != bytes.size() || !inPlace.flush() || inPlace.size() != bytes.size())
        return failed(inPlace);
    return true;
}

bool ReportWriter::replaceUnwritable(const QString& path, const QByteArray& bytes, QString& reason,
                                     QString& warning)
{
    QTemporaryFile fresh(path + QStringLiteral(".XXXXXX"));
    const auto failed = [&reason](const QString& why) {
        reason += QStringLiteral(", and no new file can take its place: ") + why;
        return false;
    };
    if (!fresh.open())
        return failed(fresh.errorString());
    if (fresh.write(bytes) != bytes.size() || !fresh.flush() || fresh.size() != bytes.size())
        return failed(fresh.errorString());
    // Readable by whoever could read the old report, the beacon software; and from now on
    // writable by this program. (The 0x0700 bits are the current user's, not the owner's.)
    const auto old = int(QFileInfo(path).permissions()) & 0x7077;
    fresh.setPermissions(QFileDevice::Permissions(old) | QFileDevice::ReadOwner |
                         QFileDevice::WriteOwner);
    warning = keepGroup(fresh.handle(), path);
    fresh.close();
#ifdef Q_OS_WIN
    const bool replaced =
        ::MoveFileExW(
            reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(fresh.fileName()).utf16()),
            reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(path).utf16()),
            MOVEFILE_REPLACE_EXISTING) != 0;
#else
    const bool replaced = std::rename(QFile::encodeName(fresh.fileName()).constData(),
                                      QFile::encodeName(path).constData()) == 0;
#endif
    if (!replaced)
        return failed(qt_error_string());
    fresh.setAutoRemove(false);
    return true;
}

QString ReportWriter::folderProblem(const QString& folder)
{
    const QFileInfo info(folder);
    if (!info.exists())
        return QStringLiteral("does not exist");
    if (!info.isDir())
        return QStringLiteral("is not a folder");
    // Made and removed again at once.
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".kora-XXXXXX")));
    if (probe.open())
        return {};
    // Set up for some beacon software: only the report itself may be written.
    if (QFileInfo(QDir(folder).filePath(QString::fromLatin1(FileName))).isWritable())
        return {};
    return QStringLiteral("cannot be written: ") + probe.errorString();
}

void ReportWriter::FileWrite(double temperatureF, std::int16_t humidity)
{
    m_state.outputDirectory = m_folder;
    const QString path = QDir(m_state.outputDirectory).filePath(QString::fromLatin1(FileName));

    // One clock reading for the file's line, so its date and time belong to one moment.
    const QByteArray bytes = reportBytes(m_clock.now(), temperatureF, humidity);

    QString reason;
    QString warning;
    const bool written = write(path, bytes, reason, warning);

    const QString when = statusStamp(m_clock.now());
    if (!written) {
        m_view.setLabelText(MainView::Label::Status,
                            when + " " + FileName + " not written: " + reason);
        return;
    }
    m_view.setLabelText(MainView::Label::Status,
                        when + " " + NumberText::pattern000(temperatureF) + "degF " +
                            humidityText(humidity) + "%" +
                            (warning.isEmpty() ? QString() : QStringLiteral("; ") + warning));
}
