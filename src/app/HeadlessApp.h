#pragma once

#include "measurement/MainView.h"
#include "measurement/ProgramState.h"
#include "measurement/ReportWriter.h"
#include "serial/QtSerialControl.h"
#include "settings/SettingsStore.h"
#include "station/MessageBoxes.h"
#include "station/Station.h"

#include <QMap>
#include <QSocketNotifier>
#include <memory>

// What a window would show, told to the log instead: every change of the status line with its
// whole text, and every message box. Nothing per reading, unless asked for.
class LogView : public MainView {
public:
    explicit LogView(bool readingsToo) : m_readingsToo(readingsToo) {}

    QString labelText(Label label) const override { return m_texts.value(label); }
    void setLabelText(Label label, const QString& text) override;
    void setIndicatorColour(std::uint32_t) override {}
    bool isMinimized() const override { return false; }
    void setTitle(const QString&) override {}
    void showNotice(const QString& shown, const QString& whole) override;

private:
    QMap<Label, QString> m_texts;
    bool m_readingsToo;
};

class LogMessages : public MessageBoxes {
public:
    void plain(const QString& text) override;
    void exclamation(const QString& text) override;
    void error(const KoraError& error) override;
    void portError(const KoraError& error) override;
    void closePortFaultReports() override {}
};

// KORA without a screen: the same station, settings and report, on a QCoreApplication. It ends
// with status 0 on SIGTERM or SIGINT, having closed the port, and with 1 on an error that would
// end the window too.
class HeadlessApp {
public:
    HeadlessApp(const QString& reportFolder, bool readingsToo);
    ~HeadlessApp();

    // Opens the port. False when an error ended the program already.
    bool start();
    int exitStatus(int eventLoopStatus) const { return m_failed ? 1 : eventLoopStatus; }

private:
    void stopOnSignals();

    bool m_failed = false;
    ProgramState m_state;
    SettingsStore m_settings;
    SystemClock m_clock;
    QtSerialControl m_port;
    LogView m_view;
    LogMessages m_messages;
    Station m_station;
    std::unique_ptr<QSocketNotifier> m_signalNotifier;
};
