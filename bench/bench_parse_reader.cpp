// A floor for the instructions a sensor line costs: QSerialPort reads the port, and each whole
// line is split at its CR LF and its two numbers converted, as KORA at least must do.

#include "FloorPort.h"

#include <QCoreApplication>
#include <QSerialPort>
#include <charconv>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const std::unique_ptr<QSerialPort> opened = openFloorPort(argc, argv);
    if (!opened)
        return 1;
    QSerialPort& port = *opened;
    QByteArray buffer;
    double sums[2] = {};
    QObject::connect(&port, &QSerialPort::readyRead, [&] {
        buffer += port.readAll();
        for (qsizetype end; (end = buffer.indexOf("\r\n")) >= 0; buffer.remove(0, end + 2)) {
            const qsizetype first = buffer.indexOf("1=");
            const qsizetype second = buffer.indexOf("2=");
            if (first < 0 || second < first || second > end)
                continue;
            double value = 0;
            std::from_chars(buffer.data() + first + 2, buffer.data() + second, value);
            sums[0] += value;
            std::from_chars(buffer.data() + second + 2, buffer.data() + end, value);
            sums[1] += value;
        }
    });
    const int status = app.exec();
    return sums[0] < 0 ? 3 : status;
}
