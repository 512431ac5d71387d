#pragma once

#include <QSerialPort>
#include <QString>

// The line as the serial control's Settings text gives it ("9600,n,8,1": baud, parity, data bits,
// stop bits), and the flow control of its Handshaking number.
struct LineSettings {
    qint32 baudRate = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;

    // Throws KoraError InvalidSettings for a text that is none.
    static LineSettings parse(const QString& settings);
    // 0 none, 1 XON/XOFF, 2 RTS/CTS, 3 both (hardware); throws 380 for any other.
    static QSerialPort::FlowControl flowControlFor(int handshaking);
};
