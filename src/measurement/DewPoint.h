#pragma once

#include <optional>

// The dew point over water from a temperature and a relative humidity, by the Magnus form with
// Sonntag's constants, good to about 0.1 °C from -45 °C to 60 °C.
namespace DewPoint {
constexpr double A = 17.62;
constexpr double B = 243.12; // °C

// In °C, to the tenth; none where there is no water vapour (humidity 0 or below).
std::optional<double> of(double temperatureC, double relativeHumidity);
} // namespace DewPoint
