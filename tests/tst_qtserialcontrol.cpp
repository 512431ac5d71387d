#include "Pty.h"
#include "common/KoraError.h"
#include "serial/LineSetup.h"
#include "serial/PortDevice.h"
#include "serial/QtSerialControl.h"

#include <QSignalSpy>
#include <QtTest>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
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

// A device name of this process's own: a twin run side by side (another locale) takes the lock
// on its name, and would make this one's missing device "busy".
QString missingDevice()
{
    return QStringLiteral("/dev/kora-no-such-device-%1").arg(::getpid());
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
    QTemporaryDir m_dir;
private slots:
    void opensMappedDeviceAt9600_8N1();
    void receivedCharactersRaiseReceiveNotification();
    void portNumberRange_data();
    void portNumberRange();
    void failingPutsThrowAndChangeNothing();
    void openFailureNamesDeviceAndReason();
    void refusedDeviceIsToldWhy_data();
    void refusedDeviceIsToldWhy();
    void deviceHints_data();
    void deviceHints();
    void lostDeviceIsReportedOnceAndStaysIdle_data();
    void lostDeviceIsReportedOnceAndStaysIdle();
    void readThatFindsNothingIsNoLoss();
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
    int notifications = 0;
    port.setOnComm([&notifications] { ++notifications; });

    QVERIFY(pty.write("1=23.5deg2=45\r\n"));
    QTRY_VERIFY(notifications >= 1);
    QCOMPARE(port.CommEvent(), short(2));
    QCOMPARE(port.Input(), QString("1=23.5deg2=45\r\n"));
    QCOMPARE(port.Input(), QString());

    // Every byte is one character, whatever its value.
    QVERIFY(pty.write(QByteArray("\xb0\xff\x00x", 4)));
    QTRY_VERIFY(notifications >= 2);
    QString text;
    QTRY_VERIFY((text += port.Input()).size() == 4);
    QCOMPARE(text.at(0).unicode(), char16_t(0xb0));
    QCOMPARE(text.at(1).unicode(), char16_t(0xff));
    QCOMPARE(text.at(2).unicode(), char16_t(0));

    // A burst (lines held back by an adapter) is read whole at its notification, as the station
    // reads: nothing more may come to fetch the rest.
    text.clear();
    port.setOnComm([&] { text += port.Input(); });
    QVERIFY(pty.write(QByteArray(600, 'x')));
    QTRY_COMPARE(text.size(), 600);
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
    QtSerialControl port(mapOne(missingDevice()));
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
    QtSerialControl port(mapOne(missingDevice()));
    try {
        port.setPortOpen(true);
        QFAIL("opened a missing device");
    } catch (const KoraError& error) {
        // Missing, and so retried without a word, until the adapter is plugged in.
        QCOMPARE(error.number(), ErrorNumber::PortMissing);
        QVERIFY2(error.description().contains(missingDevice()), qPrintable(error.description()));
        QVERIFY2(error.description().contains("does not exist"), qPrintable(error.description()));
        QVERIFY(error.description().contains("Com1"));
    }
    QVERIFY(!port.PortOpen());
}

void TestQtSerialControl::refusedDeviceIsToldWhy_data()
{
    QTest::addColumn<bool>("unprivileged");
    QTest::addColumn<int>("group"); // given to the device; -1 leaves it
    QTest::addColumn<QString>("reason");
    QTest::newRow("busy") << false << -1 << "the device is busy: another program has it open";
    // The terminal belongs to root and its group (tty, or root in a container), which user
    // nobody is not in.
    QTest::newRow("no permission")
        << true << -1
        << "permission denied: the device belongs to the group %1 (add the user to it "
           "and log in again)";
    QTest::newRow("no permission, a group without a name")
        << true << 54321
        << "permission denied: the device belongs to the group with the number 54321, which "
           "has no name here (add the user to it and log in again)";
}

