#pragma once

#include <QString>
#include <cstdint>

// The process-wide state. The receive buffer belongs to the reception, the sums and count to the
// conditioning and the output directory to the report writer. The port-fault flag says that the
// port in force is not working as chosen: the port dialog sets it by what "Set" met, the main
// window when the port fails at start-up or its device is lost, and the port recovery clears it
// once the port works again.
struct ProgramState {
    QString receiveBuffer;
    double temperatureSum = 0.0;
    double humiditySum = 0.0;
    std::int16_t sampleCount = 0;
    // The block's lowest and highest readings so far, for the archive.
    double temperatureLow = 0.0;
    double temperatureHigh = 0.0;
    double humidityLow = 0.0;
    double humidityHigh = 0.0;
    bool portFault = false;
    QString outputDirectory;
};
