#pragma once

#include "common/Clock.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

class MainView;
class QSaveFile;
struct ProgramState;

// Writes the weather report wxnow.txt (a date-time line and an APRS-style weather line) and
// the status line that repeats it in the main window.
class ReportWriter {
public:
    static constexpr const char* FileName = "wxnow.txt";
    // How often, and how far apart, replacing a report that another program holds is tried
    // before it is written in place.
    static constexpr int ReplaceAttempts = 4;
    static constexpr int ReplaceRetryMs = 25;

    using FileFactory = std::function<std::unique_ptr<QSaveFile>(const QString& path)>;

    ReportWriter(ProgramState& state, MainView& view, const Clock& clock,
                 FileFactory makeFile = {});

    // The folder the report goes to; the working folder unless set.
    void setFolder(const QString& folder) { m_folder = folder; }
    QString folder() const { return m_folder; }

    // Rewrites the report as a whole: a reader sees the old report or the new one, never a
    // part. A report that cannot be written is shown in the status line and the program goes on.
    void FileWrite(double temperatureF, std::int16_t humidity);

    // Why the report cannot go into the folder ("does not exist", "cannot be written: ..."), or
    // nothing where it can: a new file can be made there, or the report there may be rewritten.
    static QString folderProblem(const QString& folder);

    // The date and time that begins a line of the status label, with the user's own time
    // separator: only a person reads it.
    static QString statusStamp(const QDateTime& at);
    static QString weatherLine(double temperatureF, std::int16_t humidity);
    static QString humidityText(std::int16_t humidity);
    static QByteArray reportBytes(const QDateTime& at, double temperatureF, std::int16_t humidity);

private:
    // Reason tells why the report was not written; warning, what a written one lost.
    bool write(const QString& path, const QByteArray& bytes, QString& reason, QString& warning);
    static bool replaceUnwritable(const QString& path, const QByteArray& bytes, QString& reason,
                                  QString& warning);

    ProgramState& m_state;
    MainView& m_view;
    const Clock& m_clock;
    FileFactory m_makeFile;
    QString m_folder = QStringLiteral(".");
};
