#pragma once

#include "measurement/Conditioning.h"
#include "measurement/MainView.h"
#include "measurement/Reception.h"
#include "measurement/ReportWriter.h"
#include "serial/PortRecovery.h"

#include <QMainWindow>
#include <QMap>

class IndicatorCircle;
class MessageBoxes;
class QLabel;
class SerialControl;
class SettingsStore;
struct ProgramState;

// The main window: current and averaged readings, the receive indicator, the status line of
// the last report and the menu. It holds the serial port for the program's whole life.
class FrmMain : public QMainWindow, public MainView {
    Q_OBJECT
public:
    FrmMain(ProgramState& state, SettingsStore& settings, SerialControl& port, const Clock& clock,
            MessageBoxes& messages, ReportWriter::FileFactory makeReportFile = {},
            QWidget* parent = nullptr);

    static QString title();

    // Start-up: title, stored position, then the port. A port that cannot be opened is
    // reported and leaves the port closed with the port-fault flag set, so that the port
    // dialog can open one later.
    void load();

    // The window's outer corner in twips.
    float leftTwips() const;
    float topTwips() const;
    void setPositionTwips(float left, float top);

    PortRecovery& portRecovery() { return m_recovery; }

    QString labelText(Label label) const override;
    void setLabelText(Label label, const QString& text) override;
    void setIndicatorColour(std::uint32_t colour) override;
    bool isMinimized() const override;
    void setTitle(const QString& title) override;

public slots:
    void exitCommand();
    void optionCommand();
    void aboutCommand();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void buildMenu();
    void onComm();
    void onDeviceLost(const QString& description);
    void onReconnected();
    void showPortEvent(const QString& what, const QString& whole);
    static QString retrying();
    void savePosition();
    void passOver(const std::function<void()>& step);

    ProgramState& m_state;
    SettingsStore& m_settings;
    SerialControl& m_port;
    MessageBoxes& m_messages;
    const Clock& m_clock;
    ReportWriter m_reportWriter;
    Conditioning m_conditioning;
    Reception m_reception;
    PortRecovery m_recovery;
    QMap<Label, QLabel*> m_labels;
    IndicatorCircle* m_mon = nullptr;
    bool m_ended = false;
};
