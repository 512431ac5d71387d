#pragma once

#include <QSerialPort>
#include <memory>

// The port of a floor program: the device named first on its command line, opened for reading
// at 9600 baud; nothing where there is none or it does not open.
inline std::unique_ptr<QSerialPort> openFloorPort(int argc, char* argv[])
{
    if (argc < 2)
        return nullptr;
    auto port = std::make_unique<QSerialPort>(QString::fromLocal8Bit(argv[1]));
    port->setBaudRate(9600);
    return port->open(QIODevice::ReadOnly) ? std::move(port) : nullptr;
}
