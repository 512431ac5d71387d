#include "KoraApp.h"

#include "StopSignals.h"
#include "common/UnhandledError.h"
#include "serial/PortDevice.h"

#include <QCoreApplication>
#include <QSysInfo>

#ifdef KORA_HAVE_MQTT
#include "station/MqttPublisher.h"
#endif
#ifdef KORA_HAVE_WEB
#include "station/Log.h"
#include "station/StationSite.h"
#endif

KoraApp::KoraApp(const QString& reportFolder, const QString& archiveFolder)
    : m_port([this](int n) { return PortDevice::forPort(n, m_settings); }),
      m_frmMain(m_state, m_settings, m_port, m_clock, m_messages)
{
    if (!reportFolder.isEmpty())
        m_frmMain.station().setReportFolder(reportFolder);
    m_frmMain.station().setArchiveFolder(archiveFolder);
    m_messages.setParent(&m_frmMain);

    UnhandledError::install([this](const KoraError& error) {
        m_failed = true;
        m_messages.error(error);
        QCoreApplication::exit(1);
    });
    m_stopSignals = std::make_unique<StopSignals>([this] {
        m_stopped = true;
        m_frmMain.exitCommand();
        // Before the event loop runs, quitting it does nothing: a box that waits at start-up
        // is what keeps the program, and it goes too.
        m_messages.endAll();
    });
}

KoraApp::~KoraApp()
{
#ifdef KORA_HAVE_MQTT
    if (m_publisher)
        m_publisher->stop();
#endif
}

bool KoraApp::start(const QString& mqttUrl, const QString& mqttPasswordFile, const QString& listen)
{
#ifdef KORA_HAVE_MQTT
    MqttSettings mqtt;
    if (const QString problem =
            mqtt.load(m_settings, mqttUrl, mqttPasswordFile, QSysInfo::machineHostName());
        !problem.isEmpty()) {
        // Never at the readings' cost: the station runs, and says why it does not publish.
        m_messages.exclamation(QStringLiteral("MQTT: ") + problem +
                               QStringLiteral("; not publishing"));
    } else if (mqtt.enabled()) {
        m_publisher =
            std::make_unique<MqttPublisher>(mqtt, m_frmMain.station(), m_frmMain, m_clock);
        m_publisher->start();
    }
#else
    Q_UNUSED(mqttUrl)
    Q_UNUSED(mqttPasswordFile)
#endif
#ifdef KORA_HAVE_WEB
    QString told;
    m_site = StationSite::open(listen, m_settings, m_frmMain.station(), m_frmMain, m_clock, told);
    if (!told.isEmpty())
        Log::line(told);
#else
    Q_UNUSED(listen)
#endif
    if (!UnhandledError::guard([this] { m_frmMain.load(); }) || m_failed)
        return false;
    // Ended while a start-up box waited for its click.
    if (!m_stopped)
        m_frmMain.show();
    return true;
}

int KoraApp::exec()
{
    const int status = m_stopped ? 0 : QCoreApplication::exec();
    return m_failed ? 1 : status;
}
