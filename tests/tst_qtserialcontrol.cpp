#include "Pty.h"
#include "common/KoraError.h"
#include "serial/LineSetup.h"
#include "serial/PortDevice.h"
#include "serial/QtSerialControl.h"

#include <QSignalSpy>
#include <QtTest>
#include <fcntl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

namespace {
double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

QtSerialControl::DeviceMap mapOne(const QString& device)
{
    return [device](int port) {
        return port == 1 ? device : QString("/nonexistent/ttyKORA%1").arg(port);
    };
}
} // namespace

class TestQtSerialControl : public QObject {
    Q_OBJECT
private slots:
    void opensMappedDeviceAt9600_8N1();
    void receivedCharactersRaiseReceiveNotification();
    void portNumberRange_data();
    void portNumberRange();
    void failingPutsThrowAndChangeNothing();
    void openFailureNamesDeviceAndReason();
    void busyDeviceIsRefused();
    void deviceHints_data();
    void deviceHints();
    void lostDeviceIsReportedOnceAndStaysIdle_data();
    void lostDeviceIsReportedOnceAndStaysIdle();
};

void TestQtSerialControl::opensMappedDeviceAt9600_8N1()
{
    Pty pty;
    QVERIFY(pty.isValid());
    QtSerialControl port(mapOne(pty.deviceName()));
    LineSetup::startup(port, "");
    QVERIFY(port.PortOpen());
    QCOMPARE(port.deviceName(), pty.deviceName());

    const int fd =
        ::open(pty.deviceName().toLocal8Bit().constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    QVERIFY(fd >= 0);
    termios tio{};
    QCOMPARE(tcgetattr(fd, &tio), 0);
    ::close(fd);
    QCOMPARE(cfgetispeed(&tio), speed_t(B9600));
    QCOMPARE(tio.c_cflag & CSIZE, tcflag_t(CS8));
    QCOMPARE(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), tcflag_t(0));
    QCOMPARE(tio.c_iflag & (IXON | IXOFF), tcflag_t(0));

    port.setPortOpen(false);
    QVERIFY(!port.PortOpen());
}

void TestQtSerialControl::receivedCharactersRaiseReceiveNotification()
{
    Pty pty;
    QtSerialControl port(mapOne(pty.deviceName()));
    LineSetup::startup(port, "1");
    QSignalSpy notifications(&port, &SerialControl::OnComm);

    QVERIFY(pty.write("1=23.5deg2=45\r\n"));
    QTRY_VERIFY(notifications.count() >= 1);
    QCOMPARE(port.CommEvent(), short(2));
    QCOMPARE(port.Input(), QString("1=23.5deg2=45\r\n"));
    QCOMPARE(port.Input(), QString());

    // Every byte is one character, whatever its value.
    QVERIFY(pty.write(QByteArray("\xb0\xff\x00x", 4)));
    QTRY_VERIFY(notifications.count() >= 2);
    QString text;
    QTRY_VERIFY((text += port.Input()).size() == 4);
    QCOMPARE(text.at(0).unicode(), char16_t(0xb0));
    QCOMPARE(text.at(1).unicode(), char16_t(0xff));
    QCOMPARE(text.at(2).unicode(), char16_t(0));
}

void TestQtSerialControl::portNumberRange_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("0, nothing selected") << 0 << false;
    QTest::newRow("first") << 1 << true;
    QTest::newRow("last the dialog offers") << 16 << true;
    QTest::newRow("one past the last") << 17 << false;
    QTest::newRow("negative") << -1 << false;
}

void TestQtSerialControl::portNumberRange()
{
    QFETCH(int, number);
    QFETCH(bool, accepted);
    QtSerialControl port(mapOne("/dev/kora-no-such-device"));
    port.setCommPort(2);
    try {
        port.setCommPort(number);
        QVERIFY2(accepted, "port number accepted");
        QCOMPARE(port.CommPort(), number);
    } catch (const KoraError& error) {
        QVERIFY2(!accepted, qPrintable(error.description()));
        QCOMPARE(error.number(), 8002);
        QCOMPARE(port.CommPort(), 2);
    }
}

void TestQtSerialControl::failingPutsThrowAndChangeNothing()
{
    Pty pty;
    QtSerialControl port(mapOne(pty.deviceName()));
    QVERIFY_THROWS_EXCEPTION(KoraError, port.Input());
    QVERIFY_THROWS_EXCEPTION(KoraError, port.setSettings("9600,x,8,1"));
    QVERIFY_THROWS_EXCEPTION(KoraError, port.setHandshaking(4));

    port.setPortOpen(true);
    QVERIFY_THROWS_EXCEPTION(KoraError, port.setCommPort(2));
    QVERIFY_THROWS_EXCEPTION(KoraError, port.setPortOpen(true));
    QCOMPARE(port.CommPort(), 1);
    QVERIFY(port.PortOpen());
    // A pseudo-terminal has no modem-control lines: driving them changes nothing and is no error.
    port.setDTREnable(true);
    port.setRTSEnable(true);
    port.setDTREnable(false);
    QVERIFY(port.PortOpen());
}

