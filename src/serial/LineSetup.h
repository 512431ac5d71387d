#pragma once

#include <QString>

class SerialControl;

namespace LineSetup {
inline const QString Settings = QStringLiteral("9600,n,8,1");

// Start-up: optional port number, open, then the line settings. Any failing put throws.
void startup(SerialControl& port, const QString& storedPort);

// After a port change: open and apply the line settings, each put attempted even when an
// earlier one failed. Returns the description of the most recent failure, if any.
struct Outcome {
    bool failed = false;
    int number = 0;
    QString description;
    void record(int errorNumber, const QString& text)
    {
        failed = true;
        number = errorNumber;
        description = text;
    }
};
void reopen(SerialControl& port, Outcome& outcome);

// The stored port number as a 16-bit integer; throws KoraError when it is not a number.
short storedPortNumber(const QString& storedPort);
} // namespace LineSetup
