#pragma once

#include <QDialog>

class FrmMain;
class MessageBoxes;
class PortRecovery;
class QComboBox;
class QPushButton;
class SerialControl;
class SettingsStore;
struct ProgramState;

// The port selection dialog: one of Com1 to Com16, applied with "Set".
class FrmComm : public QDialog {
    Q_OBJECT
public:
    FrmComm(const FrmMain& main, SerialControl& port, SettingsStore& settings, ProgramState& state,
            MessageBoxes& messages, PortRecovery& recovery);

    // The 1-based number of the selected item, 0 when the typed text selects none.
    int chosenPort() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void load(const FrmMain& main);
    void set();

    SerialControl& m_port;
    SettingsStore& m_settings;
    ProgramState& m_state;
    MessageBoxes& m_messages;
    PortRecovery& m_recovery;
    QComboBox* m_cboPort = nullptr;
    QPushButton* m_btnCancel = nullptr;
    QPushButton* m_btnOK = nullptr;
};
