#pragma once

#include <QString>
#include <functional>

class SerialControl;
class SettingsStore;

namespace PortSelection {
// The port chosen in the dialog: 1-based item number, 0 when no item is selected.
// Closes, switches and reopens the port as needed, passing over failing steps. When any step
// failed, reportFailure gets the most recent failure's description and the port-fault flag is
// set; otherwise the port number is saved and the flag cleared.
// explain, where given, may add to the description what helps the user mend the failure.
void apply(SerialControl& port, SettingsStore& settings, bool& portFault, int chosen,
           const std::function<void(const QString&)>& reportFailure,
           const std::function<QString(int number, const QString&)>& explain = {});
} // namespace PortSelection
