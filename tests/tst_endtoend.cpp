#include "Pty.h"

#include <QProcess>
#include <QRegularExpression>
#include <QtTest>
#include <unistd.h>

namespace {
// Whether the process holds the device open.
bool holds(qint64 pid, const QString& device)
{
    const QDir fds(QString("/proc/%1/fd").arg(pid));
    for (const QFileInfo& fd :
         fds.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
        if (fd.symLinkTarget() == device)
            return true;
    }
    return false;
}
// User and system CPU time of a process, in clock ticks.
qint64 cpuTicks(qint64 pid)
{
    QFile stat(QString("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return fields.value(11).toLongLong() + fields.value(12).toLongLong();
}
} // namespace

// Runs the built program as a user would, with a settings folder of its own.
class TestEndToEnd : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QProcess m_kora;

    void startKora(const QString& com1)
    {
        QDir(m_dir.path()).mkpath("config/KORA");
        QDir(m_dir.path()).mkpath("work");
        QFile conf(m_dir.filePath("config/KORA/KORA.conf"));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write("[Ports]\nCom1=" + com1.toLocal8Bit() + "\n");
        conf.close();

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", m_dir.filePath("config"));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        m_kora.setProcessEnvironment(env);
        m_kora.setWorkingDirectory(m_dir.filePath("work"));
        m_kora.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_kora.start(KORA_BINARY, {});
        QVERIFY(m_kora.waitForStarted());
    }

private slots:
    void cleanup();
    void reportFromThreeHundredSensorLines();
    void staysUpWithoutItsDevice();
    void staysIdleAfterItsDeviceIsLost();
    void simulatorSendsSensorLines();
};

void TestEndToEnd::cleanup()
{
    if (m_kora.state() != QProcess::NotRunning) {
        m_kora.kill();
        m_kora.waitForFinished();
    }
}

void TestEndToEnd::reportFromThreeHundredSensorLines()
{
    Pty pty;
    QVERIFY(pty.isValid());
    startKora(pty.deviceName());
    QTRY_VERIFY_WITH_TIMEOUT(holds(m_kora.processId(), pty.deviceName()), 10000);

    // Lines come one write each, at the pace of a sensor at 9600 baud, until the first report:
    // the 301st line makes the program take the 300th.
    const QString report = m_dir.filePath("work/wxnow.txt");
    int sent = 0;
    while (!QFileInfo::exists(report) && sent < 1200) {
        QVERIFY(pty.write("1=22.5deg2=45\r\n"));
        ++sent;
        QThread::msleep(16);
        QVERIFY(pty.waitUntilRead());
    }
    QVERIFY2(sent >= 301, qPrintable(QString::number(sent)));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(report).size() > 0, 10000);
    QFile file(report);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    // 22.5 degrees is 72.5 F.
    QVERIFY2(QRegularExpression("^\\d\\d \\d\\d \\d{4} \\d\\d:\\d\\d\r\n"
                                "000/000g000t073r000p000P000h45b000000w\r\n$")
                 .match(QString::fromLatin1(bytes))
                 .hasMatch(),
             bytes.constData());
    QCOMPARE(bytes.size(), 58);
    QCOMPARE(m_kora.state(), QProcess::Running);
}

void TestEndToEnd::staysUpWithoutItsDevice()
{
    startKora("/dev/kora-no-such-device");
    QTest::qWait(1500);
    QCOMPARE(m_kora.state(), QProcess::Running);
}

void TestEndToEnd::staysIdleAfterItsDeviceIsLost()
{
    auto pty = std::make_unique<Pty>();
    startKora(pty->deviceName());
    QTRY_VERIFY_WITH_TIMEOUT(holds(m_kora.processId(), pty->deviceName()), 10000);
    const QString device = pty->deviceName();
    pty.reset(); // the adapter is unplugged
    QTRY_VERIFY_WITH_TIMEOUT(!holds(m_kora.processId(), device), 10000);

    const qint64 before = cpuTicks(m_kora.processId());
    QTest::qWait(1000);
    const qint64 used = cpuTicks(m_kora.processId()) - before;
    QCOMPARE(m_kora.state(), QProcess::Running);
    // A port left open would keep the process busy on every turn of its event loop.
    QVERIFY2(used < sysconf(_SC_CLK_TCK) / 5, qPrintable(QString::number(used)));
}

void TestEndToEnd::simulatorSendsSensorLines()
{
    QProcess sim;
    auto stop = qScopeGuard([&] {
        sim.kill();
        sim.waitForFinished();
    });
    sim.start(KORA_SIM_BINARY,
              {"--count", "3", "--interval", "20", "--temp", "-5.5", "--hum", "80"});
    QVERIFY(sim.waitForReadyRead(5000));
    const QString device = QString::fromLocal8Bit(sim.readLine()).trimmed();
    QVERIFY2(device.startsWith("/dev/"), qPrintable(device));

    QFile tty(device);
    QVERIFY(tty.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
    QByteArray received;
    QDeadlineTimer deadline(5000);
    while (received.count('\n') < 3 && !deadline.hasExpired()) {
        const QByteArray chunk = tty.read(256);
        if (chunk.isEmpty())
            break;
        received += chunk;
    }
    QCOMPARE(received, QByteArray("1=-5.5deg2=80\r\n1=-5.5deg2=80\r\n1=-5.5deg2=80\r\n"));
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
