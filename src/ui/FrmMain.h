#pragma once

#include "measurement/MainView.h"
#include "station/Station.h"

#include <QMainWindow>
#include <QMap>

class FrmHistory;
class IndicatorCircle;
class KoraError;
class MessageBoxes;
class QLabel;
class SerialControl;
class SettingsStore;
struct ProgramState;

// The main window: current and averaged readings, the receive indicator, the status line of
// the last report and the menu. It shows the station attached to it, which is its view, and
// keeps its own position.
class FrmMain : public QMainWindow, public MainView {
    Q_OBJECT
public:
    FrmMain(ProgramState& state, SettingsStore& settings, SerialControl& port, const Clock& clock,
            MessageBoxes& messages, QWidget* parent = nullptr);
    // The station that this window shows; before load(), and for as long as the window is.
    void attach(Station& station) { m_station = &station; }

    static QString title();

    // Start-up: title, stored position, then the station opens its port.
    void load();

    // The window's outer corner in twips.
    float leftTwips() const;
    float topTwips() const;
    void setPositionTwips(float left, float top);

    Station& station() { return *m_station; }
    PortRecovery& portRecovery() { return m_station->portRecovery(); }

    QString labelText(Label label) const override;
    void setLabelText(Label label, const QString& text) override;
    void setIndicatorColour(std::uint32_t colour) override;
    bool isMinimized() const override;
    void setTitle(const QString& title) override;
    void showNotice(const QString& shown, const QString& whole) override;

public slots:
    void exitCommand();
    void optionCommand();
    void historyCommand();
    void aboutCommand();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenu();
    float storedPosition(const QString& key, QList<KoraError>& unreadable);
    void savePosition();

    ProgramState& m_state;
    SettingsStore& m_settings;
    SerialControl& m_port;
    MessageBoxes& m_messages;
    const Clock& m_clock;
    Station* m_station = nullptr;
    FrmHistory* m_history = nullptr;
    QMap<Label, QLabel*> m_labels;
    IndicatorCircle* m_mon = nullptr;
};
