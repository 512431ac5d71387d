#include "StationWindow.h"
#include "ExpectedPuts.h"
#include "FakeSerialControl.h"
#include "FixedClock.h"
#include "ModalDriver.h"
#include "RecordingMessages.h"
#include "TestSettings.h"
#include "measurement/ProgramState.h"
#include "settings/SettingsKeys.h"
#include "ui/FrmComm.h"
#include "ui/FrmMain.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace ExpectedPuts;

class TestFrmComm : public QObject {
    Q_OBJECT

    ProgramState m_state;
    std::unique_ptr<TestSettings> m_settings;
    std::unique_ptr<FakeSerialControl> m_port;
    FixedClock m_clock;
    RecordingMessages m_messages;
    std::unique_ptr<FrmMain> m_main;

    QString saved()
    {
        return (*m_settings)->GetSetting(SettingsKeys::Section, SettingsKeys::CommPort, "<none>");
    }

    // Opens the dialog from the menu, runs the action in it, and returns once it has closed.
    void option(const std::function<void(FrmComm&)>& action)
    {
        bool ran = false;
        whenModal<FrmComm>([&](FrmComm& dialog) {
            ran = true;
            action(dialog);
            if (dialog.isVisible()) // a failed check left it open
                dialog.reject();
        });
        m_main->findChild<QAction*>("mnuOption")->trigger();
        QVERIFY(ran);
    }
    static void choose(FrmComm& dialog, int port)
    {
        dialog.findChild<QComboBox*>("cboPort")->setCurrentIndex(port - 1);
    }
    static void press(FrmComm& dialog, const char* button)
    {
        QTest::mouseClick(dialog.findChild<QPushButton*>(button), Qt::LeftButton);
    }

private slots:
    void init();
    void layoutAndLoad();
    void samePortWithoutFaultLeavesPortAlone();
    void switchToPortThatOpens();
    void switchToPortThatFailsThenRetry();
    void typedTextSelectsNoPort_data();
    void typedTextSelectsNoPort();
    void cancelAndFrameCloseChangeNothing_data();
    void cancelAndFrameCloseChangeNothing();
    void enterAndEscapePressNoButton_data();
    void enterAndEscapePressNoButton();
    void readingsContinueWhileOpen();
    void failedStartupLetsSetReopenSamePort();
    void setWinsOverRetrying_data();
    void setWinsOverRetrying();
};

void TestFrmComm::init()
{
    m_state = ProgramState();
    m_messages.shown.clear();
    m_main.reset();
    m_settings = std::make_unique<TestSettings>();
    m_port = std::make_unique<FakeSerialControl>();
    m_main = std::make_unique<StationWindow>(m_state, **m_settings, *m_port, m_clock, m_messages);
    m_main->load();
    m_main->show();
    m_port->puts.clear();
}

void TestFrmComm::layoutAndLoad()
{
    m_main->move(300, 120);
    (*m_settings)->SaveSetting("Ports", "Com3", "/dev/serial/by-id/usb-KORA_test-if00");
    option([](FrmComm& dialog) {
        QCOMPARE(dialog.windowTitle(), QString("Comm Port"));
        QCOMPARE(dialog.size(), QSize(193, 39));
        QCOMPARE(dialog.pos(), QPoint(303, 153));
        auto* combo = dialog.findChild<QComboBox*>("cboPort");
        QCOMPARE(combo->geometry(), QRect(8, 8, 73, 20));
        QVERIFY(combo->isEditable());
        QCOMPARE(combo->count(), 16);
        QCOMPARE(combo->itemText(0), QString("Com1"));
        QCOMPARE(combo->itemText(15), QString("Com16"));
        // Each item tells the device behind it.
#ifdef Q_OS_WIN
        const QString com2 = "COM2";
#else
        const QString com2 = "/dev/ttyS1";
#endif
        QCOMPARE(combo->itemData(1, Qt::ToolTipRole).toString(), com2);
        QCOMPARE(combo->itemData(2, Qt::ToolTipRole).toString(),
                 QString("/dev/serial/by-id/usb-KORA_test-if00"));
        QCOMPARE(combo->currentText(), QString("Com1"));
        auto* cancel = dialog.findChild<QPushButton*>("btnCancel");
        auto* set = dialog.findChild<QPushButton*>("btnOK");
        QCOMPARE(cancel->text(), QString("Cancel"));
        QCOMPARE(cancel->geometry(), QRect(88, 8, 49, 25));
        QCOMPARE(set->text(), QString("Set"));
        QCOMPARE(set->geometry(), QRect(144, 8, 41, 25));
        QVERIFY(!set->autoDefault() && !set->isDefault());
        QVERIFY(!cancel->autoDefault() && !cancel->isDefault());
        QWidget* next = combo->nextInFocusChain();
        while (next && !qobject_cast<QPushButton*>(next))
            next = next->nextInFocusChain();
        QCOMPARE(next, static_cast<QWidget*>(cancel));
        QCOMPARE(cancel->nextInFocusChain(), static_cast<QWidget*>(set));
        dialog.reject();
    });
}

