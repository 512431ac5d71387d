#include "StationApp.h"

#include "CommandLine.h"
#include "common/UnhandledError.h"
#include "serial/PortDevice.h"
#include "station/Log.h"
#include "station/MessageBoxes.h"
#include "station/Station.h"

StationApp::StationApp() : m_port([this](int n) { return PortDevice::forPort(n, m_settings); }) {}

void StationApp::setFolders(Station& station, const CommandLine& line)
{
    if (!line.reportFolder.isEmpty())
        station.setReportFolder(line.reportFolder);
    station.setArchiveFolder(line.archiveFolder);
}

bool StationApp::startStation(const CommandLine& line, Station& station, MainView& view,
                              MessageBoxes& messages, bool statusIsLogged,
                              const std::function<void()>& open)
{
    const NetworkFaces::Problems problems = m_networkFaces.start(
        {line.mqttUrl, line.mqttPasswordFile, line.listen}, m_settings, station, view, m_clock);
    if (!problems.mqtt.isEmpty())
        messages.exclamation(problems.mqtt);
    // The page's problem is on the status line, which shows it only until the port's state
    // replaces it.
    if (!problems.web.isEmpty() && !statusIsLogged)
        Log::line(problems.web);
    return UnhandledError::guard(open);
}
