#pragma once

#include "Archive.h"
#include "HistoryModel.h"
#include "measurement/Conditioning.h"
#include "measurement/Reception.h"
#include "measurement/ReportWriter.h"
#include "serial/PortRecovery.h"

#include <QObject>
#include <QTimer>

class MainView;
class MessageBoxes;
class SerialControl;
class SettingsStore;
struct ProgramState;

// The weather station's flow, whatever shows it: sensor lines from the port become readings, and
// every 300 readings the report. It keeps the port in force working: opens the stored one at
// start-up, notices when its device goes, comes back or falls silent, retries it, and closes it
// when the program ends. What a person is to know goes to the status line of the view and, where
// it needs an answer or must stay, to a message box.
class Station : public QObject {
    Q_OBJECT
public:
    // A sensor sends a line every second or so: this long without one means it is no longer
    // being heard, although its port is open.
    static constexpr int SilenceLimitMs = 5 * 60 * 1000;

    Station(ProgramState& state, SettingsStore& settings, SerialControl& port, const Clock& clock,
            MainView& view, MessageBoxes& messages, ReportWriter::FileFactory makeReportFile = {},
            QObject* parent = nullptr);
    ~Station() override;

    // The folder that receives wxnow.txt: the beacon software's. The working folder by default.
    void setReportFolder(const QString& folder) { m_reportWriter.setFolder(folder); }
    QString reportFolder() const { return m_reportWriter.folder(); }
    // The folder of the archive; none is kept until it is set.
    void setArchiveFolder(const QString& folder)
    {
        m_archive.setFolder(folder);
        m_history = {};
        m_historyTimer.stop();
    }
    QString archiveFolder() const { return m_archive.folder(); }
    // The archive's last month as drawn; read from the archive, a slice at a time, from the
    // first time it is asked for (archived() tells when it is all there), and kept with each row
    // archived since.
    const HistoryModel& history();
    // How long one slice of reading the archive may hold up the port's notifications.
    static constexpr int HistorySliceMs = 10;

    // Start-up: opens the stored port (or Com1) and sets it up. A port that fails is told and
    // left closed with the port-fault flag set, and retried until it works, unless its stored
    // number is no port at all.
    void openStoredPort();
    // The port dialog has closed: "Set" decided which port is in force, and whether it needs
    // retrying.
    void portChosen();
    // The program ends: nothing is retried any more and the port is closed. Every failure on
    // the way is passed over.
    void end();

    // Tells, once, that the open port has delivered no complete line for the silence limit.
    // Runs by itself; public so that the clock can be moved on in tests.
    void checkSilence();
    bool isSilent() const { return m_silent; }
    bool watchesSilence() const { return m_silenceTimer.isActive(); }
    // For tests of the running flow, which cannot wait five minutes.
    void setSilenceLimit(int milliseconds) { m_silenceLimitMs = milliseconds; }

    PortRecovery& portRecovery() { return m_recovery; }

signals:
    // A block's or an event's row has gone to the archive, or failed to.
    void archived();
    // A sensor line became a reading, as shown (clamped): degrees Celsius and percent.
    void readingTaken(double temperature, double humidity);
    // A block of readings has been averaged, and its report written or told as not written.
    void blockDone(const BlockSummary& block);
    // What became of the port, with the status line's text; Open once the stored port has
    // opened at start-up.
    void portNoticed(PortEvent what, const QString& shown);

public:
    // Runs a step whose failure does not matter to what follows.
    static void passOver(const std::function<void()>& step);

protected:
    // Who listens to each reading, counted as they connect: a line then asks nothing more.
    void connectNotify(const QMetaMethod& signal) override;
    void disconnectNotify(const QMetaMethod& signal) override;

private:
    void onComm();
    void loadHistorySlice();
    void onDeviceLost(const QString& description);
    void onReconnected();
    void heard();
    // Told on the status line, and kept in the archive unless it repeats what was told.
    void notice(PortEvent what, const QString& whole, bool archive = true);
    void archiveBlock(const BlockSummary& block);
    void archiveEvent(const QDateTime& at, PortEvent event, const QString& detail);
    QString portName() const;
    QString retrying() const;

    ProgramState& m_state;
    SettingsStore& m_settings;
    SerialControl& m_port;
    const Clock& m_clock;
    MainView& m_view;
    MessageBoxes& m_messages;
    ReportWriter m_reportWriter;
    Archive m_archive;
    HistoryModel m_history;
    Conditioning m_conditioning;
    Reception m_reception;
    PortRecovery m_recovery;
    QTimer m_silenceTimer;
    QTimer m_historyTimer;
    // When the port was last heard from: its last complete line, or its opening; and when the
    // last line came, -1 for none. On the monotonic clock, so that setting the wall clock
    // (an NTP step) neither hastens nor delays the silence notice.
    qint64 m_lastHeard = 0;
    qint64 m_lastReading = -1;
    int m_silenceLimitMs = SilenceLimitMs;
    bool m_silent = false;
    bool m_ended = false;
    int m_readingListeners = 0;
};
