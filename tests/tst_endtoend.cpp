#include "Pty.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
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
// How many pseudo-terminal devices the process holds open.
int terminalsHeld(qint64 pid)
{
    int held = 0;
    const QDir fds(QString("/proc/%1/fd").arg(pid));
    for (const QFileInfo& fd : fds.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot))
        held += fd.symLinkTarget().startsWith("/dev/pts/") ? 1 : 0;
    return held;
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

    // Starts the program with Com1 mapped to the device. Unprivileged, it runs as user nobody
    // when the test runs as root, so that file permissions apply to it.
    void startKora(const QString& com1, bool unprivileged = false)
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
        if (unprivileged && ::geteuid() == 0) {
            const QString setpriv = QStandardPaths::findExecutable("setpriv");
            if (setpriv.isEmpty())
                QSKIP("setpriv (util-linux) is needed to run the program as another user");
            // The build tree may sit where nobody cannot reach it; the program needs only
            // the system's libraries.
            const QString binary = m_dir.filePath("kora");
            QVERIFY(QFile::copy(KORA_BINARY, binary));
            for (const QString& path :
                 {m_dir.path(), m_dir.filePath("config"), m_dir.filePath("config/KORA"), com1})
                QVERIFY(QFile::setPermissions(path, QFile::Permissions(0x7777)));
            m_kora.start(setpriv, {"--reuid=nobody", "--regid=nogroup", "--clear-groups", binary});
        } else {
            m_kora.start(KORA_BINARY, {});
        }
        QVERIFY(m_kora.waitForStarted());
    }

    // Sends sensor lines one write each, at a sensor's pace at 9600 baud, until the report
    // appears (the 301st line makes the program take the 300th); returns the report's bytes.
    QByteArray sendUntilReport(Pty& pty, const QByteArray& line, int minimumLines = 301)
    {
        const QString report = m_dir.filePath("work/wxnow.txt");
        int sent = 0;
        while (QFileInfo(report).size() == 0 && sent < 1200) {
            if (!pty.write(line))
                return "<write failed>";
            ++sent;
            QThread::msleep(16);
            if (!pty.waitUntilRead())
                return "<not read>";
        }
        if (sent < minimumLines)
            return "<report after only " + QByteArray::number(sent) + " lines>";
        QDeadlineTimer deadline(10000);
        while (QFileInfo(report).size() < 58 && !deadline.hasExpired())
            QThread::msleep(10);
        QFile file(report);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<no report>");
    }

    static bool isReport(const QByteArray& bytes, const char* weatherLine)
    {
        return QRegularExpression("^\\d\\d \\d\\d \\d{4} \\d\\d:\\d\\d\r\n" +
                                  QRegularExpression::escape(weatherLine) + "\r\n$")
            .match(QString::fromLatin1(bytes))
            .hasMatch();
    }

private slots:
    void cleanup();
    void reportFromThreeHundredSensorLines();
    void reportByUserWhoMayWriteOnlyTheFile();
    void staysUpWithoutItsDevice();
    void staysIdleAfterItsDeviceIsLost();
    void readingsResumeWhenTheDeviceIsBack_data();
    void readingsResumeWhenTheDeviceIsBack();
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

    const QByteArray bytes = sendUntilReport(pty, "1=22.5deg2=45\r\n");
    // 22.5 degrees is 72.5 F.
    QVERIFY2(isReport(bytes, "000/000g000t073r000p000P000h45b000000w"), bytes.constData());
    QCOMPARE(bytes.size(), 58);
    QCOMPARE(m_kora.state(), QProcess::Running);
}

