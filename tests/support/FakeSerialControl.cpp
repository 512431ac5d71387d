#include "FakeSerialControl.h"

#include "common/KoraError.h"

#include <QThread>

void FakeSerialControl::put(const QString& name, const QString& value)
{
    puts << name + "=" + value;
    if (failing.contains(name))
        throw KoraError(9000 + static_cast<int>(puts.size()), name + " failed on command");
}

void FakeSerialControl::setCommPort(int port)
{
    put("CommPort", QString::number(port));
    if (port < FirstPort || port > LastPort)
        throw KoraError(8002, "Invalid Port Number");
    if (m_open)
        throw KoraError(8005, "Port already open");
    m_commPort = port;
}

void FakeSerialControl::setPortOpen(bool open)
{
    put("PortOpen", open ? "true" : "false");
    if (open)
        QThread::msleep(openDelayMs);
    if (open && m_open)
        throw KoraError(8005, "Port already open");
    if (open && unopenable.contains(m_commPort))
        throw KoraError(8010, QString("Cannot open Com%1: no such device").arg(m_commPort));
    if (open && busy.contains(m_commPort))
        throw KoraError(8011, QString("Cannot open Com%1: busy").arg(m_commPort));
    if (open)
        opened << m_commPort;
    m_open = open;
}

void FakeSerialControl::setSettings(const QString& value)
{
    put("Settings", value);
    settings = value;
}

void FakeSerialControl::setHandshaking(int handshaking)
{
    put("Handshaking", QString::number(handshaking));
}

void FakeSerialControl::setDTREnable(bool enable)
{
    put("DTREnable", enable ? "true" : "false");
}

void FakeSerialControl::setRTSEnable(bool enable)
{
    put("RTSEnable", enable ? "true" : "false");
}

void FakeSerialControl::setRThreshold(short threshold)
{
    put("RThreshold", QString::number(threshold));
}

void FakeSerialControl::setSThreshold(short threshold)
{
    put("SThreshold", QString::number(threshold));
}

QString FakeSerialControl::Input()
{
    ++inputReads;
    if (failing.contains("Input"))
        throw KoraError(8018, "Operation valid only when the port is open");
    return std::exchange(m_pending, QString());
}

void FakeSerialControl::arrive(const QString& text, short event)
{
    m_pending += text;
    notify(event);
}

void FakeSerialControl::notify(short event)
{
    m_event = event;
    raiseOnComm();
}

void FakeSerialControl::openDirectly(int port)
{
    m_commPort = port;
    m_open = true;
}
