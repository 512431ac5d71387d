#pragma once

#include <QSerialPort>
#include <QString>

// What the serial control asks of the system itself, where QSerialPort does not say: each with its
// Unix and its Windows answer.
namespace SerialPlatform {
// QSerialPort reports a device that another program holds and one the user may not open alike.
bool permissionDenied(const QString& device);
// Which group the user must join to open the device, in words.
QString deviceGroup(const QString& device);
// Clears, and reads, the code of the port's last failing call: errno, or Windows' last error.
void clearSystemError();
int systemError();
// Whether a terminal has really gone: its far end closed, or its device removed.
bool hungUp(QSerialPort& port);
// An unplugged adapter, by the error QSerialPort gave.
bool deviceGone(QSerialPort::SerialPortError error);
// The system's code for the failure to drive DTR (or else RTS) to the value.
int modemLineError(QSerialPort& port, bool dtr, bool value);
// A device without modem-control lines, which refuses to drive them.
bool lacksModemLines(QSerialPort::SerialPortError error, int systemError);
} // namespace SerialPlatform