void TestQtSerialControl::refusedDeviceIsToldWhy()
{
    QFETCH(bool, unprivileged);
    QFETCH(int, group);
    QFETCH(QString, reason);
    Pty pty;
    QtSerialControl first(mapOne(pty.deviceName()));
    QtSerialControl second(mapOne(pty.deviceName()));
    if (group >= 0 && (getgrgid(gid_t(group)) || ::chown(pty.deviceName().toLocal8Bit().constData(),
                                                         uid_t(-1), gid_t(group))))
        QSKIP("needs root, and a group number that has no name");
    struct stat device {};
    QCOMPARE(::stat(pty.deviceName().toLocal8Bit().constData(), &device), 0);
    const ::group* owners = getgrgid(device.st_gid);
    reason.replace("%1", QString::fromLocal8Bit(owners ? owners->gr_name : "?"));
    if (unprivileged) {
        const passwd* nobody = getpwnam("nobody");
        if (::geteuid() != 0 || !nobody)
            QSKIP("needs root, to open the device as user nobody");
        // Kept as the saved user, root can be taken back afterwards.
        QCOMPARE(setresuid(nobody->pw_uid, nobody->pw_uid, 0), 0);
    } else {
        first.setPortOpen(true);
    }
    auto back = qScopeGuard([unprivileged] {
        if (unprivileged && setresuid(0, 0, 0) != 0)
            qFatal("could not become root again");
    });
    try {
        second.setPortOpen(true);
        QFAIL("the device was opened");
    } catch (const KoraError& error) {
        QCOMPARE(error.number(), 8011);
        QCOMPARE(error.description(),
                 QString("Cannot open Com1 (%1): %2").arg(pty.deviceName(), reason));
    }
    QVERIFY(!second.PortOpen());
}

void TestQtSerialControl::deviceHints_data()
{
    QTest::addColumn<QStringList>("present"); // device=description
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("described");
    QTest::addColumn<QString>("hint");
    QTest::addColumn<QString>("settingsFile");

    const QString file = "/home/u/.config/KORA/KORA.conf";
    const QString map = " A Com number is mapped to a device in the [Ports] section of "
                        "/home/u/.config/KORA/KORA.conf, for example Com1=";
    QTest::newRow("nothing present")
        << QStringList() << "/dev/ttyS0"
        << "/dev/ttyS0"
        << "No serial device was found on this computer." + map + "/dev/ttyUSB0." << file;
    QTest::newRow("adapter with a description")
        << QStringList{"/dev/ttyUSB0=FT232R USB UART", "/dev/ttyS0="} << "/dev/ttyUSB0"
        << "/dev/ttyUSB0 (FT232R USB UART)"
        << "Serial devices on this computer: /dev/ttyUSB0 (FT232R USB UART), /dev/ttyS0." + map +
               "/dev/ttyUSB0."
        << file;
    QTest::newRow("mapped device not present")
        << QStringList{"/dev/ttyACM0=Arduino"} << "/dev/serial/by-id/usb-gone"
        << "/dev/serial/by-id/usb-gone"
        << "Serial devices on this computer: /dev/ttyACM0 (Arduino)." + map + "/dev/ttyACM0."
        << file;
    // The stable name links to the device the system lists with its description.
    const QString device = m_dir.filePath("ttyUSB0");
    const QString byId = m_dir.filePath("usb-FTDI_FT232R_USB_UART_A600-if00-port0");
    QFile touched(device);
    touched.open(QIODevice::WriteOnly);
    QFile::link(device, byId);
    QTest::newRow("adapter under its stable name")
        << QStringList{device + "=FT232R USB UART"} << byId << byId + " (FT232R USB UART)"
        << "Serial devices on this computer: " + device + " (FT232R USB UART)." + map + device + "."
        << file;
    // Windows lists its ports by their device path, and keeps the settings in the registry.
    QTest::newRow("Windows")
        << QStringList{"\\\\.\\COM3=USB Serial Port"} << "COM3"
        << "COM3 (USB Serial Port)"
        << "Serial devices on this computer: COM3 (USB Serial Port). A Com number is mapped to a "
           "device in the registry key HKEY_CURRENT_USER\\Software\\KORA\\KORA\\Ports, for "
           "example a string value Com1 with the data COM3."
        << "\\HKEY_CURRENT_USER\\Software\\KORA\\KORA";
}

