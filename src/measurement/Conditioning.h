#pragma once

#include "MainView.h"

#include <cstdint>
#include <functional>

struct ProgramState;

// A block of readings as the archive keeps it: the averages shown, in degrees Celsius and
// percent, and the lowest and highest readings.
struct BlockSummary {
    double temperatureAverage = 0.0;
    double temperatureLow = 0.0;
    double temperatureHigh = 0.0;
    double humidityAverage = 0.0;
    double humidityLow = 0.0;
    double humidityHigh = 0.0;
    int readings = 0;
};

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

    // Receives each block after its report.
    using BlockSink = std::function<void(const BlockSummary& block)>;

    Conditioning(ProgramState& state, MainView& view, ReportSink report, BlockSink block = {});

    void run();
    // The last reading as run() took it, clamped as shown: degrees Celsius and percent.
    double lastTemperature() const { return m_lastTemperature; }
    double lastHumidity() const { return m_lastHumidity; }

private:
    double average(double sum) const;

    ProgramState& m_state;
    MainView& m_view;
    ReportSink m_report;
    BlockSink m_block;
    double m_lastTemperature = 0.0;
    double m_lastHumidity = 0.0;
};
