#pragma once

#include "station/HistoryModel.h"

#include <QByteArray>
#include <QLocale>

// A span of the history drawn as SVG for the page, as the window draws it: temperature over
// humidity, each block's average as a line over the band of its lowest and highest, broken at
// gaps, with the lost and silent stretches shaded and the switched-off ones hatched. Colours are
// attributes, not styles, so that the page's policy lets it be drawn.
namespace HistorySvg {
QByteArray draw(const HistoryModel::Span& span, const QLocale& locale);
} // namespace HistorySvg
