#include "FrmMain.h"

#include "AppIcon.h"
#include "Fonts.h"
#include "FrmAbout.h"
#include "FrmComm.h"
#include "FrmHistory.h"
#include "IndicatorCircle.h"
#include "MainControls.h"
#include "Twips.h"
#include "common/KoraError.h"
#include "common/Version.h"
#include "measurement/ProgramState.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "station/MessageBoxes.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>

FrmMain::FrmMain(ProgramState& state, SettingsStore& settings, SerialControl& port,
                 const Clock& clock, MessageBoxes& messages, QWidget* parent)
    : QMainWindow(parent), m_state(state), m_settings(settings), m_port(port), m_messages(messages),
      m_clock(clock)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowIcon(AppIcon::icon());
    setCentralWidget(MainControls::build(this, m_labels, m_mon));
    buildMenu();
}

QString FrmMain::title()
{
    return QStringLiteral("KORa Ver ") + Version::text();
}

void FrmMain::buildMenu()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    QAction* option = file->addAction(QStringLiteral("Option"));
    option->setObjectName(QStringLiteral("mnuOption"));
    QAction* history = file->addAction(QStringLiteral("History"));
    history->setObjectName(QStringLiteral("mnuHistory"));
    QAction* exit = file->addAction(QStringLiteral("exit"));
    exit->setObjectName(QStringLiteral("mnuExit"));
    QAction* about = menuBar()->addAction(QStringLiteral("About"));
    about->setObjectName(QStringLiteral("mnuAbout"));

    connect(option, &QAction::triggered, this, &FrmMain::optionCommand);
    connect(history, &QAction::triggered, this, &FrmMain::historyCommand);
    connect(exit, &QAction::triggered, this, &FrmMain::exitCommand);
    connect(about, &QAction::triggered, this, &FrmMain::aboutCommand);
    // The client area below the menu bar starts at its designed size; the user may resize the
    // window, and the controls stay where they are.
    // The window's layout gives the menu bar its height for the window's width, which with
    // Windows' style is a pixel more than its preferred height.
    const QSize client = Twips::size(MainControls::ClientWidth, MainControls::ClientHeight);
    int menuHeight = menuBar()->heightForWidth(client.width());
    if (menuHeight < 0)
        menuHeight = menuBar()->sizeHint().height();
    resize(client.width(), client.height() + menuHeight);
}

void FrmMain::load()
{
    setWindowTitle(title());
    QList<KoraError> unreadable;
    const float top = storedPosition(SettingsKeys::Top, unreadable);
    const float left = storedPosition(SettingsKeys::Left, unreadable);
    setPositionTwips(left, top);
    // A box waits for its click: the port is opened first, so that a station restarted with
    // nobody at the screen takes readings meanwhile.
    m_station->openStoredPort();
    for (const KoraError& error : unreadable)
        m_messages.error(error);
}

// A hand-edited value that is not a number is told, like such a port number, and the window
// opens at the default position.
float FrmMain::storedPosition(const QString& key, QList<KoraError>& unreadable)
{
    const QString stored =
        m_settings.GetSetting(SettingsKeys::Section, key, SettingsKeys::PositionDefault);
    if (const std::optional<float> position = SettingsText::toPosition(stored))
        return *position;
    unreadable << KoraError(ErrorNumber::TypeMismatch,
                            QStringLiteral("The stored position %1 \"%2\" is not a number; the "
                                           "window opens at %3")
                                .arg(key, stored, SettingsKeys::PositionDefault));
    return *SettingsText::toPosition(SettingsKeys::PositionDefault);
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

void FrmMain::showNotice(const QString& shown, const QString& whole)
{
    QLabel* status = m_labels.value(Label::Status);
    status->setText(shown);
    status->setToolTip(whole);
}

void FrmMain::savePosition()
{
    const float top = topTwips();
    const float left = leftTwips();
    Station::passOver([&] {
        m_settings.SaveSetting(SettingsKeys::Section, SettingsKeys::Top,
                               SettingsText::fromPosition(top));
    });
    Station::passOver([&] {
        m_settings.SaveSetting(SettingsKeys::Section, SettingsKeys::Left,
                               SettingsText::fromPosition(left));
    });
}

void FrmMain::historyCommand()
{
    if (!m_history) {
        m_history = new FrmHistory([this]() -> const HistoryModel& { return m_station->history(); },
                                   m_settings, m_clock, this);
        connect(m_station, &Station::archived, m_history, &FrmHistory::reload);
    }
    m_history->show();
    m_history->raise();
    m_history->activateWindow();
}

void FrmMain::exitCommand()
{
    savePosition();
    m_station->end();
    close();
}

void FrmMain::closeEvent(QCloseEvent* event)
{
    savePosition();
    if (m_history && m_history->isVisible())
        m_history->close();
    m_station->end();
    event->accept();
    QCoreApplication::quit();
}

void FrmMain::optionCommand()
{
    try {
        FrmComm dialog(*this, m_port, m_settings, m_state, m_messages, m_station->portRecovery());
        dialog.exec();
    } catch (...) {
        m_messages.plain(QStringLiteral("mnuOption Error"));
    }
    m_station->portChosen();
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
