#pragma once

#include <QString>

// The log of a station without a screen: standard error, which systemd hands to the journal.
// Reading the sensor never waits for it: a line that a full pipe cannot take at once is
// dropped, and a closed or broken stream is passed over.
namespace Log {
void line(const QString& text);

// Qt's own warnings take the same way, so that they cannot block the program either.
void takeQtMessages();

// Standard input, output and error that a service manager or a shell left closed are opened on
// the null device: otherwise the next file opened, the serial port, would take their numbers
// and receive the log.
void ensureStandardStreams();
} // namespace Log
