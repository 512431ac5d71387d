#pragma once

#include "NetworkFaces.h"
#include "common/Clock.h"
#include "measurement/ProgramState.h"
#include "serial/QtSerialControl.h"
#include "settings/SettingsStore.h"

#include <functional>

class MainView;
class MessageBoxes;
class Station;
struct CommandLine;

// What the window and the service hold alike, and how both start: the state, settings, clock and
// port of the station they build; then its faces on the network, and last its port.
class StationApp {
protected:
    StationApp();
    // The faces must have been closed by then (closeFaces()): they hold on to the station.
    ~StationApp() = default;
    // The station ends cleanly: the broker hears "offline" now rather than the will later, and
    // neither face outlives the station and view that the derived face holds.
    void closeFaces() { m_networkFaces.close(); }

    // Sets the station's folders as the command line asks; the working folder for the report and
    // no archive where it names none.
    static void setFolders(Station& station, const CommandLine& line);
    // Starts the MQTT publisher and the page as the command line and settings ask: a part that
    // does not start is told in a message (MQTT), and in the log (the page), where the view's
    // status line is not the log already. Then opens the port with `open`. False when an error
    // ended the program on the way.
    bool startStation(const CommandLine& line, Station& station, MainView& view,
                      MessageBoxes& messages, bool statusIsLogged,
                      const std::function<void()>& open);

    ProgramState m_state;
    SettingsStore m_settings;
    SystemClock m_clock;
    QtSerialControl m_port;
    NetworkFaces m_networkFaces;
};