void TestEndToEnd::reportByUserWhoMayWriteOnlyTheFile()
{
    // The beacon software's folder belongs to someone else; only wxnow.txt was made writable.
    Pty pty;
    QDir(m_dir.filePath("work")).removeRecursively();
    QDir(m_dir.path()).mkpath("work");
    QFile report(m_dir.filePath("work/wxnow.txt"));
    QVERIFY(report.open(QIODevice::WriteOnly));
    report.close();
    QVERIFY(report.setPermissions(QFile::Permissions(0x6666)));
    QVERIFY(QFile::setPermissions(m_dir.filePath("work"), QFile::Permissions(0x5555)));
    auto restore = qScopeGuard(
        [&] { QFile::setPermissions(m_dir.filePath("work"), QFile::Permissions(0x7777)); });

    // A program killed by an earlier test leaves its lock on the device name behind, and
    // another user may not take over a lock that root left.
    QFile::remove("/var/lock/LCK.." + pty.deviceName().mid(5).replace('/', '_'));
    startKora(pty.deviceName(), true);
    QTRY_VERIFY_WITH_TIMEOUT(holds(m_kora.processId(), pty.deviceName()), 10000);
    const QByteArray bytes = sendUntilReport(pty, "1=22.5deg2=45\r\n");
    QVERIFY2(isReport(bytes, "000/000g000t073r000p000P000h45b000000w"), bytes.constData());
    QCOMPARE(QDir(m_dir.filePath("work")).entryList(QDir::Files | QDir::Hidden),
             QStringList{"wxnow.txt"});
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

void TestEndToEnd::readingsResumeWhenTheDeviceIsBack_data()
{
    QTest::addColumn<bool>("missingAtStart");
    QTest::addColumn<QByteArray>("line");
    // What the device sent last before it went.
    QTest::addColumn<QByteArray>("lastSent");
    QTest::addColumn<QByteArray>("weatherLine");
    QTest::newRow("unplugged while running")
        << false << QByteArray("1=22.5deg2=45\r\n") << QByteArray()
        << QByteArray("000/000g000t073r000p000P000h45b000000w");
    QTest::newRow("plugged in after start-up")
        << true << QByteArray("1=22.5deg2=45\r\n") << QByteArray()
        << QByteArray("000/000g000t073r000p000P000h45b000000w");
    // Glued to the first line after the replug, the half line would make a reading of 99.0
    // degrees and 1 %, and the report t051.
    QTest::newRow("unplugged inside a line")
        << false << QByteArray("1=10.0abc2=10\r\n") << QByteArray("1=99.0abc2=")
        << QByteArray("000/000g000t050r000p000P000h10b000000w");
}

// The port is mapped to a stable name, as /dev/serial/by-id gives one, that the test points at
// the current pseudo-terminal: unplugging removes the name, plugging in makes it anew.
void TestEndToEnd::readingsResumeWhenTheDeviceIsBack()
{
    QFETCH(bool, missingAtStart);
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, lastSent);
    QFETCH(QByteArray, weatherLine);
    QDir(m_dir.filePath("work")).removeRecursively();
    const QString link = m_dir.filePath("usb-KORA_sensor-if00");
    QFile::remove(link);
    auto pty = std::make_unique<Pty>();
    if (!missingAtStart)
        QVERIFY(QFile::link(pty->deviceName(), link));
    startKora(link);
    const qint64 pid = m_kora.processId();
    int sentBefore = 0;
    if (!missingAtStart) {
        QTRY_VERIFY_WITH_TIMEOUT(holds(pid, pty->deviceName()), 10000);
        for (; sentBefore < 100; ++sentBefore) {
            QVERIFY(pty->write(line));
            QThread::msleep(16);
            QVERIFY(pty->waitUntilRead());
        }
        if (!lastSent.isEmpty()) {
            QVERIFY(pty->write(lastSent));
            QVERIFY(pty->waitUntilRead());
        }
        const QString device = pty->deviceName();
        pty.reset();
        QFile::remove(link);
        QTRY_VERIFY_WITH_TIMEOUT(!holds(pid, device), 10000);
    }
    // Away for longer than one retry: the program stays up and idle.
    const qint64 before = cpuTicks(pid);
    QTest::qWait(2500);
    QCOMPARE(m_kora.state(), QProcess::Running);
    const qint64 used = cpuTicks(pid) - before;
    QVERIFY2(used < sysconf(_SC_CLK_TCK) / 5, qPrintable(QString::number(used)));

    pty = std::make_unique<Pty>();
    QVERIFY(QFile::link(pty->deviceName(), link));
    QElapsedTimer back;
    back.start();
    QTRY_VERIFY_WITH_TIMEOUT(holds(pid, pty->deviceName()), 10000);
    QVERIFY(pty->write(line));
    QVERIFY(pty->waitUntilRead());
    qInfo("plugged in to first line taken: %lld ms", back.elapsed());
    QCOMPARE(terminalsHeld(pid), 1);

    const QByteArray bytes = sendUntilReport(*pty, line, 300 - sentBefore);
    QVERIFY2(isReport(bytes, weatherLine.constData()), bytes.constData());
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
