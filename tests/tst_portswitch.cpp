#include "StationWindow.h"
#include "FixedClock.h"
#include "ModalDriver.h"
#include "Pty.h"
#include "TestSettings.h"
#include "common/KoraError.h"
#include "measurement/ProgramState.h"
#include "serial/QtSerialControl.h"
#include "settings/SettingsKeys.h"
#include "ui/FrmComm.h"
#include "ui/FrmMain.h"
#include "ui/QtMessageBoxes.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

// The port dialog on real pseudo-terminals, with real message boxes.
class TestPortSwitch : public QObject {
    Q_OBJECT

    Pty m_first;
    Pty m_second;
    // Com3 is an adapter's stable name, as /dev/serial/by-id gives one, that is not there yet.
    QTemporaryDir m_dir;
    QString m_adapter = m_dir.filePath("usb-KORA_sensor-if00");
    ProgramState m_state;
    TestSettings m_settings;
    FixedClock m_clock;
    QtMessageBoxes m_messages;
    std::unique_ptr<QtSerialControl> m_port;
    std::unique_ptr<FrmMain> m_main;

    QString temperature() const { return m_main->findChild<QLabel*>("txtTEMP")->text(); }

    // Sends a line and one more, so the program takes the first.
    void send(Pty& pty, const QByteArray& line)
    {
        QVERIFY(pty.write(line));
        QTest::qWait(20);
        // The line must arrive in a notification of its own.
        QTRY_VERIFY(pty.waitUntilRead(0));
        QVERIFY(pty.write("x"));
    }

    void set(const std::function<void(FrmComm&)>& choose)
    {
        bool ran = false;
        whenModal<FrmComm>([&](FrmComm& dialog) {
            ran = true;
            choose(dialog);
            QTest::mouseClick(dialog.findChild<QPushButton*>("btnOK"), Qt::LeftButton);
        });
        m_main->findChild<QAction*>("mnuOption")->trigger();
        QVERIFY(ran);
    }

private slots:
    void initTestCase();
    void switchesToAnotherDeviceAndReceivesThere();
    void readingsContinueWhileFailureIsShown();
    void failureBoxGoesWhenThePortComesBack_data();
    void failureBoxGoesWhenThePortComesBack();
};

void TestPortSwitch::initTestCase()
{
    QVERIFY(m_first.isValid() && m_second.isValid());
    const QString first = m_first.deviceName();
    const QString second = m_second.deviceName();
    const QString adapter = m_adapter;
    m_port = std::make_unique<QtSerialControl>([first, second, adapter](int n) {
        return n == 1   ? first
               : n == 2 ? second
               : n == 3 ? adapter
                        : QString("/nonexistent/ttyKORA%1").arg(n);
    });
    m_main = std::make_unique<StationWindow>(m_state, *m_settings, *m_port, m_clock, m_messages);
    m_messages.setParent(m_main.get());
    m_main->load();
    m_main->show();
    QVERIFY(m_port->PortOpen());
}

void TestPortSwitch::switchesToAnotherDeviceAndReceivesThere()
{
    send(m_first, "1=11.0deg2=40\r\n");
    QTRY_COMPARE(temperature(), QString("11.0"));

    set([](FrmComm& dialog) { dialog.findChild<QComboBox*>("cboPort")->setCurrentIndex(1); });
    QCOMPARE(m_port->CommPort(), 2);
    QVERIFY(m_port->PortOpen());
    QCOMPARE(m_settings->GetSetting(SettingsKeys::Section, SettingsKeys::CommPort, ""),
             QString("2"));

    QVERIFY(m_first.write("1=12.0deg2=40\r\nx")); // nobody listens there any more
    send(m_second, "1=22.0deg2=40\r\n");
    QTRY_COMPARE(temperature(), QString("22.0"));
}

