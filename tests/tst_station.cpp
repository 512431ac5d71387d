#include "ExpectedPuts.h"
#include "StationRig.h"
#include "FakeSerialControl.h"
#include "FakeView.h"
#include "FixedClock.h"
#include "RecordingMessages.h"
#include "TestSettings.h"
#include "common/UnhandledError.h"
#include "measurement/ProgramState.h"
#include "settings/SettingsKeys.h"
#include "station/Station.h"

#include <QtTest>

using Label = MainView::Label;

namespace {
const QDateTime Start(QDate(2026, 12, 6), QTime(14, 5, 9));
const QString At = "06 12 2026 14:05:09 ";

struct Rig : StationRig {
    QList<KoraError> unhandled;

    Rig()
    {
        clock.monotonic = Start.toMSecsSinceEpoch();
        UnhandledError::install([this](const KoraError& error) { unhandled << error; });
        station.portRecovery().setRetryInterval(10);
    }
    ~Rig() { UnhandledError::install({}); }
    QString stored(const QString& key) const
    {
        return settings.store->GetSetting(SettingsKeys::Section, key, "<none>");
    }
    // The wall clock, moved this far by a time service after the start.
    int wallStepMinutes = 0;
    void minutesLater(int minutes)
    {
        clock.readings = {Start.addSecs(60 * (minutes + wallStepMinutes))};
        clock.calls = 0;
        clock.monotonic = Start.toMSecsSinceEpoch() + 60000 * minutes;
    }
    void loseDevice()
    {
        port.setPortOpen(false);
        emit port.deviceLost("Com1 (/dev/ttyUSB0) was lost: gone");
    }
};
} // namespace

// The station's flow without a window: the port it opens, keeps and closes, what it tells of it,
// and the readings that become a report.
class TestStation : public QObject {
    Q_OBJECT

    QTemporaryDir m_workDir;

private slots:
    void initTestCase() { QVERIFY(QDir::setCurrent(m_workDir.path())); }
    void startup_data();
    void startup();
    void portComesBackByItself_data();
    void portComesBackByItself();
    void blockingOpenIsTriedSeldom();
    void failingNotificationIsUnhandledOnce();
    void readingsBecomeReportInItsFolder();
    void silenceIsToldOnceAndEndsWithAReading_data();
    void silenceIsToldOnceAndEndsWithAReading();
    void silenceIsToldByTheRunningProgram();
    void endClosesThePortAndStopsRetrying();
};

void TestStation::startup_data()
{
    QTest::addColumn<QString>("commPort");
    QTest::addColumn<QString>("failure"); // of Com1: missing, busy, or a put that fails
    QTest::addColumn<bool>("opened");
    QTest::addColumn<bool>("retrying");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("notice");

    QTest::newRow("first run") << ""
                               << "" << true << false << ""
                               << "";
    QTest::newRow("stored port") << "5"
                                 << "" << true << false << ""
                                 << "";
    // Retried, and its box goes by itself once the port works; the status line keeps saying it.
    QTest::newRow("port missing")
        << ""
        << "missing" << false << true
        << "port error 8010: Cannot open Com1: no such device + where to map a device"
        << At + "Com1 missing | " + At + "Cannot open Com1: no such device; retrying every 2 s";
    QTest::newRow("port busy") << ""
                               << "busy" << false << true
                               << "port error 8011: Cannot open Com1: busy + where to map a device"
                               << At + "Com1 failing | " + At +
                                      "Cannot open Com1: busy; retrying every 2 s";
    // The port opened, but cannot be set up: it is closed, so that each try starts afresh.
    QTest::newRow("line setting fails")
        << ""
        << "Settings" << false << true << "port error 9002: Settings failed on command"
        << At + "Com1 failing | " + At + "Settings failed on command; retrying every 2 s";
    // Nobody chose the port in force: it is not retried, and the box stays.
    QTest::newRow("port not a number")
        << "abc"
        << "" << false << false << "error 8002: The stored port number \"abc\" is not a number"
        << At + "Com1 failing | " + At + "The stored port number \"abc\" is not a number";
    QTest::newRow("port out of range") << "17"
                                       << "" << false << false << "error 8002: Invalid Port Number"
                                       << At + "Com1 failing | " + At + "Invalid Port Number";
    QTest::newRow("port beyond a short")
        << "40000"
        << "" << false << false << "error 6: Overflow" << At + "Com1 failing | " + At + "Overflow";
}

