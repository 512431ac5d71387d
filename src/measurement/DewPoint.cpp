#include "DewPoint.h"

#include <cmath>

std::optional<double> DewPoint::of(double temperatureC, double relativeHumidity)
{
    if (!(relativeHumidity > 0.0) || !std::isfinite(temperatureC) || temperatureC <= -B)
        return std::nullopt;
    const double gamma = std::log(relativeHumidity / 100.0) + A * temperatureC / (B + temperatureC);
    const double dewPoint = B * gamma / (A - gamma);
    return std::round(dewPoint * 10.0) / 10.0;
}
