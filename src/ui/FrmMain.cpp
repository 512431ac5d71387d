#include "FrmMain.h"

#include "AppIcon.h"
#include "Fonts.h"
#include "FrmAbout.h"
#include "FrmComm.h"
#include "IndicatorCircle.h"
#include "MessageBoxes.h"
#include "Twips.h"
#include "common/UnhandledError.h"
#include "common/Version.h"
#include "measurement/ProgramState.h"
#include "serial/LineSetup.h"
#include "serial/PortDevice.h"
#include "serial/SerialControl.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>

namespace {
enum class Look { Heading, ValueBox, StatusLine, Indicator };

struct ControlRow {
    const char* name;
    const char* text; // UTF-8
    int left, top, width, height;
    Look look;
    double points;
    Qt::Alignment alignment;
    std::optional<MainView::Label> label;
};

// System colour 9 (text of an active title bar, white in the standard scheme) and 10 (border of
// an active window, light grey).
constexpr QPalette::ColorRole SchemeColour9 = QPalette::Base;
constexpr QPalette::ColorRole SchemeColour10 = QPalette::Midlight;

constexpr int ClientWidth = 3840;
constexpr int ClientHeight = 1740;

using L = MainView::Label;
const ControlRow Controls[] = {
    {"txtLabel1", "Now", 1200, 0, 855, 255, Look::Heading, 9.75, Qt::AlignHCenter, {}},
    {"Label5", "Average\r\n", 2160, 0, 855, 255, Look::Heading, 9.75, Qt::AlignHCenter, {}},
    {"Mon", "", 120, 240, 255, 255, Look::Indicator, 0, {}, {}},
    {"Label3", "Temp", 480, 240, 735, 375, Look::Heading, 12, Qt::AlignLeft, {}},
    {"txtTEMP", "", 1200, 240, 855, 375, Look::ValueBox, 14.25, Qt::AlignRight, L::Temperature},
    {"txtTEMPave", "---- ", 2160, 240, 855, 375, Look::ValueBox, 14.25, Qt::AlignRight,
     L::TemperatureAverage},
    {"Label2", "\u2103", 3240, 240, 375, 375, Look::Heading, 14.25, Qt::AlignLeft, {}},
    {"Label4", "Hum", 600, 720, 615, 375, Look::Heading, 12, Qt::AlignLeft, {}},
    {"txtHUM", "", 1200, 720, 855, 375, Look::ValueBox, 14.25, Qt::AlignRight, L::Humidity},
    {"txtHUMave", "---- ", 2160, 720, 855, 375, Look::ValueBox, 14.25, Qt::AlignRight,
     L::HumidityAverage},
    {"Label1", "%RH", 3120, 720, 615, 375, Look::Heading, 14.25, Qt::AlignLeft, {}},
    {"txtMon", "", 120, 1200, 3495, 375, Look::StatusLine, 0, Qt::AlignLeft, L::Status},
};
} // namespace

FrmMain::FrmMain(ProgramState& state, SettingsStore& settings, SerialControl& port,
                 const Clock& clock, MessageBoxes& messages,
                 ReportWriter::FileFactory makeReportFile, QWidget* parent)
    : QMainWindow(parent), m_state(state), m_settings(settings), m_port(port), m_messages(messages),
      m_clock(clock), m_reportWriter(state, *this, clock, std::move(makeReportFile)),
      m_conditioning(state, *this,
                     [this](double temperatureF, std::int16_t humidity) {
                         m_reportWriter.FileWrite(temperatureF, humidity);
                     }),
      m_reception(state, *this, port, m_conditioning), m_recovery(port, state.portFault)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowIcon(AppIcon::icon());
    buildControls();
    buildMenu();
    connect(&m_port, &SerialControl::OnComm, this, &FrmMain::onComm);
    connect(&m_port, &SerialControl::deviceLost, this, &FrmMain::onDeviceLost);
    connect(&m_recovery, &PortRecovery::reconnected, this, &FrmMain::onReconnected);
    connect(&m_recovery, &PortRecovery::retryFailed, this, [this](const QString& description) {
        // The reason, not the advice that follows it.
        showPortEvent(QStringLiteral("failing"), description.section(u'\n', 0, 0) + retrying());
    });
}

QString FrmMain::title()
{
    return QStringLiteral("KORa Ver ") + Version::text();
}

