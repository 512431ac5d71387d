#pragma once

#include "PortEvent.h"

#include <QByteArray>

// The colours of the history chart, alike in the window and on the page, so that a loss looks the
// same wherever the owner sees it.
struct ChartColour {
    int red = 0;
    int green = 0;
    int blue = 0;
    // 0 (clear) to 255 (opaque).
    int alpha = 255;

    // #rrggbb, for SVG.
    QByteArray hex() const
    {
        return '#' + QByteArray::number((red << 16) | (green << 8) | blue, 16).rightJustified(6, '0');
    }
    // 0 to 1, for SVG's opacity attributes.
    QByteArray opacity() const { return QByteArray::number(alpha / 255.0, 'f', 2); }
};

namespace ChartPalette {
inline constexpr ChartColour Temperature{200, 60, 20};
inline constexpr ChartColour Humidity{20, 90, 200};
// The band from each block's lowest to its highest, in its line's colour.
inline constexpr int BandAlpha = 51;

// The stretch of time after the event: red for a port lost (or missing, or failing), amber for a
// silent one, grey hatching for the program not running.
inline constexpr ChartColour stretch(PortEvent event)
{
    switch (event) {
    case PortEvent::Silent:
        return {230, 160, 0, 77};
    case PortEvent::Off:
        return {128, 128, 128, 90};
    default:
        return {220, 40, 40, 64};
    }
}
} // namespace ChartPalette
