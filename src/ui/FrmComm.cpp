#include "FrmComm.h"

#include "FrmMain.h"
#include "Twips.h"
#include "measurement/ProgramState.h"
#include "serial/PortDevice.h"
#include "serial/PortRecovery.h"
#include "serial/PortSelection.h"
#include "serial/SerialControl.h"
#include "station/MessageBoxes.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QPushButton>

namespace {
constexpr int ClientWidth = 2895;
constexpr int ClientHeight = 585;

struct ControlRow {
    const char* name;
    const char* text;
    int left, top, width, height;
};
const ControlRow PortCombo = {"cboPort", "comm1", 120, 120, 1095, 300};
const ControlRow CancelButton = {"btnCancel", "Cancel", 1320, 120, 735, 375};
const ControlRow SetButton = {"btnOK", "Set", 2160, 120, 615, 375};

template <typename Widget> Widget* place(Widget* widget, const ControlRow& row)
{
    widget->setObjectName(QString::fromLatin1(row.name));
    widget->setGeometry(Twips::rect(row.left, row.top, row.width, row.height));
    return widget;
}

QPushButton* button(const ControlRow& row, QWidget* parent)
{
    auto* pushButton = place(new QPushButton(QString::fromLatin1(row.text), parent), row);
    // Neither button answers Enter: a dialog's buttons would otherwise become default ones.
    pushButton->setAutoDefault(false);
    pushButton->setDefault(false);
    return pushButton;
}
} // namespace

FrmComm::FrmComm(const FrmMain& main, SerialControl& port, SettingsStore& settings,
                 ProgramState& state, MessageBoxes& messages, PortRecovery& recovery)
    : QDialog(const_cast<FrmMain*>(&main), Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint |
                                               Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_port(port), m_settings(settings), m_state(state), m_messages(messages), m_recovery(recovery)
{
    setObjectName(QStringLiteral("frmComm"));
    setWindowTitle(QStringLiteral("Comm Port"));
    setFixedSize(Twips::size(ClientWidth, ClientHeight));

    m_cboPort = place(new QComboBox(this), PortCombo);
    m_cboPort->setEditable(true);
    m_cboPort->setInsertPolicy(QComboBox::NoInsert);
    // Completion would turn a typed "Com" into "Com1" and switch to a port nobody chose.
    m_cboPort->setCompleter(nullptr);
    m_cboPort->setEditText(QString::fromLatin1(PortCombo.text));
    m_btnCancel = button(CancelButton, this);
    m_btnOK = button(SetButton, this);
    setTabOrder(m_cboPort, m_btnCancel);
    setTabOrder(m_btnCancel, m_btnOK);

    connect(m_btnOK, &QPushButton::clicked, this, &FrmComm::set);
    connect(m_btnCancel, &QPushButton::clicked, this, &FrmComm::reject);
    load(main);
}

void FrmComm::load(const FrmMain& main)
{
    move(Twips::toPixels(main.leftTwips() + 50.0f), Twips::toPixels(main.topTwips() + 500.0f));
    // Each item names the device its number stands for, so that a user can find the adapter.
    const QList<PortDevice::Present> present = PortDevice::present();
    for (int n = SerialControl::FirstPort; n <= SerialControl::LastPort; ++n) {
        m_cboPort->addItem(QStringLiteral("Com") + QString::number(n));
        m_cboPort->setItemData(m_cboPort->count() - 1,
                               PortDevice::describe(PortDevice::forPort(n, m_settings), present),
                               Qt::ToolTipRole);
    }
    const int index = m_port.CommPort() - 1;
    if (index >= 0 && index < m_cboPort->count())
        m_cboPort->setCurrentIndex(index);
    else
        m_cboPort->setEditText(QString::fromLatin1(PortCombo.text));
}

int FrmComm::chosenPort() const
{
    const int index = m_cboPort->currentIndex();
    if (index < 0 || m_cboPort->currentText() != m_cboPort->itemText(index))
        return 0;
    return index + 1;
}

void FrmComm::set()
{
    m_recovery.setPortChosen(true);
    PortSelection::apply(
        m_port, m_settings, m_state.portFault, chosenPort(),
        [this](const QString& description) {
            // The chosen port is retried while the report waits, which goes once it works.
            m_recovery.update();
            m_messages.exclamation(description);
        },
        [this](int number, const QString& description) {
            return PortDevice::explainFailure(number, description, m_settings);
        });
    accept();
}

void FrmComm::keyPressEvent(QKeyEvent* event)
{
    // Escape is not bound to "Cancel" here.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