void FrmMain::buildControls()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);

    for (const ControlRow& row : Controls) {
        const QString name = QString::fromLatin1(row.name);
        const QRect geometry = Twips::rect(row.left, row.top, row.width, row.height);
        if (row.look == Look::Indicator) {
            m_mon = new IndicatorCircle(SchemeColour10, client);
            m_mon->setObjectName(name);
            m_mon->setGeometry(geometry);
            continue;
        }
        auto* label = new QLabel(QString::fromUtf8(row.text), client);
        label->setObjectName(name);
        label->setGeometry(geometry);
        label->setAlignment(row.alignment | Qt::AlignTop);
        label->setTextFormat(Qt::PlainText);
        label->setFocusPolicy(Qt::NoFocus);
        // The status line tells the whole of a long line when the pointer rests on it.
        if (row.look != Look::StatusLine)
            label->setAttribute(Qt::WA_TransparentForMouseEvents);
        if (row.points > 0)
            label->setFont(Fonts::gothic(row.points));
        if (row.look == Look::ValueBox || row.look == Look::StatusLine) {
            label->setFrameStyle(QFrame::Box | QFrame::Plain);
            label->setLineWidth(1);
            // A framed label otherwise indents its text by half an "x", also downwards when
            // top-aligned, and the digits would run into the lower border.
            label->setIndent(1);
            label->setBackgroundRole(SchemeColour9);
            label->setAutoFillBackground(true);
        }
        if (row.label)
            m_labels.insert(*row.label, label);
    }
}

void FrmMain::buildMenu()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    QAction* option = file->addAction(QStringLiteral("Option"));
    option->setObjectName(QStringLiteral("mnuOption"));
    QAction* exit = file->addAction(QStringLiteral("exit"));
    exit->setObjectName(QStringLiteral("mnuExit"));
    QAction* about = menuBar()->addAction(QStringLiteral("About"));
    about->setObjectName(QStringLiteral("mnuAbout"));

    connect(option, &QAction::triggered, this, &FrmMain::optionCommand);
    connect(exit, &QAction::triggered, this, &FrmMain::exitCommand);
    connect(about, &QAction::triggered, this, &FrmMain::aboutCommand);
    // The client area below the menu bar starts at its designed size; the user may resize the
    // window, and the controls stay where they are.
    // The window's layout gives the menu bar its height for the window's width, which with
    // Windows' style is a pixel more than its preferred height.
    const QSize client = Twips::size(ClientWidth, ClientHeight);
    int menuHeight = menuBar()->heightForWidth(client.width());
    if (menuHeight < 0)
        menuHeight = menuBar()->sizeHint().height();
    resize(client.width(), client.height() + menuHeight);
}

void FrmMain::load()
{
    setWindowTitle(title());

    const auto position = [this](const QString& key) {
        const QString stored =
            m_settings.GetSetting(SettingsKeys::Section, key, SettingsKeys::PositionDefault);
        // A hand-edited value that is not a number falls back to the default position.
        return SettingsText::toPosition(stored).value_or(
            *SettingsText::toPosition(SettingsKeys::PositionDefault));
    };
    const float top = position(SettingsKeys::Top);
    const float left = position(SettingsKeys::Left);
    setPositionTwips(left, top);

    const QString storedPort = m_settings.GetSetting(SettingsKeys::Section, SettingsKeys::CommPort,
                                                     SettingsKeys::CommPortDefault);
    try {
        LineSetup::startup(m_port, storedPort);
    } catch (const KoraError& error) {
        // The window opens all the same: the port is retried until its device appears, and
        // the user can choose another one in the port dialog. A port that opened but could not
        // be set up is closed, so that each try starts afresh.
        m_state.portFault = true;
        passOver([this] {
            if (m_port.PortOpen())
                m_port.setPortOpen(false);
        });
        // A stored number that is no port (edited by hand) leaves Com1 in force, which nobody
        // chose: it is not retried, and its box stays until the user has read it.
        const bool numberRefused = error.number() == ErrorNumber::InvalidPortNumber ||
                                   error.number() == ErrorNumber::Overflow;
        m_recovery.setPortChosen(!numberRefused);
        m_recovery.update();
        const KoraError explained(
            error.number(),
            PortDevice::explainFailure(error.number(), error.description(), m_settings));
        if (numberRefused)
            m_messages.error(explained);
        else
            m_messages.portError(explained);
    }
}

float FrmMain::leftTwips() const
{
    return Twips::fromPixels(pos().x());
}

