#include "KoraApp.h"

#include "StopSignals.h"
#include "common/UnhandledError.h"
#include "serial/PortDevice.h"

#include "station/Log.h"

#include <QCoreApplication>

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
    m_networkFaces.stop();
}

bool KoraApp::start(const QString& mqttUrl, const QString& mqttPasswordFile, const QString& listen)
{
    const NetworkFaces::Problems problems = m_networkFaces.start(
        {mqttUrl, mqttPasswordFile, listen}, m_settings, m_frmMain.station(), m_frmMain, m_clock);
    if (!problems.mqtt.isEmpty())
        m_messages.exclamation(problems.mqtt);
    // The status line shows it only until the port's state replaces it.
    if (!problems.web.isEmpty())
        Log::line(problems.web);
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
