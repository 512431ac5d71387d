#include "MainControls.h"

#include "Fonts.h"
#include "IndicatorCircle.h"
#include "Twips.h"

#include <QLabel>

namespace {
enum class Look { Heading, ValueBox, StatusLine, Indicator };

struct ControlRow {
    const char* name;
    const char* text; // UTF-8
    int left, top, width, height;
    Look look;
    double points;
    Qt::Alignment alignment;
    std::optional<MainView::Label> label;
};

// System colour 9 (text of an active title bar, white in the standard scheme) and 10 (border of
// an active window, light grey).
constexpr QPalette::ColorRole SchemeColour9 = QPalette::Base;
constexpr QPalette::ColorRole SchemeColour10 = QPalette::Midlight;

using L = MainView::Label;
const ControlRow Controls[] = {
    {"txtLabel1", "Now", 1200, 0, 855, 255, Look::Heading, 9.75, Qt::AlignHCenter, {}},
    {"Label5", "Average\r\n", 2160, 0, 855, 255, Look::Heading, 9.75, Qt::AlignHCenter, {}},
    {"Mon", "", 120, 240, 255, 255, Look::Indicator, 0, {}, {}},
    {"Label3", "Temp", 480, 240, 735, 375, Look::Heading, 12, Qt::AlignLeft, {}},
    {"txtTEMP", "", 1200, 240, 855, 375, Look::ValueBox, 14.25, Qt::AlignRight, L::Temperature},
    {"txtTEMPave", "---- ", 2160, 240, 855, 375, Look::ValueBox, 14.25, Qt::AlignRight,
     L::TemperatureAverage},
    {"Label2", "\u2103", 3240, 240, 375, 375, Look::Heading, 14.25, Qt::AlignLeft, {}},
    {"Label4", "Hum", 600, 720, 615, 375, Look::Heading, 12, Qt::AlignLeft, {}},
    {"txtHUM", "", 1200, 720, 855, 375, Look::ValueBox, 14.25, Qt::AlignRight, L::Humidity},
    {"txtHUMave", "---- ", 2160, 720, 855, 375, Look::ValueBox, 14.25, Qt::AlignRight,
     L::HumidityAverage},
    {"Label1", "%RH", 3120, 720, 615, 375, Look::Heading, 14.25, Qt::AlignLeft, {}},
    {"txtMon", "", 120, 1200, 3495, 375, Look::StatusLine, 0, Qt::AlignLeft, L::Status},
};
} // namespace

QWidget* MainControls::build(QWidget* parent, QMap<MainView::Label, QLabel*>& labels,
                             IndicatorCircle*& indicator)
{
    auto* client = new QWidget(parent);
    client->setObjectName(QStringLiteral("client"));

    for (const ControlRow& row : Controls) {
        const QString name = QString::fromLatin1(row.name);
        const QRect geometry = Twips::rect(row.left, row.top, row.width, row.height);
        if (row.look == Look::Indicator) {
            indicator = new IndicatorCircle(SchemeColour10, client);
            indicator->setObjectName(name);
            indicator->setGeometry(geometry);
            continue;
        }
        auto* label = new QLabel(QString::fromUtf8(row.text), client);
        label->setObjectName(name);
        label->setGeometry(geometry);
        label->setAlignment(row.alignment | Qt::AlignTop);
        label->setTextFormat(Qt::PlainText);
        label->setFocusPolicy(Qt::NoFocus);
        // The status line tells the whole of a long line when the pointer rests on it.
        if (row.look != Look::StatusLine)
            label->setAttribute(Qt::WA_TransparentForMouseEvents);
        if (row.points > 0)
            label->setFont(Fonts::gothic(row.points));
        if (row.look == Look::ValueBox || row.look == Look::StatusLine) {
            label->setFrameStyle(QFrame::Box | QFrame::Plain);
            label->setLineWidth(1);
            // A framed label otherwise indents its text by half an "x", also downwards when
            // top-aligned, and the digits would run into the lower border.
            label->setIndent(1);
            label->setBackgroundRole(SchemeColour9);
            label->setAutoFillBackground(true);
        }
        if (row.label)
            labels.insert(*row.label, label);
    }
    return client;
}
