#include "LineSetup.h"

#include "SerialControl.h"
#include "common/KoraError.h"

#include <QLocale>
#include <cmath>
#include <functional>
#include <limits>

short LineSetup::storedPortNumber(const QString& storedPort)
{
    bool ok = false;
    double value = QLocale::c().toDouble(storedPort.trimmed(), &ok);
    if (!ok)
        value = QLocale().toDouble(storedPort.trimmed(), &ok);
    if (!ok) {
        throw KoraError(
            ErrorNumber::InvalidPortNumber,
            QStringLiteral("The stored port number \"%1\" is not a number").arg(storedPort));
    }
    const double rounded = std::nearbyint(value);
    if (rounded < std::numeric_limits<short>::min() || rounded > std::numeric_limits<short>::max())
        throw KoraError(ErrorNumber::Overflow, QStringLiteral("Overflow"));
    return static_cast<short>(rounded);
}

void LineSetup::startup(SerialControl& port, const QString& storedPort)
{
    if (!storedPort.isEmpty())
        port.setCommPort(storedPortNumber(storedPort));
    port.setPortOpen(true);
    port.setSettings(Settings);
    port.setHandshaking(0);
    port.setRTSEnable(false);
    port.setRThreshold(1);
    port.setSThreshold(1);
    port.setDTREnable(false);
}

void LineSetup::reopen(SerialControl& port, Outcome& outcome)
{
    const std::function<void()> steps[] = {
        [&] { port.setPortOpen(true); }, [&] { port.setSettings(Settings); },
        [&] { port.setHandshaking(0); }, [&] { port.setRTSEnable(false); },
        [&] { port.setRThreshold(1); },  [&] { port.setSThreshold(1); },
    };
    for (const auto& step : steps) {
        try {
            step();
        } catch (const KoraError& error) {
            outcome.record(error.number(), error.description());
        }
    }
}
