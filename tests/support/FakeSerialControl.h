#pragma once

#include "serial/SerialControl.h"

#include <QSet>
#include <QStringList>

// A serial control that records every put ("PortOpen=true", "CommPort=3", ...) and fails the
// puts it is told to, the way a real one would: with an error and no change.
class FakeSerialControl : public SerialControl {
    Q_OBJECT
public:
    using SerialControl::SerialControl;

    QStringList puts;
    // Put names ("PortOpen", "CommPort", ...) that fail from now on.
    QSet<QString> failing;
    // Port numbers whose open fails (a missing or busy device).
    QSet<int> unopenable;
    // Port numbers whose device exists but cannot be opened (busy, no permission).
    QSet<int> busy;
    // Port numbers opened, one entry for each open that succeeded.
    QList<int> opened;
    // How long each open takes, as a device whose open blocks.
    int openDelayMs = 0;
    // How often Input() was read: once for each notification the program handles.
    int inputReads = 0;

    int CommPort() const override { return m_commPort; }
    void setCommPort(int port) override;
    bool PortOpen() const override { return m_open; }
    void setPortOpen(bool open) override;
    void setSettings(const QString& settings) override;
    void setHandshaking(int handshaking) override;
    void setDTREnable(bool enable) override;
    void setRTSEnable(bool enable) override;
    void setRThreshold(short threshold) override;
    void setSThreshold(short threshold) override;
    QString Input() override;
    short CommEvent() const override { return m_event; }
    QString deviceName() const override { return QString("/dev/fake%1").arg(m_commPort); }

    // Characters arrive: they wait for Input() and a notification with the given code is raised.
    void arrive(const QString& text, short event = EventReceive);
    void notify(short event);
    void openDirectly(int port);

    QString settings;

private:
    void put(const QString& name, const QString& value);

    int m_commPort = 1;
    bool m_open = false;
    short m_event = 0;
    QString m_pending;
};
