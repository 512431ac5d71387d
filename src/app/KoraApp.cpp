#include "KoraApp.h"

#include "CommandLine.h"
#include "StopSignals.h"
#include "common/UnhandledError.h"

#include <QCoreApplication>

KoraApp::KoraApp(const CommandLine& line)
    : m_line(line), m_frmMain(m_state, m_settings, m_port, m_clock, m_messages),
      m_station(m_state, m_settings, m_port, m_clock, m_frmMain, m_messages)
{
    m_frmMain.attach(m_station);
    setFolders(m_station, line);
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
    closeFaces();
}

bool KoraApp::start()
{
    // The window's load opens the port after its stored position.
    if (!startStation(m_line, m_station, m_frmMain, m_messages, false,
                      [this] { m_frmMain.load(); }) ||
        m_failed)
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
