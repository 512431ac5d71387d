#pragma once

#include "FakeSerialControl.h"
#include "FakeView.h"
#include "FixedClock.h"
#include "RecordingMessages.h"
#include "TestSettings.h"
#include "measurement/ProgramState.h"
#include "station/Station.h"

// A station on fakes: its port, clock, view and message boxes, and settings of its own.
struct StationRig {
    ProgramState state;
    TestSettings settings;
    FakeSerialControl port;
    FixedClock clock;
    FakeView view;
    RecordingMessages messages;
    Station station{state, *settings, port, clock, view, messages};
};
