#include "PortRecovery.h"

#include "LineSetup.h"
#include "SerialControl.h"
#include "common/KoraError.h"

#include <QElapsedTimer>

PortRecovery::PortRecovery(SerialControl& port, bool& portFault, QObject* parent)
    : QObject(parent), m_port(port), m_portFault(portFault)
{
    m_timer.setInterval(RetryIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &PortRecovery::retry);
}

void PortRecovery::setRetryInterval(int milliseconds)
{
    m_interval = milliseconds;
    m_timer.setInterval(milliseconds);
}

void PortRecovery::update()
{
    const bool atFault = !m_stopped && m_portChosen && m_portFault && !m_port.PortOpen();
    if (atFault && !m_timer.isActive()) {
        m_lastTold.clear();
        m_timer.setInterval(m_interval);
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
    QElapsedTimer took;
    took.start();
    LineSetup::reopen(m_port, outcome);
    if (!outcome.failed) {
        m_portFault = false;
        m_timer.stop();
        emit reconnected();
        return;
    }
    m_timer.setInterval(took.elapsed() > m_interval / 2 ? m_interval * SlowOpenBackOff
                                                        : m_interval);
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
