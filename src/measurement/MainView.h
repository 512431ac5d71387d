#pragma once

#include <QString>
#include <cstdint>

// What the measurement core sees of the main window: the texts of its value labels (the text
// shown is the value of record), the receive indicator, the title, whether it is minimized, and
// what became of the port.
class MainView {
public:
    enum class Label { Temperature, Humidity, TemperatureAverage, HumidityAverage, Status };

    virtual ~MainView() = default;
    virtual QString labelText(Label label) const = 0;
    virtual void setLabelText(Label label, const QString& text) = 0;
    // Colour as red + 256 * green + 65536 * blue.
    virtual void setIndicatorColour(std::uint32_t colour) = 0;
    virtual bool isMinimized() const = 0;
    virtual void setTitle(const QString& title) = 0;
    // What became of the port, on the status line: a short text that fits it, and the whole
    // text with the device and the reason for whoever looks closer.
    virtual void showNotice(const QString& shown, const QString& whole) = 0;
};
