#include "HeadlessApp.h"

#include "CommandLine.h"
#include "StopSignals.h"
#include "common/UnhandledError.h"
#include "serial/LineSetup.h"
#include "settings/SettingsKeys.h"
#include "station/ClimateFiles.h"
#include "station/Log.h"

#include <QCoreApplication>

void LogView::setLabelText(Label label, const QString& text)
{
    m_texts[std::size_t(label)] = text;
    if (label == Label::Status)
        Log::line(text);
    else if (label == Label::Humidity && m_readingsToo)
        Log::line(QStringLiteral("reading %1 %2").arg(labelText(Label::Temperature), text));
}

void LogView::showNotice(const QString& shown, const QString& whole)
{
    m_texts[std::size_t(Label::Status)] = shown;
    // Both begin with the date and time: the short text, then the rest of the whole one.
    const qsizetype port = shown.indexOf(QStringLiteral(" Com"));
    Log::line(port < 0 ? whole : shown + QStringLiteral(": ") + whole.mid(port + 1));
}

void LogMessages::plain(const QString& text)
{
    Log::line(text);
}

void LogMessages::exclamation(const QString& text)
{
    Log::line(text);
}

void LogMessages::error(const KoraError& error)
{
    Log::line(errorText(error).replace(QStringLiteral("\n\n"), QStringLiteral(" ")));
}

void LogMessages::portError(const KoraError& error)
{
    LogMessages::error(error);
}

HeadlessApp::HeadlessApp(const CommandLine& line)
    : m_line(line), m_view(line.verbose),
      m_station(m_state, m_settings, m_port, m_clock, m_view, m_messages)
{
    setFolders(m_station, line);
    UnhandledError::install([this](const KoraError& error) {
        m_exitStatus = 1;
        m_messages.error(error);
        m_station.end();
        QCoreApplication::exit(1);
    });
    // The summary of a month that has ended, with the first block after it; the archive is
    // read for it only where that summary is not there yet.
    QObject::connect(&m_station, &Station::blockDone, [this] {
        const QDateTime now = m_clock.now();
        const QString folder = m_station.archiveFolder();
        if (!ClimateFiles::isDue(folder, now))
            return;
        const QString problem = ClimateFiles::writeEnded(folder, m_station.history(), now);
        if (!problem.isEmpty() && problem != m_climateProblem)
            Log::line(problem);
        m_climateProblem = problem;
    });
    m_stopSignals = std::make_unique<StopSignals>([this] {
        m_station.end();
        m_networkFaces.stop();
        QCoreApplication::exit(0);
    });
}

HeadlessApp::~HeadlessApp()
{
    closeFaces();
    UnhandledError::install({});
}

int HeadlessApp::run(int argc, char* argv[], const CommandLine& line)
{
    QCoreApplication app(argc, argv);
    Log::takeQtMessages();
    HeadlessApp kora(line);
    if (!kora.start())
        return kora.exitStatus();
    return kora.exitStatus(app.exec());
}

bool HeadlessApp::start()
{
    if (const QString problem = storedPortProblem(); !problem.isEmpty()) {
        Log::line(problem);
        m_exitStatus = NotConfigured;
        return false;
    }
    // The status line is the log here.
    return startStation(m_line, m_station, m_view, m_messages, true,
                        [this] { m_station.openStoredPort(); }) &&
           m_exitStatus == 0;
}

// A window lets the user choose another port; a service would wait for ever on a number that is
// no port, writing no report, and is better ended with the fix in its log.
QString HeadlessApp::storedPortProblem() const
{
    const QString stored = m_settings.GetSetting(SettingsKeys::Section, SettingsKeys::CommPort,
                                                 SettingsKeys::CommPortDefault);
    if (stored.isEmpty())
        return {};
    try {
        const short port = LineSetup::storedPortNumber(stored);
        if (port >= SerialControl::FirstPort && port <= SerialControl::LastPort)
            return {};
    } catch (const KoraError&) {
    }
    const QString device =
        m_settings.keptInRegistry() ? QStringLiteral("COM17") : QStringLiteral("/dev/ttyUSB0");
    const QString first = QString::number(SerialControl::FirstPort);
    return SettingsKeys::CommPort + u'=' + stored + QStringLiteral(" in [") +
           SettingsKeys::Section + QStringLiteral("] of ") + m_settings.fileName() +
           QStringLiteral(" is no port: it must be a number from ") + first +
           QStringLiteral(" to ") + QString::number(SerialControl::LastPort) +
           QStringLiteral(". For a device such as ") + device + QStringLiteral(", set ") +
           SettingsKeys::CommPort + u'=' + first + QStringLiteral(" and map ") +
           SettingsKeys::portKey(SerialControl::FirstPort) + u'=' + device +
           QStringLiteral(" in [") + SettingsKeys::PortsSection + QStringLiteral("].");
}