void TestStation::startup()
{
    QFETCH(QString, commPort);
    QFETCH(QString, failure);
    QFETCH(bool, opened);
    QFETCH(bool, retrying);
    QFETCH(QString, message);
    QFETCH(QString, notice);

    Rig rig;
    rig.settings->SaveSetting(SettingsKeys::Section, SettingsKeys::CommPort, commPort);
    if (failure == "missing")
        rig.port.unopenable << 1;
    else if (failure == "busy")
        rig.port.busy << 1;
    else if (!failure.isEmpty())
        rig.port.failing << failure;
    rig.station.openStoredPort();

    if (opened) {
        const QStringList number = commPort.isEmpty() ? QStringList() : QStringList{"CommPort=5"};
        QCOMPARE(rig.port.puts, number + ExpectedPuts::Startup);
    }
    QCOMPARE(rig.port.PortOpen(), opened);
    QCOMPARE(rig.state.portFault, !opened);
    QCOMPARE(rig.station.portRecovery().isRetrying(), retrying);
    QCOMPARE(rig.messages.shown, message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(rig.view.notices, notice.isEmpty() ? QStringList() : QStringList{notice});
    QVERIFY(rig.unhandled.isEmpty());
}

void TestStation::portComesBackByItself_data()
{
    QTest::addColumn<bool>("atStartup");
    QTest::addColumn<QString>("failure"); // of each try: missing, busy, or a put that fails
    QTest::addColumn<QString>("whileAway");

    // An adapter that drops off the bus is told on the status line only: nobody need click.
    QTest::newRow("lost while running")
        << false << "missing"
        << At + "Com1 lost | " + At + "Com1 (/dev/ttyUSB0) was lost: gone; retrying every 2 s";
    QTest::newRow("missing at start-up")
        << true << "missing"
        << At + "Com1 missing | " + At + "Cannot open Com1: no such device; retrying every 2 s";
    QTest::newRow("busy, told once")
        << false << "busy"
        << At + "Com1 failing | " + At + "Cannot open Com1: busy; retrying every 2 s";
    QTest::newRow("line setting fails on reopen")
        << false << "Settings"
        << At + "Com1 failing | " + At + "Settings failed on command; retrying every 2 s";
}

void TestStation::portComesBackByItself()
{
    QFETCH(bool, atStartup);
    QFETCH(QString, failure);
    QFETCH(QString, whileAway);

    Rig rig;
    const auto fail = [&] {
        if (failure == "missing")
            rig.port.unopenable << 1;
        else if (failure == "busy")
            rig.port.busy << 1;
        else
            rig.port.failing << failure;
    };
    if (atStartup)
        fail();
    rig.station.openStoredPort();
    if (!atStartup) {
        fail();
        rig.loseDevice();
    }
    QVERIFY(rig.station.portRecovery().isRetrying());
    QTRY_VERIFY(rig.port.puts.count("PortOpen=true") >= 4);
    // A reason is told once, not on every try, and a missing device adds nothing to its loss.
    QCOMPARE(rig.view.notices.last(), whileAway);
    const int told = rig.view.notices.size();
    const int tries = rig.port.puts.count("PortOpen=true");
    QTRY_VERIFY(rig.port.puts.count("PortOpen=true") > tries + 2);
    QCOMPARE(rig.view.notices.size(), told);

    rig.port.unopenable.clear();
    rig.port.busy.clear();
    rig.port.failing.clear();
    rig.port.puts.clear();
    QTRY_VERIFY(!rig.state.portFault);
    QCOMPARE(rig.port.puts, ExpectedPuts::Reopen);
    QVERIFY(!rig.station.portRecovery().isRetrying());
    QCOMPARE(rig.view.notices.last(), At + "Com1 back | " + At + "Com1 (/dev/fake1) is back");
    QCOMPARE(rig.messages.shown.last(), QString("closed port fault reports"));
    QCOMPARE(rig.stored("CommPort"), QString("1"));

    // Each notification is handled once: the port is not connected a second time.
    const int reads = rig.port.inputReads;
    rig.port.arrive("1=21.0deg2=40\r\n");
    rig.port.arrive("1=22.0deg2=41\r\n");
    QCOMPARE(rig.port.inputReads, reads + 2);
    QCOMPARE(rig.view.labelText(Label::Temperature), QString("21.0"));

    // A new loss is told again, and so is its reason.
    fail();
    rig.loseDevice();
    QCOMPARE(rig.view.texts[Label::Status], At + "Com1 lost");
    if (failure != "missing")
        QTRY_COMPARE(rig.view.texts[Label::Status], At + "Com1 failing");
}

// An open that blocks (a Bluetooth device switched off) must not hold the window up every 2 s.
void TestStation::blockingOpenIsTriedSeldom()
{
    Rig rig; // tries every 10 ms, so 20 ms is slow and the next comes after 150 ms
    rig.port.busy << 1;
    rig.port.openDelayMs = 20;
    rig.station.openStoredPort();
    const auto tries = [&] { return rig.port.puts.count("PortOpen=true"); };
    QTRY_COMPARE(tries(), 2);
    QTest::qWait(100);
    QCOMPARE(tries(), 2);
    QCOMPARE(rig.view.notices.last(),
             At + "Com1 failing | " + At + "Cannot open Com1: busy; retrying every 30 s");
    // An open that fails at once brings the tries back to their pace.
    rig.port.openDelayMs = 0;
    QTRY_VERIFY_WITH_TIMEOUT(tries() >= 10, 1000);
}

void TestStation::failingNotificationIsUnhandledOnce()
{
    Rig rig;
    rig.port.unopenable << 1;
    rig.station.openStoredPort();
    QVERIFY(rig.station.portRecovery().isRetrying());
    bool retryingWhenReported = true;
    UnhandledError::install([&](const KoraError& error) {
        retryingWhenReported = rig.station.portRecovery().isRetrying();
        rig.unhandled << error;
    });
    rig.port.failing << "Input";
    rig.port.arrive("1=20.0deg2=50\r\n");
    rig.port.arrive("1=20.0deg2=50\r\n");
    QCOMPARE(rig.unhandled.size(), 1);
    QCOMPARE(rig.unhandled[0].number(), 8018);
    // The program ends: while that is reported, no port is opened again.
    QVERIFY(!retryingWhenReported);
    rig.port.unopenable.clear();
    QTest::qWait(100);
    QVERIFY(rig.port.opened.isEmpty());
}

void TestStation::readingsBecomeReportInItsFolder()
{
    QVERIFY(QDir().mkpath("beacon"));
    Rig rig;
    rig.station.setReportFolder("beacon");
    // An archive whose folder cannot be made: the report goes out all the same.
    QFile blocker("no-archive");
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    rig.station.setArchiveFolder("no-archive");
    rig.station.openStoredPort();
    for (int i = 0; i < 150; ++i)
        rig.port.arrive("1=22.0deg2=45\r\n");
    for (int i = 0; i < 150; ++i)
        rig.port.arrive("1=23.0deg2=46\r\n");
    QCOMPARE(rig.view.labelText(Label::Status), QString());
    rig.port.arrive("");

    QCOMPARE(rig.view.labelText(Label::TemperatureAverage), QString("22.5"));
    QCOMPARE(rig.view.labelText(Label::HumidityAverage), QString("45.5"));
    QCOMPARE(rig.view.labelText(Label::Status), At + "073degF 46%; archive not written");
    QVERIFY2(rig.view.notices.last().contains("archive not written: no-archive/kora-2026-12.csv: "),
             qPrintable(rig.view.notices.last()));
    QFile report("beacon/wxnow.txt");
    QVERIFY(report.open(QIODevice::ReadOnly));
    QCOMPARE(report.readAll(),
             QByteArray("06 12 2026 14:05\r\n000/000g000t073r000p000P000h46b000000w\r\n"));
    QVERIFY(!QFile::exists("wxnow.txt"));
}

void TestStation::silenceIsToldOnceAndEndsWithAReading_data()
{
    QTest::addColumn<int>("readingAtMinute"); // -1: none since the port opened
    QTest::addColumn<QString>("arriving");
    QTest::addColumn<int>("wallStepMinutes");
    QTest::addColumn<bool>("endedBySet"); // else by a reading
    QTest::addColumn<QString>("last");
    const QString line = "1=20.0deg2=50\r\n";
    const QString none = "none came since it was opened";
    QTest::newRow("never a reading") << -1 << "" << 0 << false << none;
    QTest::newRow("readings, then none")
        << 3 << line << 0 << false << "the last reading came at 06 12 2026 14:08:09";
    QTest::newRow("bytes, but never a whole line") << 3 << "1=20.0deg2=5" << 0 << false << none;
    QTest::newRow("wall clock set back an hour")
        << 3 << line << -60 << false << "the last reading came at 06 12 2026 13:08:09";
    QTest::newRow("ended by choosing a port") << -1 << "" << 0 << true << none;
}

void TestStation::silenceIsToldOnceAndEndsWithAReading()
{
    QFETCH(int, readingAtMinute);
    QFETCH(QString, arriving);
    QFETCH(int, wallStepMinutes);
    QFETCH(bool, endedBySet);
    QFETCH(QString, last);
    const bool reading = arriving.endsWith("\r\n");
    const int quietFrom = reading ? readingAtMinute : 0;

    Rig rig;
    rig.station.openStoredPort();
    rig.wallStepMinutes = wallStepMinutes;
    if (readingAtMinute >= 0) {
        rig.minutesLater(readingAtMinute);
        rig.port.arrive(arriving);
        rig.port.arrive("");
    }
    rig.minutesLater(quietFrom + 4);
    rig.station.checkSilence();
    QVERIFY(rig.view.notices.isEmpty());

    rig.minutesLater(quietFrom + 5);
    rig.station.checkSilence();
    rig.minutesLater(quietFrom + 9);
    rig.station.checkSilence();
    const QString at = QLocale::c().toString(Start.addSecs(60 * (quietFrom + 5 + wallStepMinutes)),
                                             "dd MM yyyy hh:mm:ss ");
    QCOMPARE(rig.view.notices,
             QStringList{at + "Com1 silent | " + at +
                         "Com1 (/dev/fake1) is open but has sent no reading for 5 minutes; " +
                         last});
    // Nothing is taken back: the readings shown and the report stay as they were.
    QCOMPARE(rig.view.labelText(Label::Temperature), reading ? "20.0" : "");

    if (endedBySet) {
        rig.station.portChosen();
    } else {
        rig.port.arrive("1=21.0deg2=51\r\n");
        rig.port.arrive("");
    }
    QVERIFY(!rig.station.isSilent());
    QCOMPARE(rig.view.notices.size(), 2);
    const QString ended = endedBySet ? "Com1 chosen | " : "Com1 back | ";
    QVERIFY2(rig.view.notices.last().contains(ended), qPrintable(rig.view.notices.last()));
    if (!endedBySet && (reading || arriving.isEmpty())) // no half line to glue it to
        QCOMPARE(rig.view.labelText(Label::Temperature), QString("21.0"));

    // A lost port is not silent: its silence counts from when it works again.
    rig.loseDevice();
    rig.minutesLater(quietFrom + 30);
    rig.station.checkSilence();
    QVERIFY(!rig.station.isSilent());
}

// Nothing calls the check here: the running program tells a sensor silent from the start.
void TestStation::silenceIsToldByTheRunningProgram()
{
    Rig rig;
    SystemClock clock;
    Station station(rig.state, *rig.settings, rig.port, clock, rig.view, rig.messages);
    station.setSilenceLimit(50);
    station.openStoredPort();
    QTRY_VERIFY_WITH_TIMEOUT(station.isSilent(), 5000);
    QVERIFY2(rig.view.notices.value(0).contains(" Com1 silent | "),
             qPrintable(rig.view.notices.value(0)));
}

void TestStation::endClosesThePortAndStopsRetrying()
{
    Rig rig;
    rig.port.unopenable << 1;
    rig.station.openStoredPort();
    rig.port.puts.clear();
    rig.port.failing << "PortOpen";
    rig.station.end();
    QCOMPARE(rig.port.puts, QStringList{"PortOpen=false"});
    QVERIFY(!rig.station.portRecovery().isRetrying());
    rig.port.failing.clear();
    rig.port.unopenable.clear();
    QTest::qWait(50);
    QVERIFY(rig.port.opened.isEmpty());
    QVERIFY(rig.unhandled.isEmpty());

    // The port dialog, closed by the program's end, chose nothing: the silence is not watched
    // again, also where the port could not be closed.
    Rig open;
    open.station.openStoredPort();
    open.port.failing << "PortOpen";
    open.station.end();
    QVERIFY(open.port.PortOpen());
    open.station.portChosen();
    QVERIFY(!open.station.watchesSilence());
}

QTEST_GUILESS_MAIN(TestStation)
#include "tst_station.moc"
