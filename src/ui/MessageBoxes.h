#pragma once

#include <QList>
#include <QMessageBox>
#include <QPointer>
#include <QString>

class KoraError;

// The program's message boxes, all titled "KORA" with a single OK button. Windows show them
// through this interface so tests can answer them without a modal box.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // A fixed text naming the handler that failed, no icon.
    virtual void plain(const QString& text) = 0;
    // A failure's own description, with an exclamation icon: a "Set" that failed. The box goes
    // away by itself when the port comes back.
    virtual void exclamation(const QString& text) = 0;
    // An error's number and description; the box stays until it is dismissed.
    virtual void error(const KoraError& error) = 0;
    // The same for a port that would not open at start-up; the box goes away by itself when the
    // port comes back.
    virtual void portError(const KoraError& error) = 0;
    // The port works again: boxes still open that report a failure of it go away.
    virtual void closePortFaultReports() = 0;
};

class QtMessageBoxes : public MessageBoxes {
public:
    explicit QtMessageBoxes(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }

    void plain(const QString& text) override;
    void exclamation(const QString& text) override;
    void error(const KoraError& error) override;
    void portError(const KoraError& error) override;
    void closePortFaultReports() override;

    static QString errorText(const KoraError& error);

private:
    enum class Kind { Plain, PortFault };
    void show(QMessageBox::Icon icon, const QString& text, Kind kind);

    QWidget* m_parent;
    QList<QPointer<QMessageBox>> m_portFaultBoxes;
};
