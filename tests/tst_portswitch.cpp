#include "FixedClock.h"
#include "ModalDriver.h"
#include "Pty.h"
#include "TestSettings.h"
#include "measurement/ProgramState.h"
#include "serial/QtSerialControl.h"
#include "settings/SettingsKeys.h"
#include "ui/FrmComm.h"
#include "ui/FrmMain.h"
#include "ui/MessageBoxes.h"

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
};

void TestPortSwitch::initTestCase()
{
    QVERIFY(m_first.isValid() && m_second.isValid());
    const QString first = m_first.deviceName();
    const QString second = m_second.deviceName();
    m_port = std::make_unique<QtSerialControl>([first, second](int n) {
        return n == 1 ? first : n == 2 ? second : QString("/nonexistent/ttyKORA%1").arg(n);
    });
    m_main = std::make_unique<FrmMain>(m_state, *m_settings, *m_port, m_clock, m_messages);
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

QTEST_MAIN(TestPortSwitch)
#include "tst_portswitch.moc"
