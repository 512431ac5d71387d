// Feeds arbitrary byte streams, cut into arbitrary notifications, through the reception and
// conditioning of sensor lines.
//
// Input: a sequence of chunks. Each chunk starts with a control byte: its low six bits are the
// number of bytes delivered by one notification (taken from what follows), its top bits choose
// the notification code (mostly "characters received").

#include "measurement/Conditioning.h"
#include "measurement/MainView.h"
#include "measurement/NumberText.h"
#include "measurement/ProgramState.h"
#include "measurement/Reception.h"
#include "serial/SerialControl.h"

#include <QMap>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {
class StreamPort : public SerialControl {
public:
    QString pending;
    short event = EventReceive;

    int CommPort() const override { return 1; }
    void setCommPort(int) override {}
    bool PortOpen() const override { return true; }
    void setPortOpen(bool) override {}
    void setSettings(const QString&) override {}
    void setHandshaking(int) override {}
    void setDTREnable(bool) override {}
    void setRTSEnable(bool) override {}
    void setRThreshold(short) override {}
    void setSThreshold(short) override {}
    QString Input() override { return std::exchange(pending, QString()); }
    short CommEvent() const override { return event; }
    QString deviceName() const override { return QStringLiteral("/dev/fuzz"); }
};

class View : public MainView {
public:
    QMap<Label, QString> texts;
    int temperatureWrites = 0;

    QString labelText(Label label) const override { return texts.value(label); }
    void setLabelText(Label label, const QString& text) override
    {
        if (label == Label::Temperature)
            ++temperatureWrites;
        texts[label] = text;
    }
    void setIndicatorColour(std::uint32_t) override {}
    bool isMinimized() const override { return true; }
    void setTitle(const QString&) override {}
    void showNotice(const QString&, const QString&) override {}
};

void check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz_reception: %s\n", what);
        std::abort();
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ProgramState state;
    View view;
    StreamPort port;
    Conditioning conditioning(state, view, [](double fahrenheit, std::int16_t humidity) {
        check(fahrenheit >= -40.0 && fahrenheit <= 212.0, "report temperature out of range");
        check(humidity >= 0 && humidity <= 100, "report humidity out of range");
    });
    Reception reception(state, view, port, conditioning);

    std::size_t at = 0;
    while (at < size) {
        const std::uint8_t control = data[at++];
        const std::size_t length = std::min<std::size_t>(control & 0x3f, size - at);
        port.pending = QString::fromLatin1(reinterpret_cast<const char*>(data + at),
                                           static_cast<qsizetype>(length));
        at += length;
        port.event = (control & 0xc0) == 0xc0 ? short(control & 0x07) : SerialControl::EventReceive;

        const int writesBefore = view.temperatureWrites;
        reception.OnComm();

        check(state.receiveBuffer.size() <= Reception::BufferLimit,
              "receive buffer over its bound");
        check(state.sampleCount >= 0 && state.sampleCount < Conditioning::ReadingsPerRun,
              "sample count out of its run");
        if (view.temperatureWrites != writesBefore) {
            const double temperature =
                NumberText::leadingNumber(view.labelText(MainView::Label::Temperature));
            const double humidity =
                NumberText::leadingNumber(view.labelText(MainView::Label::Humidity));
            check(temperature >= -40.0 && temperature <= 100.0, "reading temperature out of range");
            check(humidity >= 0.0 && humidity <= 100.0, "reading humidity out of range");
        }
    }
    return 0;
}
