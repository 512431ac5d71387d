#pragma once

#include "station/MessageBoxes.h"

#include <QList>
#include <QMessageBox>
#include <QPointer>

class QtMessageBoxes : public MessageBoxes {
public:
    explicit QtMessageBoxes(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }

    void plain(const QString& text) override;
    void exclamation(const QString& text) override;
    void error(const KoraError& error) override;
    void portError(const KoraError& error) override;
    void closePortFaultReports() override;
    // The program ends: every box still open goes, and none is shown any more. A box that
    // waits at start-up runs an event loop of its own, which would keep the program alive.
    void endAll();

private:
    enum class Kind { Plain, PortFault };
    struct OpenBox {
        QPointer<QMessageBox> box;
        Kind kind;
    };
    void show(QMessageBox::Icon icon, const QString& text, Kind kind);
    void close(bool portFaultsOnly);

    QWidget* m_parent;
    QList<OpenBox> m_open;
    bool m_ended = false;
};
