// The window's floor for the instructions a sensor line costs: QSerialPort reads the port, and
// one label of a Qt Widgets window shows the last whole line received, redrawn only when it
// changes.

#include "FloorPort.h"

#include <QApplication>
#include <QLabel>
#include <QSerialPort>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const std::unique_ptr<QSerialPort> opened = openFloorPort(argc, argv);
    if (!opened)
        return 1;
    QSerialPort& port = *opened;
    // Text from the start, so that the fonts are loaded in the idle run too.
    QLabel label(QStringLiteral("no line yet"));
    label.resize(200, 40);
    label.show();
    QByteArray buffer;
    QObject::connect(&port, &QSerialPort::readyRead, [&] {
        buffer += port.readAll();
        const qsizetype end = buffer.lastIndexOf("\r\n");
        if (end < 0)
            return;
        const qsizetype before = buffer.lastIndexOf("\r\n", end - 1);
        const qsizetype start = before < 0 ? 0 : before + 2;
        label.setText(QString::fromLatin1(buffer.mid(start, end - start)));
        buffer.remove(0, end + 2);
    });
    return app.exec();
}