void TestFrmComm::samePortWithoutFaultLeavesPortAlone()
{
    option([](FrmComm& dialog) { press(dialog, "btnOK"); });
    QVERIFY(m_port->puts.isEmpty());
    QVERIFY(m_port->PortOpen());
    QCOMPARE(saved(), QString("1"));
    QVERIFY(!m_state.portFault);
    QVERIFY(m_messages.shown.isEmpty());
}

void TestFrmComm::switchToPortThatOpens()
{
    option([](FrmComm& dialog) {
        choose(dialog, 3);
        press(dialog, "btnOK");
    });
    QCOMPARE(m_port->puts, Release + QStringList{"CommPort=3"} + Reopen);
    QVERIFY(m_port->PortOpen());
    QCOMPARE(m_port->CommPort(), 3);
    QCOMPARE(saved(), QString("3"));
    // The dialog shows the port in force the next time.
    option([](FrmComm& dialog) {
        QCOMPARE(dialog.findChild<QComboBox*>("cboPort")->currentText(), QString("Com3"));
        dialog.reject();
    });
}

void TestFrmComm::switchToPortThatFailsThenRetry()
{
    m_port->unopenable << 4;
    option([](FrmComm& dialog) {
        choose(dialog, 4);
        press(dialog, "btnOK");
    });
    QCOMPARE(m_messages.shown,
             QStringList{"exclamation: Cannot open Com4: no such device + where to map a device"});
    QVERIFY(m_state.portFault);
    QVERIFY(!m_port->PortOpen());
    QCOMPARE(m_port->CommPort(), 4);
    QCOMPARE(saved(), QString("<none>"));

    m_port->unopenable.clear();
    m_port->puts.clear();
    option([](FrmComm& dialog) {
        QCOMPARE(dialog.findChild<QComboBox*>("cboPort")->currentText(), QString("Com4"));
        press(dialog, "btnOK");
    });
    QCOMPARE(m_port->puts, QStringList{"CommPort=4"} + Reopen);
    QVERIFY(m_port->PortOpen());
    QVERIFY(!m_state.portFault);
    QCOMPARE(saved(), QString("4"));
}

void TestFrmComm::typedTextSelectsNoPort_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("a device name") << "ttyUSB0";
    // Typed text is never completed into an item's text.
    QTest::newRow("start of every item") << "Com";
    QTest::newRow("one letter") << "c";
    QTest::newRow("item in other case") << "com2";
}

void TestFrmComm::typedTextSelectsNoPort()
{
    QFETCH(QString, typed);
    option([typed](FrmComm& dialog) {
        auto* combo = dialog.findChild<QComboBox*>("cboPort");
        // Typed as a user types: into the field that has the focus, where completion acts.
        dialog.activateWindow();
        combo->lineEdit()->setFocus();
        QTRY_VERIFY(combo->lineEdit()->hasFocus());
        combo->lineEdit()->selectAll();
        QTest::keyClicks(combo->lineEdit(), typed);
        QCOMPARE(combo->currentText(), typed);
        QCOMPARE(dialog.chosenPort(), 0);
        press(dialog, "btnOK");
    });
    QCOMPARE(m_messages.shown, QStringList{"exclamation: Invalid Port Number"});
    QCOMPARE(m_port->puts, Release + QStringList{"CommPort=0"} + Reopen);
    QVERIFY(m_port->PortOpen());
    QCOMPARE(m_port->CommPort(), 1);
    QVERIFY(m_state.portFault);
}

