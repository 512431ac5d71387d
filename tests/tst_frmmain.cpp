#include "StationWindow.h"
#include "ExpectedPuts.h"
#include "FakeSerialControl.h"
#include "FixedClock.h"
#include "PlatformChoice.h"
#include "RecordingMessages.h"
#include "TestSettings.h"
#include "common/UnhandledError.h"
#include "measurement/ProgramState.h"
#include "settings/SettingsKeys.h"
#include "ui/Fonts.h"
#include "ui/FrmMain.h"
#include "ui/IndicatorCircle.h"
#include "ui/Twips.h"

#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QtTest>

namespace {
struct Rig {
    ProgramState state;
    TestSettings settings;
    FakeSerialControl port;
    FixedClock clock;
    RecordingMessages messages;
    std::unique_ptr<FrmMain> window;
    QList<KoraError> unhandled;

    Rig()
    {
        UnhandledError::install([this](const KoraError& error) { unhandled << error; });
    }
    ~Rig() { UnhandledError::install({}); }
    void store(const QString& key, const QString& value)
    {
        settings->SaveSetting(SettingsKeys::Section, key, value);
    }
    QString stored(const QString& key)
    {
        return settings->GetSetting(SettingsKeys::Section, key, "<none>");
    }
    FrmMain& load()
    {
        window = std::make_unique<StationWindow>(state, *settings, port, clock, messages);
        window->load();
        window->show();
        return *window;
    }
    QString text(const char* name) const { return window->findChild<QLabel*>(name)->text(); }
};

// Where the text's last ink ends when drawn from x 0 on the widget's screen, in logical pixels:
// at a scaled display (125 %, 150 %) the glyphs are fitted to device pixels, and may end a
// fraction further right than at 100 %.
qreal inkEnd(const QWidget& widget, const QFont& font, const QString& text)
{
    const QFontMetrics metrics(font);
    const qreal ratio = widget.devicePixelRatioF();
    const int margin = metrics.height();
    const QSize logical(metrics.horizontalAdvance(text) + 2 * margin, 2 * metrics.height());
    QImage image((QSizeF(logical) * ratio).toSize(), QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.setDotsPerMeterX(qRound(widget.logicalDpiX() / 0.0254));
    image.setDotsPerMeterY(qRound(widget.logicalDpiY() / 0.0254));
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.drawText(margin, metrics.height(), text);
    painter.end();
    for (int x = image.width() - 1; x >= 0; --x) {
        for (int y = 0; y < image.height(); ++y) {
            if (image.pixel(x, y) != QColor(Qt::white).rgb())
                return (x + 1) / ratio - margin;
        }
    }
    return 0;
}

// Where the label, showing the text, would paint outside its box; empty when the text fits.
QString paintedOutside(const QLabel& label, const QString& text)
{
    const QFontMetrics metrics(label.font());
    const QRect box = label.contentsRect();
    const int indent = std::max(label.indent(), 0);
    const int advance = metrics.horizontalAdvance(text);
    int start = indent;
    if (label.alignment() & Qt::AlignRight)
        start = box.width() - indent - advance;
    else if (label.alignment() & Qt::AlignHCenter)
        start = (box.width() - advance) / 2;
    // The text must start inside the box and its last glyph end there; a first glyph may
    // reach left of its own origin, as a "T" does, which is how the face draws it.
    const qreal end = start + inkEnd(label, label.font(), text);
    if (start >= 0 && end <= box.width() && metrics.height() <= box.height())
        return {};
    return QString("\"%1\" in %2 at %3 %: starts at x %4 and ends at %5, height %6; the box is "
                   "%7 x %8")
        .arg(text, QFontInfo(label.font()).family())
        .arg(qRound(label.devicePixelRatioF() * 100))
        .arg(start)
        .arg(end)
        .arg(metrics.height())
        .arg(box.width())
        .arg(box.height());
}
} // namespace

class TestFrmMain : public QObject {
    Q_OBJECT

    QTemporaryDir m_workDir;
    QString m_savedDir;

private slots:
    void initTestCase();
    void cleanupTestCase();
    void controlTable_data();
    void controlTable();
    void titleMenuAndIcon();
    void firstRunOpensPortOneAt200();
    void storedPositionIsRestored();
    void startupMends_data();
    void startupMends();
    void exitAndCloseSavePositionAndClosePort_data();
    void exitAndCloseSavePositionAndClosePort();
    void exitPassesOverFailures();
    void readingsReachLabels();
    void minimizedTitleFollowsReadings();
    void platformChoice_data();
    void platformChoice();
};

void TestFrmMain::initTestCase()
{
    // As the program does, where the system lacks the label face and one is shipped with it.
    Fonts::addBundled(QCoreApplication::applicationDirPath() + "/fonts");
    m_savedDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_workDir.path()));
}

