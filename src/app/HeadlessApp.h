#pragma once

#include "StationApp.h"
#include "measurement/MainView.h"
#include "station/MessageBoxes.h"
#include "station/Station.h"

#include <array>
#include <memory>

class StopSignals;
struct CommandLine;

// What a window would show, told to the log instead: every change of the status line with its
// whole text, and every message box. Nothing per reading, unless asked for.
class LogView : public MainView {
public:
    explicit LogView(bool readingsToo) : m_readingsToo(readingsToo) {}

    QString labelText(Label label) const override { return m_texts[std::size_t(label)]; }
    void setLabelText(Label label, const QString& text) override;
    void setIndicatorColour(std::uint32_t) override {}
    bool isMinimized() const override { return false; }
    void setTitle(const QString&) override {}
    void showNotice(const QString& shown, const QString& whole) override;

private:
    std::array<QString, std::size_t(Label::Status) + 1> m_texts;
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
// with status 0 on SIGTERM, SIGINT or SIGHUP, having closed the port, with 1 on an error that
// would end the window too, and with NotConfigured at start-up when the stored port number is no
// port: without a window nobody could choose another one.
class HeadlessApp : private StationApp {
public:
    // The status of a service that cannot run as it is set up (as init scripts number it).
    static constexpr int NotConfigured = 6;

    explicit HeadlessApp(const CommandLine& line);
    ~HeadlessApp();

    // The whole program without a screen, as its command line asks; its exit status.
    static int run(int argc, char* argv[], const CommandLine& line);

    // Opens the port, publishes to the MQTT broker and serves the web page where they are set.
    // False when the program is to end already, with exitStatus().
    bool start();
    int exitStatus(int eventLoopStatus = 0) const
    {
        return m_exitStatus != 0 ? m_exitStatus : eventLoopStatus;
    }

private:
    QString storedPortProblem() const;

    const CommandLine& m_line;
    int m_exitStatus = 0;
    // What kept the last climate summary from being written, told once.
    QString m_climateProblem;
    LogView m_view;
    LogMessages m_messages;
    Station m_station;
    std::unique_ptr<StopSignals> m_stopSignals;
};
