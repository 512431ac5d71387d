#pragma once

#include "MainView.h"

#include <cstdint>
#include <functional>

struct ProgramState;

// Turns the two field texts just shown into one reading: clamps it, sums it and, every 300th
// reading, shows the averages and hands them to the report.
class Conditioning {
public:
    static constexpr int ReadingsPerRun = 300;
    static constexpr double TemperatureLow = -40.0;
    static constexpr double UpperLimit = 100.0;
    static constexpr double OverLimitReplacement = 99.0;
    static constexpr double HumidityLow = 0.0;

    // Receives the average temperature in degrees Fahrenheit and the whole average humidity.
    using ReportSink = std::function<void(double temperatureF, std::int16_t humidity)>;

    Conditioning(ProgramState& state, MainView& view, ReportSink report);

    void run();

private:
    double average(double sum) const;

    ProgramState& m_state;
    MainView& m_view;
    ReportSink m_report;
};
