#include "LineSettings.h"

#include "common/KoraError.h"

#include <QStringList>

LineSettings LineSettings::parse(const QString& settings)
{
    const QStringList parts = settings.split(',');
    const auto invalid = [] {
        return KoraError(ErrorNumber::InvalidSettings, QStringLiteral("Invalid Settings"));
    };
    if (parts.size() != 4)
        throw invalid();

    LineSettings line;
    bool ok = false;
    line.baudRate = parts[0].trimmed().toInt(&ok);
    if (!ok || line.baudRate <= 0)
        throw invalid();

    const QString parity = parts[1].trimmed().toLower();
    if (parity == "n")
        line.parity = QSerialPort::NoParity;
    else if (parity == "e")
        line.parity = QSerialPort::EvenParity;
    else if (parity == "o")
        line.parity = QSerialPort::OddParity;
    else if (parity == "m")
        line.parity = QSerialPort::MarkParity;
    else if (parity == "s")
        line.parity = QSerialPort::SpaceParity;
    else
        throw invalid();

    const int dataBits = parts[2].trimmed().toInt(&ok);
    if (!ok || dataBits < 5 || dataBits > 8)
        throw invalid();
    line.dataBits = static_cast<QSerialPort::DataBits>(dataBits);

    const QString stop = parts[3].trimmed();
    if (stop == "1")
        line.stopBits = QSerialPort::OneStop;
    else if (stop == "1.5")
        line.stopBits = QSerialPort::OneAndHalfStop;
    else if (stop == "2")
        line.stopBits = QSerialPort::TwoStop;
    else
        throw invalid();
    return line;
}

QSerialPort::FlowControl LineSettings::flowControlFor(int handshaking)
{
    switch (handshaking) {
    case 0:
        return QSerialPort::NoFlowControl;
    case 1:
        return QSerialPort::SoftwareControl;
    case 2:
    case 3:
        return QSerialPort::HardwareControl;
    default:
        throw KoraError(380, QStringLiteral("Invalid property value"));
    }
}
