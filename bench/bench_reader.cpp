// The floor for figure 2: a program that only opens the port with QSerialPort and reads what
// arrives, with no window and no parsing.

#include "FloorPort.h"

#include <QCoreApplication>
#include <QSerialPort>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const std::unique_ptr<QSerialPort> opened = openFloorPort(argc, argv);
    if (!opened)
        return 1;
    QSerialPort& port = *opened;
    qint64 received = 0;
    QObject::connect(&port, &QSerialPort::readyRead, [&] { received += port.readAll().size(); });
    return app.exec();
}