void TestFrmComm::cancelAndFrameCloseChangeNothing_data()
{
    QTest::addColumn<bool>("frame");
    QTest::addColumn<bool>("fault");
    QTest::newRow("Cancel") << false << false;
    QTest::newRow("Cancel after a failure") << false << true;
    QTest::newRow("frame close") << true << false;
}

void TestFrmComm::cancelAndFrameCloseChangeNothing()
{
    QFETCH(bool, frame);
    QFETCH(bool, fault);
    m_state.portFault = fault;
    option([frame](FrmComm& dialog) {
        choose(dialog, 7);
        if (frame)
            dialog.close();
        else
            press(dialog, "btnCancel");
    });
    QVERIFY(m_port->puts.isEmpty());
    QCOMPARE(m_state.portFault, fault);
    QCOMPARE(saved(), QString("<none>"));
    QVERIFY(m_messages.shown.isEmpty());
}

void TestFrmComm::enterAndEscapePressNoButton_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
    QTest::newRow("Escape") << int(Qt::Key_Escape);
}

void TestFrmComm::enterAndEscapePressNoButton()
{
    QFETCH(int, key);
    option([key](FrmComm& dialog) {
        choose(dialog, 2);
        auto* combo = dialog.findChild<QComboBox*>("cboPort");
        for (QWidget* target : {static_cast<QWidget*>(&dialog), static_cast<QWidget*>(combo),
                                static_cast<QWidget*>(dialog.findChild<QPushButton*>("btnOK"))}) {
            target->setFocus();
            QTest::keyClick(target, Qt::Key(key));
            QVERIFY(dialog.isVisible());
        }
        dialog.reject();
    });
    QVERIFY(m_port->puts.isEmpty());
    QCOMPARE(m_port->CommPort(), 1);
}

void TestFrmComm::readingsContinueWhileOpen()
{
    option([this](FrmComm& dialog) {
        m_port->arrive("1=23.5deg2=45\r\n");
        m_port->arrive("");
        QCOMPARE(m_main->findChild<QLabel*>("txtTEMP")->text(), QString("23.5"));
        dialog.reject();
    });
}

void TestFrmComm::failedStartupLetsSetReopenSamePort()
{
    m_main.reset();
    m_port = std::make_unique<FakeSerialControl>();
    m_port->unopenable << 1;
    m_main = std::make_unique<StationWindow>(m_state, **m_settings, *m_port, m_clock, m_messages);
    m_main->load();
    m_main->show();
    QVERIFY(m_state.portFault);
    QVERIFY(!m_port->PortOpen());

    m_port->unopenable.clear();
    m_port->puts.clear();
    option([](FrmComm& dialog) { press(dialog, "btnOK"); });
    QCOMPARE(m_port->puts, QStringList{"CommPort=1"} + Reopen);
    QVERIFY(m_port->PortOpen());
    QVERIFY(!m_state.portFault);
}

void TestFrmComm::setWinsOverRetrying_data()
{
    QTest::addColumn<bool>("newPortOpens");
    QTest::newRow("the new port opens") << true;
    QTest::newRow("the new port fails and is the one retried") << false;
}

void TestFrmComm::setWinsOverRetrying()
{
    QFETCH(bool, newPortOpens);
    m_main.reset();
    m_port = std::make_unique<FakeSerialControl>();
    m_port->unopenable << 1;
    if (!newPortOpens)
        m_port->unopenable << 2;
    m_main = std::make_unique<StationWindow>(m_state, **m_settings, *m_port, m_clock, m_messages);
    m_main->load();
    m_main->show();
    m_main->portRecovery().setRetryInterval(10);
    QTRY_VERIFY(m_port->puts.count("PortOpen=true") >= 3);

    option([](FrmComm& dialog) {
        choose(dialog, 2);
        press(dialog, "btnOK");
    });
    QCOMPARE(m_port->CommPort(), 2);
    QCOMPARE(m_state.portFault, !newPortOpens);
    QCOMPARE(m_main->portRecovery().isRetrying(), !newPortOpens);

    // The old port's device comes back, and later the new one's: only the new one is opened.
    m_port->unopenable.remove(1);
    QTest::qWait(100);
    m_port->unopenable.clear();
    QTRY_VERIFY(!m_state.portFault);
    QTest::qWait(50);
    QCOMPARE(m_port->opened, QList<int>{2});
    QVERIFY(m_port->PortOpen());
}

QTEST_MAIN(TestFrmComm)
#include "tst_frmcomm.moc"
