#pragma once

#include "MainView.h"

#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>

class Conditioning;
class MainView;
class SerialControl;
struct ProgramState;

// The port notification handler: marks the indicator, keeps received text in the receive
// buffer and, once the buffer holds a complete sensor line ("1=23.5deg2=45" CR LF), shows its
// two fields and hands over to the conditioning.
class Reception {
public:
    static constexpr std::uint32_t IndicatorOrange = 33023; // red 255, green 128, blue 0
    // Far above any sensor line; noise without line ends cannot grow the buffer past this.
    static constexpr int BufferLimit = 4096;
    // What is kept of an over-long buffer without a line end: room for the start of a line.
    static constexpr int LineStartKeep = 64;

    Reception(ProgramState& state, MainView& view, SerialControl& port, Conditioning& conditioning);

    // True when a sensor line was taken.
    bool OnComm();
    // The device went away: text after the last complete line can never be completed, since
    // what comes after a replug is the start of other lines.
    void deviceLost();

    // Parts of the text cut, valid as long as the text is.
    struct Fields {
        QStringView temperature;
        QStringView humidity;
    };
    // The first line of the text cut by the sensor line rules, or nothing when they reject it.
    static std::optional<Fields> cutLine(QStringView buffer);

private:
    bool takeLine();
    void append(const QString& newText);
    void show(MainView::Label label, QStringView field, QString& last);

    ProgramState& m_state;
    MainView& m_view;
    SerialControl& m_port;
    Conditioning& m_conditioning;
    // The field texts shown last: a sensor sends the same values line after line, and a text
    // that is the same needs no new string.
    QString m_lastTemperature;
    QString m_lastHumidity;
};
