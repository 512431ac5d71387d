#pragma once

#include <QString>

class KoraError;
class QWidget;

// The program's message boxes, all titled "KORA" with a single OK button. Windows show them
// through this interface so tests can answer them without a modal box.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // A fixed text naming the handler that failed, no icon.
    virtual void plain(const QString& text) = 0;
    // A failure's own description, with an exclamation icon.
    virtual void exclamation(const QString& text) = 0;
    // An error's number and description.
    virtual void error(const KoraError& error) = 0;
};

class QtMessageBoxes : public MessageBoxes {
public:
    explicit QtMessageBoxes(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }

    void plain(const QString& text) override;
    void exclamation(const QString& text) override;
    void error(const KoraError& error) override;

    static QString errorText(const KoraError& error);

private:
    QWidget* m_parent;
};
