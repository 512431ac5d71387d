#pragma once

#include <QDialog>

class FrmMain;
class MessageBoxes;
class QLabel;
class QPushButton;

// The version dialog: title, version, description, icon and copyright notice.
class FrmAbout : public QDialog {
    Q_OBJECT
public:
    static const char* const Copyright;

    FrmAbout(const FrmMain& main, MessageBoxes& messages);

private:
    void load(const FrmMain& main);
    void okClicked();

    MessageBoxes& m_messages;
    QLabel* m_picIcon = nullptr;
    QPushButton* m_cmdOK = nullptr;
    QLabel* m_copyright = nullptr;
    QLabel* m_lblDescription = nullptr;
    QLabel* m_lblTitle = nullptr;
    QLabel* m_lblVersion = nullptr;
};
