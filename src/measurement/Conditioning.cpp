#include "Conditioning.h"

#include "NumberText.h"
#include "ProgramState.h"
#include "common/KoraError.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
using Label = MainView::Label;

void checkFinite(double value)
{
    if (std::isnan(value))
        throw KoraError(ErrorNumber::InvalidOperation, QStringLiteral("Invalid procedure call"));
    if (std::isinf(value))
        throw KoraError(ErrorNumber::Overflow, QStringLiteral("Overflow"));
}
} // namespace

Conditioning::Conditioning(ProgramState& state, MainView& view, ReportSink report, BlockSink block)
    : m_state(state), m_view(view), m_report(std::move(report)), m_block(std::move(block))
{
}

double Conditioning::average(double sum) const
{
    if (m_state.sampleCount == 0)
        throw KoraError(ErrorNumber::DivisionByZero, QStringLiteral("Division by zero"));
    const double shifted = sum / m_state.sampleCount * 10.0 + 0.5;
    checkFinite(shifted);
    const double result = std::floor(shifted) / 10.0;
    checkFinite(result);
    return result;
}

void Conditioning::run()
{
    double temperature = NumberText::leadingNumber(m_view.labelText(Label::Temperature));
    double humidity = NumberText::leadingNumber(m_view.labelText(Label::Humidity));

    if (temperature < TemperatureLow) {
        temperature = TemperatureLow;
        m_view.setLabelText(Label::Temperature, QStringLiteral("-40"));
    }
    if (temperature > UpperLimit) {
        temperature = OverLimitReplacement;
        m_view.setLabelText(Label::Temperature, QStringLiteral("99"));
    }
    if (humidity < HumidityLow) {
        humidity = HumidityLow;
        m_view.setLabelText(Label::Humidity, QStringLiteral("0"));
    }
    if (humidity > UpperLimit) {
        humidity = OverLimitReplacement;
        m_view.setLabelText(Label::Humidity, QStringLiteral("99"));
    }

    m_lastTemperature = temperature;
    m_lastHumidity = humidity;
    if (m_state.sampleCount == 0) {
        m_state.temperatureLow = m_state.temperatureHigh = temperature;
        m_state.humidityLow = m_state.humidityHigh = humidity;
    } else {
        m_state.temperatureLow = std::min(m_state.temperatureLow, temperature);
        m_state.temperatureHigh = std::max(m_state.temperatureHigh, temperature);
        m_state.humidityLow = std::min(m_state.humidityLow, humidity);
        m_state.humidityHigh = std::max(m_state.humidityHigh, humidity);
    }
    m_state.temperatureSum += temperature;
    m_state.humiditySum += humidity;
    if (m_state.sampleCount == std::numeric_limits<std::int16_t>::max())
        throw KoraError(ErrorNumber::Overflow, QStringLiteral("Overflow"));
    ++m_state.sampleCount;

    if (m_view.isMinimized()) {
        m_view.setTitle(NumberText::pattern00_0(temperature) + "C" +
                        NumberText::pattern00(humidity) + "%");
    }

    if (m_state.sampleCount != ReadingsPerRun)
        return;

    m_view.setLabelText(Label::TemperatureAverage,
                        NumberText::pattern00_0(average(m_state.temperatureSum)));
    m_view.setLabelText(Label::HumidityAverage,
                        NumberText::pattern00_0(average(m_state.humiditySum)));

    m_state.sampleCount = 0;
    m_state.temperatureSum = 0.0;
    m_state.humiditySum = 0.0;

    // The report takes the averages as shown, not the unrounded ones.
    const double fahrenheit =
        NumberText::leadingNumber(m_view.labelText(Label::TemperatureAverage)) * 9.0 / 5.0 + 32.0;
    checkFinite(fahrenheit);
    const double wholeHumidity =
        std::nearbyint(NumberText::leadingNumber(m_view.labelText(Label::HumidityAverage)));
    if (!(wholeHumidity >= std::numeric_limits<std::int16_t>::min() &&
          wholeHumidity <= std::numeric_limits<std::int16_t>::max()))
        throw KoraError(ErrorNumber::Overflow, QStringLiteral("Overflow"));

    m_report(fahrenheit, static_cast<std::int16_t>(wholeHumidity));
    if (m_block) {
        m_block({NumberText::leadingNumber(m_view.labelText(Label::TemperatureAverage)),
                 m_state.temperatureLow, m_state.temperatureHigh,
                 NumberText::leadingNumber(m_view.labelText(Label::HumidityAverage)),
                 m_state.humidityLow, m_state.humidityHigh, ReadingsPerRun});
    }
}
