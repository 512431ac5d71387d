#pragma once

#include "LineSettings.h"
#include "SerialControl.h"

#include <QSerialPort>
#include <functional>

// The serial control on a real device through QSerialPort. Port numbers become devices through
// the given mapping.
class QtSerialControl : public SerialControl {
    Q_OBJECT
public:
    using DeviceMap = std::function<QString(int port)>;

    explicit QtSerialControl(DeviceMap deviceForPort, QObject* parent = nullptr);
    ~QtSerialControl() override;

    int CommPort() const override { return m_commPort; }
    void setCommPort(int port) override;
    bool PortOpen() const override { return m_port.isOpen(); }
    void setPortOpen(bool open) override;
    void setSettings(const QString& settings) override;
    void setHandshaking(int handshaking) override;
    void setDTREnable(bool enable) override;
    void setRTSEnable(bool enable) override;
    void setRThreshold(short threshold) override;
    void setSThreshold(short threshold) override;
    QString Input() override;
    short CommEvent() const override { return m_commEvent; }

    QString deviceName() const override { return m_deviceForPort(m_commPort); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void put(const std::function<void()>& body);
    void open();
    void applyLineSettings(const LineSettings& line, QSerialPort::FlowControl flow);
    void applyModemLine(bool (QSerialPort::*setter)(bool), bool value, const char* name);
    int modemLineError(bool dtr, bool value);
    [[noreturn]] void failPortError(int number, const QString& what);
    void onReadyRead();
    void onError(QSerialPort::SerialPortError error);

    DeviceMap m_deviceForPort;
    QSerialPort m_port;
    int m_commPort = 1;
    LineSettings m_line;
    int m_handshaking = 0;
    bool m_dtrEnable = false;
    bool m_rtsEnable = false;
    short m_rThreshold = 0;
    short m_sThreshold = 0;
    short m_commEvent = 0;
    bool m_inPut = false;
    QString m_lostInPut;
    // Turns of the port's read notifier since data last came, and whether a hang-up found
    // by them is waiting to be reported.
    int m_activationsWithoutData = 0;
    bool m_hangUpQueued = false;
};
