#pragma once

#include "StationApp.h"
#include "station/Station.h"
#include "ui/FrmMain.h"
#include "ui/QtMessageBoxes.h"

#include <memory>

class StopSignals;

// The running program with its window: the station, and the main window that shows it.
class KoraApp : private StationApp {
public:
    // The report goes into the command line's report folder, or the working folder; the archive
    // into its archive folder, none where it is empty.
    explicit KoraApp(const CommandLine& line);
    ~KoraApp();

    // Loads and shows the main window, and starts the faces on the network that the command line
    // or the settings ask for. False when start-up failed; the error has been reported and the
    // program should end with a non-zero status.
    bool start();
    // Runs the event loop, unless a signal ended the program already during start-up; non-zero
    // once an unhandled error has ended the program.
    int exec();

    FrmMain& mainWindow() { return m_frmMain; }

private:
    const CommandLine& m_line;
    QtMessageBoxes m_messages;
    bool m_failed = false;
    FrmMain m_frmMain;
    Station m_station;
    bool m_stopped = false;
    std::unique_ptr<StopSignals> m_stopSignals;
};
