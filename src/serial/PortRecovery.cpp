#include "PortRecovery.h"

#include "LineSetup.h"
#include "SerialControl.h"
#include "common/KoraError.h"

PortRecovery::PortRecovery(SerialControl& port, bool& portFault, QObject* parent)
    : QObject(parent), m_port(port), m_portFault(portFault)
{
    m_timer.setInterval(RetryIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &PortRecovery::retry);
}

void PortRecovery::update()
{
    const bool atFault = !m_stopped && m_portChosen && m_portFault && !m_port.PortOpen();
    if (atFault && !m_timer.isActive()) {
        m_lastTold.clear();
        m_timer.start();
    } else if (!atFault) {
        m_timer.stop();
    }
}

void PortRecovery::stop()
{
    m_stopped = true;
    m_timer.stop();
}

void PortRecovery::retry()
{
    if (!m_portFault || m_port.PortOpen()) {
        m_timer.stop();
        return;
    }
    LineSetup::Outcome outcome;
    LineSetup::reopen(m_port, outcome);
    if (!outcome.failed) {
        m_portFault = false;
        m_timer.stop();
        emit reconnected();
        return;
    }
    // Half open is no use: close it, so the next try starts afresh.
    if (m_port.PortOpen()) {
        try {
            m_port.setPortOpen(false);
        } catch (const KoraError&) {
        }
    }
    if (outcome.number != ErrorNumber::PortMissing && outcome.description != m_lastTold) {
        m_lastTold = outcome.description;
        emit retryFailed(outcome.description);
    }
}