void TestPortSwitch::readingsContinueWhileFailureIsShown()
{
    QCOMPARE(m_port->CommPort(), 2);
    bool shown = false;
    QString readingWhileShown;
    whenModal<FrmComm>([&](FrmComm& dialog) {
        auto* combo = dialog.findChild<QComboBox*>("cboPort");
        combo->lineEdit()->selectAll();
        QTest::keyClicks(combo->lineEdit(), "nothing");
        // The refusal is reported in a message box; the port reopens on Com2 before it.
        whenModal<QMessageBox>([&](QMessageBox& box) {
            shown = true;
            QCOMPARE(box.windowTitle(), QString("KORA"));
            QCOMPARE(box.text(), QString("Invalid Port Number"));
            QCOMPARE(box.icon(), QMessageBox::Warning);
            send(m_second, "1=33.0deg2=40\r\n");
            QTRY_COMPARE(temperature(), QString("33.0"));
            readingWhileShown = temperature();
            box.accept();
        });
        QTest::mouseClick(dialog.findChild<QPushButton*>("btnOK"), Qt::LeftButton);
    });
    m_main->findChild<QAction*>("mnuOption")->trigger();
    QVERIFY(shown);
    QCOMPARE(readingWhileShown, QString("33.0"));
    QVERIFY(m_state.portFault);
    QVERIFY(m_port->PortOpen());
}

void TestPortSwitch::failureBoxGoesWhenThePortComesBack_data()
{
    QTest::addColumn<QString>("box");
    QTest::newRow("start-up") << "start-up";
    QTest::newRow("\"Set\"") << "Set";
    // The report of an error that ends the program stays until it is read.
    QTest::newRow("an error that ends the program") << "ending";
}

void TestPortSwitch::failureBoxGoesWhenThePortComesBack()
{
    QFETCH(QString, box);
    QFile::remove(m_adapter);
    if (box == "ending") {
        bool stayed = false;
        whenModal<QMessageBox>([&](QMessageBox& shown) {
            m_messages.closePortFaultReports();
            QTimer::singleShot(200, &shown, [&] {
                stayed = shown.isVisible();
                shown.accept();
            });
        });
        m_messages.error(KoraError(8018, "Operation valid only when the port is open"));
        QVERIFY(stayed);
        return;
    }
    // The adapter is plugged in while the box that says it is missing waits; the box has to go
    // by itself, else it is given up on after five seconds.
    std::unique_ptr<Pty> adapter;
    bool gaveUp = false;
    whenModal<QMessageBox>([&](QMessageBox& shown) {
        adapter = std::make_unique<Pty>();
        QVERIFY(QFile::link(adapter->deviceName(), m_adapter));
        QTimer::singleShot(5000, &shown, [&] {
            gaveUp = true;
            shown.accept();
        });
    });
    if (box == "start-up") {
        ProgramState state;
        TestSettings settings;
        settings->SaveSetting(SettingsKeys::Section, SettingsKeys::CommPort, "3");
        QtSerialControl port([this](int) { return m_adapter; });
        QtMessageBoxes messages;
        StationWindow main(state, *settings, port, m_clock, messages);
        messages.setParent(&main);
        main.portRecovery().setRetryInterval(50);
        main.load();
        QVERIFY(!gaveUp);
        QVERIFY(port.PortOpen());
        QVERIFY(!state.portFault);
        return;
    }

    // A failed "Set" whose adapter then appears: the port is the chosen one and is stored.
    m_main->portRecovery().setRetryInterval(50);
    set([](FrmComm& dialog) { dialog.findChild<QComboBox*>("cboPort")->setCurrentIndex(2); });
    QVERIFY(!gaveUp);
    QCOMPARE(m_port->CommPort(), 3);
    QVERIFY(m_port->PortOpen());
    QVERIFY(!m_state.portFault);
    send(*adapter, "1=13.0deg2=40\r\n");
    QTRY_COMPARE(temperature(), QString("13.0"));

    m_main->findChild<QAction*>("mnuExit")->trigger();
    QFile file(m_settings.dir.filePath("KORA.conf"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray stored = file.readAll();
    QVERIFY2(stored.contains("CommPort=3\n"), stored.constData());
}

QTEST_MAIN(TestPortSwitch)
#include "tst_portswitch.moc"