void TestQtSerialControl::openFailureNamesDeviceAndReason()
{
    QtSerialControl port(mapOne("/dev/kora-no-such-device"));
    try {
        port.setPortOpen(true);
        QFAIL("opened a missing device");
    } catch (const KoraError& error) {
        QVERIFY2(error.description().contains("/dev/kora-no-such-device"),
                 qPrintable(error.description()));
        QVERIFY2(error.description().contains("does not exist"), qPrintable(error.description()));
        QVERIFY(error.description().contains("Com1"));
    }
    QVERIFY(!port.PortOpen());
}

void TestQtSerialControl::busyDeviceIsRefused()
{
    Pty pty;
    QtSerialControl first(mapOne(pty.deviceName()));
    QtSerialControl second(mapOne(pty.deviceName()));
    first.setPortOpen(true);
    try {
        second.setPortOpen(true);
        QFAIL("a device in use was opened twice");
    } catch (const KoraError& error) {
        QCOMPARE(error.number(), 8011);
        QVERIFY2(error.description().contains(pty.deviceName()), qPrintable(error.description()));
        QVERIFY2(error.description().contains("busy"), qPrintable(error.description()));
    }
    QVERIFY(!second.PortOpen());
    QVERIFY(first.PortOpen());
}

void TestQtSerialControl::deviceHints_data()
{
    QTest::addColumn<QStringList>("present"); // device=description
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("described");
    QTest::addColumn<QString>("hint");

    const QString map = " A Com number is mapped to a device in the [Ports] section of "
                        "/home/u/.config/KORA/KORA.conf, for example Com1=";
    QTest::newRow("nothing present")
        << QStringList() << "/dev/ttyS0"
        << "/dev/ttyS0"
        << "No serial device was found on this computer." + map + "/dev/ttyUSB0.";
    QTest::newRow("adapter with a description")
        << QStringList{"/dev/ttyUSB0=FT232R USB UART", "/dev/ttyS0="} << "/dev/ttyUSB0"
        << "/dev/ttyUSB0 (FT232R USB UART)"
        << "Serial devices on this computer: /dev/ttyUSB0 (FT232R USB UART), /dev/ttyS0." + map +
               "/dev/ttyUSB0.";
    QTest::newRow("mapped device not present")
        << QStringList{"/dev/ttyACM0=Arduino"} << "/dev/serial/by-id/usb-gone"
        << "/dev/serial/by-id/usb-gone"
        << "Serial devices on this computer: /dev/ttyACM0 (Arduino)." + map + "/dev/ttyACM0.";
}

void TestQtSerialControl::deviceHints()
{
    QFETCH(QStringList, present);
    QFETCH(QString, device);
    QFETCH(QString, described);
    QFETCH(QString, hint);
    QList<PortDevice::Present> devices;
    for (const QString& entry : present)
        devices.append({entry.section('=', 0, 0), entry.section('=', 1)});
    QCOMPARE(PortDevice::describe(device, devices), described);
    QCOMPARE(PortDevice::openFailureHint(devices, "/home/u/.config/KORA/KORA.conf"), hint);
}

void TestQtSerialControl::lostDeviceIsReportedOnceAndStaysIdle_data()
{
    QTest::addColumn<bool>("duringPut");
    QTest::newRow("while receiving") << false;
    // The adapter goes while the port dialog reopens it: the put that meets the loss reports
    // it, and no second report follows.
    QTest::newRow("inside a put") << true;
}

void TestQtSerialControl::lostDeviceIsReportedOnceAndStaysIdle()
{
    QFETCH(bool, duringPut);
    auto pty = std::make_unique<Pty>();
    QtSerialControl port(mapOne(pty->deviceName()));
    LineSetup::startup(port, "");
    QSignalSpy lost(&port, &SerialControl::deviceLost);
    QSignalSpy notifications(&port, &SerialControl::OnComm);

    pty->hangUp();
    if (duringPut) {
        try {
            port.setSettings(LineSetup::Settings);
            QFAIL("a put on a lost device succeeded");
        } catch (const KoraError& error) {
            QCOMPARE(error.number(), 8012);
            QVERIFY2(error.description().contains(pty->deviceName()) &&
                         error.description().contains("was lost"),
                     qPrintable(error.description()));
        }
        QVERIFY(!port.PortOpen());
        QTest::qWait(200);
        QCOMPARE(lost.count(), 0);
    } else {
        QTRY_COMPARE(lost.count(), 1);
        QVERIFY(!port.PortOpen());
        QVERIFY(lost.at(0).at(0).toString().contains(pty->deviceName()));
    }

    // Nothing keeps firing once the port is closed.
    const double before = cpuSeconds();
    const int notified = notifications.count();
    const int reported = lost.count();
    QTest::qWait(500);
    QCOMPARE(lost.count(), reported);
    QCOMPARE(notifications.count(), notified);
    QVERIFY2(cpuSeconds() - before < 0.25, "the event loop kept working after the device was lost");
}

QTEST_GUILESS_MAIN(TestQtSerialControl)
#include "tst_qtserialcontrol.moc"
