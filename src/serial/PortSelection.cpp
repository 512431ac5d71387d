#include "PortSelection.h"

#include "LineSetup.h"
#include "SerialControl.h"
#include "common/KoraError.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

void PortSelection::apply(SerialControl& port, SettingsStore& settings, bool& portFault, int chosen,
                          const std::function<void(const QString&)>& reportFailure,
                          const std::function<QString(int number, const QString&)>& explain)
{
    LineSetup::Outcome outcome;
    const auto step = [&outcome](const std::function<void()>& body) {
        try {
            body();
        } catch (const KoraError& error) {
            outcome.record(error.number(), error.description());
        }
    };

    int current = 0;
    step([&] { current = port.CommPort(); });

    bool reopenMark = false;
    if (chosen != current || portFault) {
        if (port.PortOpen()) {
            reopenMark = true;
            step([&] { port.setPortOpen(false); });
            step([&] { port.setDTREnable(false); });
            step([&] { port.setRTSEnable(false); });
        }
        step([&] { port.setCommPort(chosen); });
    }
    if (reopenMark || portFault)
        LineSetup::reopen(port, outcome);

    if (outcome.failed) {
        // Set before the report, which waits for the user: the port may come back meanwhile,
        // and then clears the flag.
        portFault = true;
        reportFailure(explain ? explain(outcome.number, outcome.description) : outcome.description);
        return;
    }
    step([&] {
        settings.SaveSetting(SettingsKeys::Section, SettingsKeys::CommPort,
                             QString::number(port.CommPort()));
    });
    portFault = false;
}
