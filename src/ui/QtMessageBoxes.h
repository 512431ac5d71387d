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

private:
    enum class Kind { Plain, PortFault };
    void show(QMessageBox::Icon icon, const QString& text, Kind kind);

    QWidget* m_parent;
    QList<QPointer<QMessageBox>> m_portFaultBoxes;
};
