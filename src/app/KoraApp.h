#pragma once

#include "measurement/ProgramState.h"
#include "common/Clock.h"
#include "serial/QtSerialControl.h"
#include "settings/SettingsStore.h"
#include "NetworkFaces.h"
#include "ui/FrmMain.h"
#include "ui/QtMessageBoxes.h"

#include <memory>

class StopSignals;

// The running program: its state, settings, port and main window, wired together.
class KoraApp {
public:
    // The report goes into reportFolder, or the working folder when it is empty; the archive
    // into archiveFolder, none when it is empty.
    explicit KoraApp(const QString& reportFolder = {}, const QString& archiveFolder = {});
    ~KoraApp();

    // Loads and shows the main window, and publishes to the MQTT broker where one is set. False
    // when start-up failed; the error has been reported and the program should end with a
    // non-zero status.
    bool start(const QString& mqttUrl = {}, const QString& mqttPasswordFile = {},
               const QString& listen = {});
    // Runs the event loop, unless a signal ended the program already during start-up; non-zero
    // once an unhandled error has ended the program.
    int exec();

    FrmMain& mainWindow() { return m_frmMain; }

private:
    QtMessageBoxes m_messages;
    bool m_failed = false;
    ProgramState m_state;
    SettingsStore m_settings;
    SystemClock m_clock;
    QtSerialControl m_port;
    FrmMain m_frmMain;
    bool m_stopped = false;
    std::unique_ptr<StopSignals> m_stopSignals;
    NetworkFaces m_networkFaces;
};
