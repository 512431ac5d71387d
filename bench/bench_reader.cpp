// The floor for figure 2: a program that only opens the port with QSerialPort and reads what
// arrives, with no window and no parsing.

#include <QCoreApplication>
#include <QSerialPort>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    QSerialPort port(QString::fromLocal8Bit(argv[1]));
    port.setBaudRate(9600);
    if (!port.open(QIODevice::ReadOnly))
        return 1;
    qint64 received = 0;
    QObject::connect(&port, &QSerialPort::readyRead, [&] { received += port.readAll().size(); });
    return app.exec();
}
