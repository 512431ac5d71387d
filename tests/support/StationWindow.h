#pragma once

#include "measurement/ReportWriter.h"
#include "station/Station.h"
#include "ui/FrmMain.h"

// The main window with the station it shows, wired as the program wires them.
class StationWindow : public FrmMain {
public:
    StationWindow(ProgramState& state, SettingsStore& settings, SerialControl& port,
                  const Clock& clock, MessageBoxes& messages,
                  ReportWriter::FileFactory makeReportFile = {})
        : FrmMain(state, settings, port, clock, messages),
          m_shown(state, settings, port, clock, *this, messages, std::move(makeReportFile))
    {
        attach(m_shown);
    }

private:
    Station m_shown;
};
