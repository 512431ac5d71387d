#pragma once

#include <QString>
#include <cstdint>

// The process-wide state. Each field has one writer: the receive buffer belongs to the
// reception, the sums and count to the conditioning, the port-fault flag to the port dialog and
// the output directory to the report writer.
struct ProgramState {
    QString receiveBuffer;
    double temperatureSum = 0.0;
    double humiditySum = 0.0;
    std::int16_t sampleCount = 0;
    bool portFault = false;
    QString outputDirectory;
};