float FrmMain::topTwips() const
{
    return Twips::fromPixels(pos().y());
}

void FrmMain::setPositionTwips(float left, float top)
{
    move(Twips::toPixels(left), Twips::toPixels(top));
}

QString FrmMain::labelText(Label label) const
{
    return m_labels.value(label)->text();
}

void FrmMain::setLabelText(Label label, const QString& text)
{
    QLabel* shown = m_labels.value(label);
    shown->setText(text);
    if (label == Label::Status)
        shown->setToolTip(text);
}

void FrmMain::setIndicatorColour(std::uint32_t colour)
{
    m_mon->setFillColour(QColor(colour & 0xff, (colour >> 8) & 0xff, (colour >> 16) & 0xff));
}

bool FrmMain::isMinimized() const
{
    return QMainWindow::isMinimized();
}

void FrmMain::setTitle(const QString& title)
{
    setWindowTitle(title);
}

void FrmMain::onComm()
{
    if (m_ended)
        return;
    // The report of a failure waits in a message box, whose event loop would deliver further
    // notifications: take none while a notification is being handled.
    m_ended = true;
    // Nothing is reopened behind the report of an error that ends the program.
    m_ended =
        !UnhandledError::guard([this] { m_reception.OnComm(); }, [this] { m_recovery.stop(); });
}

// Nobody may be at the screen when an adapter drops off the bus: the loss is told on the status
// line, and the port comes back by itself, without a box that waits for a click.
void FrmMain::onDeviceLost(const QString& description)
{
    m_state.portFault = true;
    m_reception.deviceLost();
    m_recovery.update();
    showPortEvent(QStringLiteral("lost"), description + retrying());
}

void FrmMain::onReconnected()
{
    // The port that works is the one to open at the next start, also where a failed "Set"
    // chose it: stored as a successful "Set" stores it.
    passOver([this] {
        m_settings.SaveSetting(SettingsKeys::Section, SettingsKeys::CommPort,
                               QString::number(m_port.CommPort()));
    });
    showPortEvent(
        QStringLiteral("back"),
        QStringLiteral("Com%1 (%2) is back").arg(m_port.CommPort()).arg(m_port.deviceName()));
    m_messages.closePortFaultReports();
}

QString FrmMain::retrying()
{
    return QStringLiteral("; retrying every %1 s").arg(PortRecovery::RetryIntervalMs / 1000);
}

// The status line is as wide as a report's line: it shows that the port is lost or back, and
// so that the readings above it are old; the device and the reason are in its tooltip.
void FrmMain::showPortEvent(const QString& what, const QString& whole)
{
    const QString stamp = ReportWriter::statusStamp(m_clock.now()) + u' ';
    setLabelText(Label::Status, stamp + QStringLiteral("Com%1 ").arg(m_port.CommPort()) + what);
    m_labels.value(Label::Status)->setToolTip(stamp + whole);
}

void FrmMain::passOver(const std::function<void()>& step)
{
    try {
        step();
    } catch (const KoraError&) {
    }
}

void FrmMain::savePosition()
{
    const float top = topTwips();
    const float left = leftTwips();
    passOver([&] {
        m_settings.SaveSetting(SettingsKeys::Section, SettingsKeys::Top,
                               SettingsText::fromPosition(top));
    });
    passOver([&] {
        m_settings.SaveSetting(SettingsKeys::Section, SettingsKeys::Left,
                               SettingsText::fromPosition(left));
    });
}

void FrmMain::exitCommand()
{
    m_recovery.stop();
    savePosition();
    passOver([&] { m_port.setPortOpen(false); });
    close();
}

void FrmMain::closeEvent(QCloseEvent* event)
{
    m_recovery.stop();
    savePosition();
    passOver([&] { m_port.setPortOpen(false); });
    event->accept();
    m_ended = true;
    QCoreApplication::quit();
}

void FrmMain::optionCommand()
{
    try {
        FrmComm dialog(*this, m_port, m_settings, m_state, m_messages, m_recovery);
        dialog.exec();
    } catch (...) {
        m_messages.plain(QStringLiteral("mnuOption Error"));
    }
    // "Set" decides which port is in force, and whether it needs retrying.
    m_recovery.update();
}

void FrmMain::aboutCommand()
{
    try {
        FrmAbout dialog(*this, m_messages);
        dialog.exec();
    } catch (...) {
        m_messages.plain(QStringLiteral("mnuAbout Error"));
    }
}
