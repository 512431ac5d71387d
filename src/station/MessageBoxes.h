#pragma once

#include <QString>

class KoraError;

// The program's message boxes, all titled "KORA" with a single OK button. The program shows them
// through this interface: a window as boxes, the headless mode in its log, tests record them.
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

    // How an error reads in a box: its number, then its description.
    static QString errorText(const KoraError& error);
};
