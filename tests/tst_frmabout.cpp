#include "StationWindow.h"
#include "FakeSerialControl.h"
#include "FixedClock.h"
#include "RecordingMessages.h"
#include "TestSettings.h"
#include "measurement/ProgramState.h"
#include "ui/FrmAbout.h"
#include "ui/FrmMain.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>

class TestFrmAbout : public QObject {
    Q_OBJECT

    ProgramState m_state;
    TestSettings m_settings;
    FakeSerialControl m_port;
    FixedClock m_clock;
    RecordingMessages m_messages;
    std::unique_ptr<FrmMain> m_main;

    // Shows the About dialog from the menu and hands it to the check while it is open.
    void whileOpen(const std::function<void(FrmAbout&)>& check)
    {
        bool ran = false;
        QTimer::singleShot(0, this, [&] {
            auto* dialog = qobject_cast<FrmAbout*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            ran = true;
            check(*dialog);
            if (dialog->isVisible())
                dialog->reject();
        });
        m_main->findChild<QAction*>("mnuAbout")->trigger();
        QVERIFY(ran);
    }

private slots:
    void init();
    void textsAfterLoad();
    void versionFollowsColourScheme();
    void placedRelativeToMainWindow();
    void closeKeys_data();
    void closeKeys();
};

void TestFrmAbout::init()
{
    m_main = std::make_unique<StationWindow>(m_state, *m_settings, m_port, m_clock, m_messages);
    m_main->load();
    m_main->show();
}

void TestFrmAbout::textsAfterLoad()
{
    whileOpen([](FrmAbout& dialog) {
        QCOMPARE(dialog.windowTitle(), QString("KORA Version Info."));
        QCOMPARE(dialog.findChild<QLabel*>("lblVersion")->text(), QString("Ver. 0.0.1"));
        QCOMPARE(dialog.findChild<QLabel*>("lblTitle")->text(), QString("KORA"));
        QCOMPARE(dialog.findChild<QLabel*>("lblDescription")->text(),
                 QString("Weather station Program"));
        QCOMPARE(dialog.findChild<QLabel*>("copyright")->text(), QString(FrmAbout::Copyright));
        QCOMPARE(dialog.size(), QSize(4440 / 15, 2070 / 15));
        QCOMPARE(dialog.findChild<QPushButton*>("cmdOK")->geometry(), QRect(92, 80, 92, 23));
        QCOMPARE(dialog.findChild<QLabel*>("picIcon")->geometry(), QRect(8, 16, 36, 36));
        QVERIFY(dialog.findChild<QWidget*>("Line1"));
    });
    QVERIFY(m_messages.shown.isEmpty());
}

void TestFrmAbout::versionFollowsColourScheme()
{
    const QPalette light = QApplication::palette();
    QPalette dark = light;
    dark.setColor(QPalette::Window, QColor(30, 30, 30));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    QApplication::setPalette(dark);
    auto restore = qScopeGuard([&] { QApplication::setPalette(light); });

    whileOpen([](FrmAbout& dialog) {
        const auto ink = [&](const char* name) {
            return dialog.findChild<QLabel*>(name)->palette().color(QPalette::WindowText);
        };
        QCOMPARE(ink("lblVersion"), QColor(230, 230, 230));
        QCOMPARE(ink("copyright"), QColor(230, 230, 230));
        QCOMPARE(ink("lblTitle"), QColor(Qt::black));
        QCOMPARE(ink("lblDescription"), QColor(Qt::black));
    });
}

void TestFrmAbout::placedRelativeToMainWindow()
{
    m_main->setPositionTwips(2000, 3000);
    const QPoint first = m_main->pos();
    whileOpen([&](FrmAbout& dialog) {
        QCOMPARE(dialog.pos(), QPoint(qRound((first.x() * 15 + 50) / 15.0),
                                      qRound((first.y() * 15 + 500) / 15.0)));
    });
    m_main->move(300, 120);
    whileOpen([](FrmAbout& dialog) { QCOMPARE(dialog.pos(), QPoint(303, 153)); });
}

void TestFrmAbout::closeKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
    QTest::newRow("Escape") << int(Qt::Key_Escape);
}

void TestFrmAbout::closeKeys()
{
    QFETCH(int, key);
    whileOpen([key](FrmAbout& dialog) {
        QTest::keyClick(&dialog, Qt::Key(key));
        QVERIFY(!dialog.isVisible());
    });
}

QTEST_MAIN(TestFrmAbout)
#include "tst_frmabout.moc"