void TestFrmMain::cleanupTestCase()
{
    QDir::setCurrent(m_savedDir);
}

void TestFrmMain::controlTable_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<QString>("text");
    // The widest texts the control shows, each of which must fit in its box in the font that
    // the machine really resolves.
    QTest::addColumn<QStringList>("mustFit");

    const QString celsius(QChar(0x2103));
    QTest::newRow("txtLabel1") << "txtLabel1" << QRect(1200, 0, 855, 255) << "Now"
                               << QStringList{"Now"};
    QTest::newRow("Label5") << "Label5" << QRect(2160, 0, 855, 255) << "Average\r\n"
                            << QStringList{"Average"};
    QTest::newRow("Mon") << "Mon" << QRect(120, 240, 255, 255) << QString() << QStringList();
    QTest::newRow("Label3") << "Label3" << QRect(480, 240, 735, 375) << "Temp"
                            << QStringList{"Temp"};
    QTest::newRow("txtTEMP") << "txtTEMP" << QRect(1200, 240, 855, 375) << ""
                             << QStringList{"-40", "-12.5"};
    QTest::newRow("txtTEMPave") << "txtTEMPave" << QRect(2160, 240, 855, 375) << "---- "
                                << QStringList{"---- ", "-00.0", "100.0"};
    QTest::newRow("Label2") << "Label2" << QRect(3240, 240, 375, 375) << celsius
                            << QStringList{celsius};
    QTest::newRow("Label4") << "Label4" << QRect(600, 720, 615, 375) << "Hum" << QStringList{"Hum"};
    QTest::newRow("txtHUM") << "txtHUM" << QRect(1200, 720, 855, 375) << ""
                            << QStringList{"100", "45%"};
    QTest::newRow("txtHUMave") << "txtHUMave" << QRect(2160, 720, 855, 375) << "---- "
                               << QStringList{"---- ", "100.0"};
    QTest::newRow("Label1") << "Label1" << QRect(3120, 720, 615, 375) << "%RH"
                            << QStringList{"%RH"};
    QTest::newRow("txtMon") << "txtMon" << QRect(120, 1200, 3495, 375) << ""
                            << QStringList{"31 12 2026 23:59:59 -040degF 100%",
                                           "31 12 2026 23:59:59 Com16 lost",
                                           "31 12 2026 23:59:59 Com16 back",
                                           "31 12 2026 23:59:59 Com16 failing",
                                           "31 12 2026 23:59:59 Com16 missing",
                                           "31 12 2026 23:59:59 Com16 silent"};
}

void TestFrmMain::controlTable()
{
    QFETCH(QString, name);
    QFETCH(QRect, twips);
    QFETCH(QString, text);
    QFETCH(QStringList, mustFit);

    Rig rig;
    rig.load();
    auto* control = rig.window->findChild<QWidget*>(name);
    QVERIFY(control);
    const QRect pixels(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15);
    QCOMPARE(control->geometry(), pixels);
    QCOMPARE(control->parentWidget(), rig.window->centralWidget());
    if (auto* label = qobject_cast<QLabel*>(control)) {
        QCOMPARE(label->text(), text);
        QCOMPARE(label->focusPolicy(), Qt::NoFocus);
        for (const QString& shown : mustFit) {
            const QString painted = paintedOutside(*label, shown);
            QVERIFY2(painted.isEmpty(), qPrintable(painted));
        }
    }
}

void TestFrmMain::titleMenuAndIcon()
{
    Rig rig;
    FrmMain& window = rig.load();
    QCOMPARE(window.windowTitle(), QString("KORa Ver 0.0.1"));
    QCOMPARE(window.objectName(), QString("frmMain"));
    QCOMPARE(window.centralWidget()->size(), QSize(3840 / 15, 1740 / 15));
    // Sizable; resizing moves and resizes no control.
    QVERIFY(window.minimumSize().width() < 256 && window.maximumSize().width() > 256);
    const QRect tempBox = window.findChild<QLabel*>("txtTEMP")->geometry();
    window.resize(500, 400);
    QTRY_COMPARE(window.centralWidget()->width(), 500);
    QCOMPARE(window.findChild<QLabel*>("txtTEMP")->geometry(), tempBox);

    const QList<QAction*> bar = window.menuBar()->actions();
    QCOMPARE(bar.size(), 2);
    QCOMPARE(bar[0]->text(), QString("File"));
    QCOMPARE(bar[0]->menu()->objectName(), QString("mnuFile"));
    QCOMPARE(bar[1]->text(), QString("About"));
    QCOMPARE(bar[1]->objectName(), QString("mnuAbout"));
    QVERIFY(!bar[1]->menu());
    const QList<QAction*> file = bar[0]->menu()->actions();
    QCOMPARE(file.size(), 3);
    QCOMPARE(file[0]->text(), QString("Option"));
    QCOMPARE(file[0]->objectName(), QString("mnuOption"));
    QCOMPARE(file[1]->text(), QString("History"));
    QCOMPARE(file[1]->objectName(), QString("mnuHistory"));
    QCOMPARE(file[2]->text(), QString("exit"));
    QCOMPARE(file[2]->objectName(), QString("mnuExit"));
    for (QAction* action : bar + file)
        QVERIFY(action->shortcut().isEmpty() && !action->isCheckable() && action->isEnabled());

    const QList<QSize> sizes = window.windowIcon().availableSizes();
    QVERIFY(sizes.contains(QSize(16, 16)) && sizes.contains(QSize(32, 32)));
    // Before any notification the indicator shows the scheme's colour, not orange.
    QVERIFY(window.findChild<IndicatorCircle*>("Mon")->fillColour() != QColor(255, 128, 0));
}

