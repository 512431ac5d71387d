#include "HeadlessApp.h"

#include "CommandLine.h"
#include "StopSignals.h"
#include "common/UnhandledError.h"
#include "serial/LineSetup.h"
#include "serial/PortDevice.h"
#include "settings/SettingsKeys.h"
#include "station/Log.h"

#include <QCoreApplication>
#include <QSysInfo>

#ifdef KORA_HAVE_MQTT
#include "station/MqttPublisher.h"
#endif
#ifdef KORA_HAVE_WEB
#include "station/StationSite.h"
#endif

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

HeadlessApp::HeadlessApp(const QString& reportFolder, const QString& archiveFolder,
                         bool readingsToo)
    : m_port([this](int n) { return PortDevice::forPort(n, m_settings); }), m_view(readingsToo),
      m_station(m_state, m_settings, m_port, m_clock, m_view, m_messages)
{
    if (!reportFolder.isEmpty())
        m_station.setReportFolder(reportFolder);
    m_station.setArchiveFolder(archiveFolder);
    UnhandledError::install([this](const KoraError& error) {
        m_exitStatus = 1;
        m_messages.error(error);
        m_station.end();
        QCoreApplication::exit(1);
    });
    m_stopSignals = std::make_unique<StopSignals>([this] {
        m_station.end();
#ifdef KORA_HAVE_MQTT
        if (m_publisher)
            m_publisher->stop();
#endif
        QCoreApplication::exit(0);
    });
}

HeadlessApp::~HeadlessApp()
{
    UnhandledError::install({});
}

int HeadlessApp::run(int argc, char* argv[], const CommandLine& line)
{
    QCoreApplication app(argc, argv);
    Log::takeQtMessages();
    HeadlessApp kora(line.reportFolder, line.archiveFolder, line.verbose);
    if (!kora.start(line.mqttUrl, line.mqttPasswordFile, line.listen))
        return kora.exitStatus();
    return kora.exitStatus(app.exec());
}

bool HeadlessApp::start(const QString& mqttUrl, const QString& mqttPasswordFile,
                        const QString& listen)
{
    if (const QString problem = storedPortProblem(); !problem.isEmpty()) {
        Log::line(problem);
        m_exitStatus = NotConfigured;
        return false;
    }
#ifdef KORA_HAVE_MQTT
    MqttSettings mqtt;
    if (const QString problem =
            mqtt.load(m_settings, mqttUrl, mqttPasswordFile, QSysInfo::machineHostName());
        !problem.isEmpty()) {
        // Never at the readings' cost: the station runs, and says why it does not publish.
        Log::line(QStringLiteral("MQTT: ") + problem + QStringLiteral("; not publishing"));
    } else if (mqtt.enabled()) {
        m_publisher = std::make_unique<MqttPublisher>(mqtt, m_station, m_view, m_clock);
        m_publisher->start();
    }
#else
    Q_UNUSED(mqttUrl)
    Q_UNUSED(mqttPasswordFile)
#endif
#ifdef KORA_HAVE_WEB
    QString told;
    m_site = StationSite::open(listen, m_settings, m_station, m_view, m_clock, told);
#else
    Q_UNUSED(listen)
#endif
    return UnhandledError::guard([this] { m_station.openStoredPort(); }) && m_exitStatus == 0;
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