void TestQtSerialControl::deviceHints()
{
    QFETCH(QStringList, present);
    QFETCH(QString, device);
    QFETCH(QString, described);
    QFETCH(QString, hint);
    QFETCH(QString, settingsFile);
    QList<PortDevice::Present> devices;
    for (const QString& entry : present)
        devices.append({entry.section('=', 0, 0), entry.section('=', 1)});
    QCOMPARE(PortDevice::describe(device, devices), described);
    QCOMPARE(PortDevice::openFailureHint(devices, settingsFile, settingsFile.startsWith("\\HKEY")),
             hint);
}

void TestQtSerialControl::lostDeviceIsReportedOnceAndStaysIdle_data()
{
    QTest::addColumn<QString>("when");
    QTest::newRow("while receiving") << "receiving";
    // The adapter goes while the port dialog reopens it: the put that meets the loss reports
    // it, and no second report follows.
    QTest::newRow("inside a put that fails") << "failing put";
    QTest::newRow("inside a put that otherwise succeeds") << "succeeding put";
    // Windows reports an unplugged adapter's end of reading as a permission or unknown error.
    QTest::newRow("reading ends with a permission error") << "permission";
    // Windows restarts its read before it announces the bytes of the last one: the loss comes
    // first, and the announcement then meets a closed port.
    QTest::newRow("bytes announced after the loss") << "announced";
}

void TestQtSerialControl::lostDeviceIsReportedOnceAndStaysIdle()
{
    QFETCH(QString, when);
    auto pty = std::make_unique<Pty>();
    QtSerialControl port(mapOne(pty->deviceName()));
    LineSetup::startup(port, "");
    QSignalSpy lost(&port, &SerialControl::deviceLost);
    int notifications = 0;
    port.setOnComm([&notifications] { ++notifications; });
    auto* device = port.findChild<QSerialPort*>();
    QVERIFY(device);

    if (when == "receiving" || when == "failing put")
        pty->hangUp();
    else if (when == "succeeding put") // the device reports its loss while a setting is applied
        connect(device, &QSerialPort::baudRateChanged, device,
                [device] { emit device->errorOccurred(QSerialPort::ResourceError); });
    else if (when == "permission")
        emit device->errorOccurred(QSerialPort::PermissionError);
    else {
        emit device->errorOccurred(QSerialPort::ResourceError);
        emit device->readyRead();
        QCOMPARE(notifications, 0);
    }

    if (when.endsWith("put")) {
        try {
            port.setSettings("19200,n,8,1");
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
    const int notified = notifications;
    const int reported = lost.count();
    QTest::qWait(500);
    QCOMPARE(lost.count(), reported);
    QCOMPARE(notifications, notified);
    QVERIFY2(cpuSeconds() - before < 0.25, "the event loop kept working after the device was lost");
}

// Lines that arrive as the port opens are discarded by its line settings, and the read they
// announced finds nothing, which the port reports as a read error.
void TestQtSerialControl::readThatFindsNothingIsNoLoss()
{
    Pty pty;
    QtSerialControl port(mapOne(pty.deviceName()));
    LineSetup::startup(port, "");
    QSignalSpy lost(&port, &SerialControl::deviceLost);
    emit port.findChild<QSerialPort*>()->errorOccurred(QSerialPort::ReadError);
    QVERIFY(port.PortOpen());
    QVERIFY(pty.write("1=23.5deg2=45\r\n"));
    QString received;
    QTRY_COMPARE(received += port.Input(), QString("1=23.5deg2=45\r\n"));
    QCOMPARE(lost.count(), 0);
}

QTEST_GUILESS_MAIN(TestQtSerialControl)
#include "tst_qtserialcontrol.moc"