void TestFrmMain::firstRunOpensPortOneAt200()
{
    Rig rig;
    FrmMain& window = rig.load();
    QCOMPARE(window.pos(), QPoint(13, 13)); // 200 twips
    QCOMPARE(rig.port.puts, ExpectedPuts::Startup);
    QCOMPARE(rig.port.CommPort(), 1);
    QVERIFY(rig.messages.shown.isEmpty());
    QVERIFY(!rig.state.portFault);
}

void TestFrmMain::storedPositionIsRestored()
{
    Rig rig;
    rig.store("Top", "1440");
    rig.store("Left", "2880");
    rig.store("CommPort", "5");
    FrmMain& window = rig.load();
    QCOMPARE(window.pos(), QPoint(192, 96)); // two inches right, one inch down
    QCOMPARE(window.frameGeometry().topLeft(), QPoint(192, 96));
    QCOMPARE(rig.port.puts, QStringList{"CommPort=5"} + ExpectedPuts::Startup);
}

void TestFrmMain::startupMends_data()
{
    QTest::addColumn<QString>("top");
    QTest::addColumn<bool>("unplugged");
    QTest::addColumn<QPoint>("position");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("status"); // shown, then its tooltip

    const QString notNumber = "error 13: The stored position Top \"%1\" is not a number; the "
                              "window opens at 200";
    QTest::newRow("top not a number")
        << "abc" << false << QPoint(13, 13) << notNumber.arg("abc") << " | ";
    QTest::newRow("top infinite") << "inf" << false << QPoint(13, 13) << notNumber.arg("inf")
                                  << " | ";
    QTest::newRow("top not a number, nan")
        << "nan" << false << QPoint(13, 13) << notNumber.arg("nan") << " | ";
    // Placed as far up as the window system goes, not wrapped round to somewhere below.
    QTest::newRow("top far out of range") << "-99999999999" << false << QPoint(13, -16777215) << ""
                                          << " | ";
    QTest::newRow("top far out the other way") << "1e30" << false << QPoint(13, 16777215) << ""
                                               << " | ";
    // The status line keeps telling it after the box has gone, the reason in its tooltip.
    QTest::newRow("port missing")
        << "300" << true << QPoint(13, 20)
        << "port error 8010: Cannot open Com1: no such device + where to map a device"
        << "06 12 2026 14:05:09 Com1 missing | 06 12 2026 14:05:09 Cannot open Com1: no such "
           "device; retrying every 2 s";
}

void TestFrmMain::startupMends()
{
    QFETCH(QString, top);
    QFETCH(bool, unplugged);
    QFETCH(QPoint, position);
    QFETCH(QString, message);
    QFETCH(QString, status);

    Rig rig;
    rig.store("Top", top);
    if (unplugged)
        rig.port.unopenable << 1;
    // A box waits for its click: the port is open before it shows.
    rig.messages.whenShown = [&] { QCOMPARE(rig.port.PortOpen(), !unplugged); };
    FrmMain& window = rig.load();

    QVERIFY(window.isVisible());
#ifdef Q_OS_WIN
    // Windows brings a window placed far off back to the screen.
    if (std::abs(position.y()) == Twips::MaxPixels) {
        const QRect screen = window.screen()->virtualGeometry();
        QVERIFY2(screen.marginsAdded(QMargins(50, 50, 50, 50)).contains(window.pos()),
                 qPrintable(QString("%1, %2").arg(window.pos().x()).arg(window.pos().y())));
    } else
#endif
        QCOMPARE(window.pos(), position);
    QCOMPARE(rig.port.PortOpen(), !unplugged);
    QCOMPARE(rig.messages.shown, message.isEmpty() ? QStringList() : QStringList{message});
    const QLabel* txtMon = window.findChild<QLabel*>("txtMon");
    QCOMPARE(txtMon->text() + " | " + txtMon->toolTip(), status);
    // The pointer resting on the status line reaches it, for its tooltip.
    QCOMPARE(window.centralWidget()->childAt(txtMon->geometry().center()), txtMon);
    QVERIFY(rig.unhandled.isEmpty());

    // What is saved is where the window really is.
    window.close();
    QCOMPARE(rig.stored("Top"), SettingsText::fromPosition(float(window.pos().y()) * 15));
    QCOMPARE(rig.stored("Left"), SettingsText::fromPosition(float(window.pos().x()) * 15));
}

