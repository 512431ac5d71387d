#pragma once

#include <QObject>
#include <QString>

#include <functional>

// The program's one serial port. Every put that fails throws KoraError and changes nothing.
class SerialControl : public QObject {
    Q_OBJECT
public:
    static constexpr int FirstPort = 1;
    static constexpr int LastPort = 16;
    static constexpr short EventReceive = 2;

    using QObject::QObject;

    virtual int CommPort() const = 0;
    virtual void setCommPort(int port) = 0;
    virtual bool PortOpen() const = 0;
    virtual void setPortOpen(bool open) = 0;
    virtual void setSettings(const QString& settings) = 0;
    virtual void setHandshaking(int handshaking) = 0;
    virtual void setDTREnable(bool enable) = 0;
    virtual void setRTSEnable(bool enable) = 0;
    virtual void setRThreshold(short threshold) = 0;
    virtual void setSThreshold(short threshold) = 0;
    // All characters received since the previous read.
    virtual QString Input() = 0;
    virtual short CommEvent() const = 0;
    // The device the port in force stands for, to name it to the user.
    virtual QString deviceName() const = 0;

    // Called on the user-interface thread, one at a time; CommEvent() says why. A plain call,
    // not a signal: at up to 56 sensor lines a second, a signal's delivery costs as much as
    // cutting the line. The port has one reader, the station.
    void setOnComm(std::function<void()> reader) { m_onComm = std::move(reader); }

signals:
    // The device went away while open (an unplugged adapter). The port is already closed.
    void deviceLost(const QString& description);

protected:
    void raiseOnComm()
    {
        if (m_onComm)
            m_onComm();
    }

private:
    std::function<void()> m_onComm;
};
