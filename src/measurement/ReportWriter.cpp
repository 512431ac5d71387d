#include "ReportWriter.h"

#include "MainView.h"
#include "NumberText.h"
#include "ProgramState.h"

#include <QDir>
#include <QSaveFile>
#include <cstdlib>

namespace {
const QString DateFormat = QStringLiteral("dd MM yyyy");
const QString LineEnd = QStringLiteral("\r\n");
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
    return at.toString(DateFormat + " hh:mm:ss");
}

QString ReportWriter::weatherLine(double temperatureF, std::int16_t humidity)
{
    return QStringLiteral("000") + "/000" + "g000" + "t" + NumberText::pattern000(temperatureF) +
           "r000" + "p000" + "P000" + "h" + humidityText(humidity) + "b000000" + "w";
}

QByteArray ReportWriter::reportBytes(const QDateTime& at, double temperatureF,
                                     std::int16_t humidity)
{
    const QString text = at.toString(DateFormat + " hh:mm") + LineEnd +
                         weatherLine(temperatureF, humidity) + LineEnd;
    return text.toLatin1();
}

void ReportWriter::FileWrite(double temperatureF, std::int16_t humidity)
{
    m_state.outputDirectory = QStringLiteral(".");
    const QString path = QDir(m_state.outputDirectory).filePath(QString::fromLatin1(FileName));

    // One clock reading for the file's line, so its date and time belong to one moment.
    const QByteArray bytes = reportBytes(m_clock.now(), temperatureF, humidity);

    bool written = false;
    QString reason;
    const std::unique_ptr<QSaveFile> file = m_makeFile(path);
    // The new report normally goes into a new file that then replaces the old one, so a reader
    // never sees half a report. That needs a writable folder; where only the report file itself
    // may be written (set up for the beacon software), it is rewritten in place instead.
    file->setDirectWriteFallback(true);
    if (file->open(QIODevice::WriteOnly)) {
        if (file->write(bytes) == bytes.size()) {
            written = file->commit();
        } else {
            reason = file->errorString();
            file->cancelWriting();
        }
    }
    if (!written && reason.isEmpty())
        reason = file->errorString();

    const QString when = statusStamp(m_clock.now());
    if (!written) {
        if (reason.isEmpty())
            reason = QStringLiteral("write error");
        m_view.setLabelText(MainView::Label::Status,
                            when + " " + FileName + " not written: " + reason);
        return;
    }
    m_view.setLabelText(MainView::Label::Status, when + " " + NumberText::pattern000(temperatureF) +
                                                     "degF " + humidityText(humidity) + "%");
}