void TestFrmMain::exitAndCloseSavePositionAndClosePort_data()
{
    QTest::addColumn<bool>("fromMenu");
    QTest::newRow("exit command") << true;
    QTest::newRow("closed from its frame") << false;
}

void TestFrmMain::exitAndCloseSavePositionAndClosePort()
{
    QFETCH(bool, fromMenu);
    Rig rig;
    FrmMain& window = rig.load();
    window.move(100, 50);
    rig.port.puts.clear();
    if (fromMenu)
        window.findChild<QAction*>("mnuExit")->trigger();
    else
        window.close();

    QVERIFY(!window.isVisible());
    QCOMPARE(rig.stored("Top"), QString("750"));
    QCOMPARE(rig.stored("Left"), QString("1500"));
    QVERIFY(!rig.port.PortOpen());
    const QStringList closes =
        fromMenu ? QStringList{"PortOpen=false", "PortOpen=false"} : QStringList{"PortOpen=false"};
    QCOMPARE(rig.port.puts, closes);
}

void TestFrmMain::exitPassesOverFailures()
{
    UnwritableSettings unwritable;
    Rig rig;
    StationWindow window(rig.state, *unwritable, rig.port, rig.clock, rig.messages);
    window.load();
    window.show();
    rig.port.failing << "PortOpen";
    rig.port.puts.clear();

    window.findChild<QAction*>("mnuExit")->trigger();
    QVERIFY(!window.isVisible());
    QCOMPARE(rig.port.puts, (QStringList{"PortOpen=false", "PortOpen=false"}));
    QVERIFY(rig.messages.shown.isEmpty());
    QVERIFY(rig.unhandled.isEmpty());
}

void TestFrmMain::readingsReachLabels()
{
    Rig rig;
    rig.load();
    rig.port.arrive("1=22.0deg2=45\r\n");
    QCOMPARE(rig.window->findChild<IndicatorCircle*>("Mon")->fillColour(), QColor(255, 128, 0));
    QCOMPARE(rig.text("txtTEMP"), QString());
    rig.port.arrive("1=23.0deg2=46\r\n");
    QCOMPARE(rig.text("txtTEMP"), QString("22.0"));
    QCOMPARE(rig.text("txtHUM"), QString("45"));
    QCOMPARE(rig.text("txtTEMPave"), QString("---- "));
    QCOMPARE(rig.text("txtMon"), QString());
}

void TestFrmMain::minimizedTitleFollowsReadings()
{
    Rig rig;
    FrmMain& window = rig.load();
    window.setWindowState(Qt::WindowMinimized);
    rig.port.arrive("1=-41.0deg2=7\r\n");
    rig.port.arrive("");
    QCOMPARE(window.windowTitle(), QString("-40.0C07%"));
    window.setWindowState(Qt::WindowNoState);
    rig.port.arrive("1=20.0deg2=50\r\n");
    rig.port.arrive("");
    QCOMPARE(window.windowTitle(), QString("-40.0C07%"));
}

void TestFrmMain::platformChoice_data()
{
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<QByteArray>("platform");
#ifdef Q_OS_WIN
    // A DISPLAY is no X desktop here: Wine sets one, and Windows has neither X nor Wayland.
    const QByteArray xFirst;
#else
    const QByteArray xFirst("xcb;wayland");
#endif
    QTest::newRow("X session") << QStringList{"DISPLAY=:0"} << xFirst;
    QTest::newRow("Wayland session with XWayland")
        << QStringList{"DISPLAY=:0", "WAYLAND_DISPLAY=wayland-0"} << xFirst;
    QTest::newRow("Wayland without X") << QStringList{"WAYLAND_DISPLAY=wayland-0"} << QByteArray();
    QTest::newRow("user chose Wayland")
        << QStringList{"DISPLAY=:0", "QT_QPA_PLATFORM=wayland"} << QByteArray();
    QTest::newRow("user chose, even empty")
        << QStringList{"DISPLAY=:0", "QT_QPA_PLATFORM="} << QByteArray();
}

void TestFrmMain::platformChoice()
{
    QFETCH(QStringList, environment);
    QFETCH(QByteArray, platform);
    QProcessEnvironment env;
    for (const QString& variable : environment)
        env.insert(variable.section('=', 0, 0), variable.section('=', 1));
    QCOMPARE(PlatformChoice::preferred(env), platform);
}

QTEST_MAIN(TestFrmMain)
#include "tst_frmmain.moc"
