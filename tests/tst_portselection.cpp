#include "ExpectedPuts.h"
#include "FakeSerialControl.h"
#include "TestSettings.h"
#include "common/KoraError.h"
#include "serial/LineSetup.h"
#include "serial/PortSelection.h"
#include "settings/SettingsKeys.h"

#include <QtTest>

using namespace ExpectedPuts;

class TestPortSelection : public QObject {
    Q_OBJECT
private slots:
    void startupOrder_data();
    void startupOrder();
    void startupStopsAtFirstFailure();
    void portActions_data();
    void portActions();
    void failureToOpenThenRetrySamePort();
    void reportsOnlyTheMostRecentFailure();
    void settingsWriteFailureIsPassedOver();
};

void TestPortSelection::startupOrder_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QStringList>("puts");
    QTest::addColumn<int>("port");
    QTest::newRow("nothing stored keeps port 1") << "" << Startup << 1;
    QTest::newRow("stored port first") << "3" << QStringList{"CommPort=3"} + Startup << 3;
    QTest::newRow("stored with blanks") << " 12 " << QStringList{"CommPort=12"} + Startup << 12;
}

void TestPortSelection::startupOrder()
{
    QFETCH(QString, stored);
    QFETCH(QStringList, puts);
    QFETCH(int, port);
    FakeSerialControl serial;
    LineSetup::startup(serial, stored);
    QCOMPARE(serial.puts, puts);
    QCOMPARE(serial.CommPort(), port);
    QVERIFY(serial.PortOpen());
}

void TestPortSelection::startupStopsAtFirstFailure()
{
    FakeSerialControl serial;
    serial.unopenable << 1;
    QVERIFY_THROWS_EXCEPTION(KoraError, LineSetup::startup(serial, ""));
    QCOMPARE(serial.puts, QStringList{"PortOpen=true"});

    FakeSerialControl refused;
    QVERIFY_THROWS_EXCEPTION(KoraError, LineSetup::startup(refused, "17"));
    QVERIFY(!refused.PortOpen());
    QVERIFY_THROWS_EXCEPTION(KoraError, LineSetup::startup(refused, "abc"));
    QCOMPARE(refused.puts, QStringList{"CommPort=17"});
}

void TestPortSelection::portActions_data()
{
    QTest::addColumn<int>("chosen");
    QTest::addColumn<bool>("fault");
    QTest::addColumn<bool>("open");
    QTest::addColumn<QStringList>("puts");

    QTest::newRow("equal, no fault, open") << 1 << false << true << QStringList();
    QTest::newRow("equal, no fault, closed") << 1 << false << false << QStringList();
    QTest::newRow("equal, fault, open")
        << 1 << true << true << Release + QStringList{"CommPort=1"} + Reopen;
    QTest::newRow("equal, fault, closed")
        << 1 << true << false << QStringList{"CommPort=1"} + Reopen;
    QTest::newRow("differ, no fault, open")
        << 2 << false << true << Release + QStringList{"CommPort=2"} + Reopen;
    QTest::newRow("differ, no fault, closed") << 2 << false << false << QStringList{"CommPort=2"};
    QTest::newRow("differ, fault, open")
        << 2 << true << true << Release + QStringList{"CommPort=2"} + Reopen;
    QTest::newRow("differ, fault, closed")
        << 2 << true << false << QStringList{"CommPort=2"} + Reopen;
}

void TestPortSelection::portActions()
{
    QFETCH(int, chosen);
    QFETCH(bool, fault);
    QFETCH(bool, open);
    QFETCH(QStringList, puts);

    FakeSerialControl serial;
    if (open)
        serial.openDirectly(1);
    TestSettings settings;
    QStringList reported;
    PortSelection::apply(serial, *settings, fault, chosen,
                         [&](const QString& text) { reported << text; });

    QCOMPARE(serial.puts, puts);
    QVERIFY(reported.isEmpty());
    QVERIFY(!fault);
    QCOMPARE(serial.CommPort(), chosen);
    QCOMPARE(settings->GetSetting(SettingsKeys::Section, SettingsKeys::CommPort, "-"),
             QString::number(chosen));
}

void TestPortSelection::failureToOpenThenRetrySamePort()
{
    FakeSerialControl serial;
    serial.openDirectly(1);
    TestSettings settings;
    settings->SaveSetting(SettingsKeys::Section, SettingsKeys::CommPort, "1");
    bool fault = false;
    QStringList reported;
    const auto report = [&](const QString& text) { reported << text; };

    serial.unopenable << 4;
    PortSelection::apply(serial, *settings, fault, 4, report);
    QCOMPARE(reported, QStringList{"Cannot open Com4: no such device"});
    QVERIFY(fault);
    QVERIFY(!serial.PortOpen());
    QCOMPARE(serial.CommPort(), 4);
    QCOMPARE(settings->GetSetting(SettingsKeys::Section, SettingsKeys::CommPort, ""), QString("1"));

    // The device is back: the same choice skips the release steps and reopens.
    serial.unopenable.clear();
    serial.puts.clear();
    PortSelection::apply(serial, *settings, fault, 4, report);
    QCOMPARE(serial.puts, QStringList{"CommPort=4"} + Reopen);
    QVERIFY(!fault);
    QVERIFY(serial.PortOpen());
    QCOMPARE(reported.size(), 1);
    QCOMPARE(settings->GetSetting(SettingsKeys::Section, SettingsKeys::CommPort, ""), QString("4"));
}

void TestPortSelection::reportsOnlyTheMostRecentFailure()
{
    // No item selected: the number is refused, the port reopens on the previous number.
    FakeSerialControl serial;
    serial.openDirectly(2);
    TestSettings settings;
    bool fault = false;
    QStringList reported;
    PortSelection::apply(serial, *settings, fault, 0,
                         [&](const QString& text) { reported << text; });
    QCOMPARE(reported, QStringList{"Invalid Port Number"});
    QVERIFY(fault);
    QVERIFY(serial.PortOpen());
    QCOMPARE(serial.CommPort(), 2);
    QCOMPARE(settings->GetSetting(SettingsKeys::Section, SettingsKeys::CommPort, "none"),
             QString("none"));

    // Two failures in one press: only the later one is shown, and every step still ran.
    FakeSerialControl twice;
    twice.openDirectly(1);
    twice.failing << "DTREnable"
                  << "Handshaking";
    fault = false;
    reported.clear();
    PortSelection::apply(twice, *settings, fault, 2,
                         [&](const QString& text) { reported << text; });
    QCOMPARE(reported.size(), 1);
    QVERIFY(reported[0].startsWith("Handshaking failed"));
    QCOMPARE(twice.puts, Release + QStringList{"CommPort=2"} + Reopen);
    QVERIFY(fault);
}

void TestPortSelection::settingsWriteFailureIsPassedOver()
{
    UnwritableSettings unwritable;
    FakeSerialControl serial;
    serial.openDirectly(1);
    bool fault = true;
    QStringList reported;
    PortSelection::apply(serial, *unwritable, fault, 3, [&](const QString& t) { reported << t; });
    QVERIFY(reported.isEmpty());
    QVERIFY(!fault);
    QCOMPARE(serial.CommPort(), 3);
}

QTEST_GUILESS_MAIN(TestPortSelection)
#include "tst_portselection.moc"
