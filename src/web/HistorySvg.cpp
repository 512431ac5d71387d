#include "HistorySvg.h"

#include "station/ChartAxes.h"
#include "station/ChartPalette.h"

#include <algorithm>

namespace {
constexpr int Width = 800;
constexpr int Height = 440;
constexpr int Left = 52;
constexpr int Right = 12;
constexpr int PanelHeight = 160;
constexpr int Tops[] = {24, 226};
constexpr int FontPx = 13;

QByteArray number(double value)
{
    return QByteArray::number(value, 'f', 1);
}

QByteArray escaped(const QString& text)
{
    return text.toHtmlEscaped().toUtf8();
}

QByteArray shade(PortEvent event)
{
    if (event == PortEvent::Off)
        return "fill=\"url(#off)\"";
    const ChartColour colour = ChartPalette::stretch(event);
    return "fill=\"" + colour.hex() + "\" fill-opacity=\"" + colour.opacity() + '"';
}
} // namespace

QByteArray HistorySvg::draw(const HistoryModel::Span& span, const QLocale& locale)
{
    const int plotWidth = Width - Left - Right;
    const double length = double(std::max<qint64>(span.to - span.from, 1));
    const auto xOf = [&](qint64 at) { return Left + double(at - span.from) / length * plotWidth; };
    QByteArray svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " +
                     QByteArray::number(Width) + ' ' + QByteArray::number(Height) +
                     "\" font-family=\"sans-serif\" font-size=\"" + QByteArray::number(FontPx) +
                     "\">\n<defs><pattern id=\"off\" width=\"6\" height=\"6\" "
                     "patternUnits=\"userSpaceOnUse\"><path d=\"M0,6 L6,0\" stroke=\"" +
                     ChartPalette::stretch(PortEvent::Off).hex() + "\" "
                     "stroke-width=\"1\"/></pattern></defs>\n"
                     "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
    const int bottom = Tops[1] + PanelHeight;
    for (const HistoryModel::Interval& interval : span.intervals) {
        const double left = std::max(xOf(interval.from), double(Left));
        const double right = std::min(xOf(interval.to), double(Width - Right));
        if (right >= left)
            svg += "<rect x=\"" + number(left) + "\" y=\"" + QByteArray::number(Tops[0]) +
                   "\" width=\"" + number(std::max(right - left, 2.0)) + "\" height=\"" +
                   QByteArray::number(bottom - Tops[0]) + "\" " + shade(interval.event) + "/>\n";
    }

    for (int panel = 0; panel < 2; ++panel) {
        const auto quantity =
            panel == 0 ? HistoryModel::Quantity::Temperature : HistoryModel::Quantity::Humidity;
        const int top = Tops[panel];
        const auto [low, high] = HistoryModel::range(span, quantity);
        const ChartAxes::Axis axis = ChartAxes::axisFor(low, high, 5);
        const auto yOf = [&](double value) {
            return top + PanelHeight - (value - axis.low) / (axis.high - axis.low) * PanelHeight;
        };
        svg += "<text x=\"" + QByteArray::number(Left) + "\" y=\"" + QByteArray::number(top - 6) +
               "\">" + (panel == 0 ? "Temperature (°C)" : "Humidity (%)") + "</text>\n";
        const QStringList labels = ChartAxes::axisLabels(axis, locale);
        for (int tick = 0; tick < labels.size(); ++tick) {
            const QByteArray y = number(yOf(axis.low + tick * axis.step));
            svg += "<line x1=\"" + QByteArray::number(Left) + "\" x2=\"" +
                   QByteArray::number(Width - Right) + "\" y1=\"" + y + "\" y2=\"" + y +
                   "\" stroke=\"#c0c0c0\" stroke-width=\"0.5\"/><text x=\"" +
                   QByteArray::number(Left - 6) + "\" y=\"" + y +
                   "\" text-anchor=\"end\" dominant-baseline=\"middle\">" + escaped(labels[tick]) +
                   "</text>\n";
        }
        svg += "<rect x=\"" + QByteArray::number(Left) + "\" y=\"" + QByteArray::number(top) +
               "\" width=\"" + QByteArray::number(plotWidth) + "\" height=\"" +
               QByteArray::number(PanelHeight) + "\" fill=\"none\" stroke=\"#a0a0a0\"/>\n";
        const QByteArray colour =
            (panel == 0 ? ChartPalette::Temperature : ChartPalette::Humidity).hex();
        const QByteArray bandOpacity =
            ChartColour{0, 0, 0, ChartPalette::BandAlpha}.opacity();
        for (const auto& [first, last] : HistoryModel::stretches(span)) {
            QByteArray line, band, underside;
            for (std::size_t i = first; i <= last; ++i) {
                const ArchiveRow& row = span.blocks[i];
                const HistoryModel::Values values = HistoryModel::values(row.block, quantity);
                const QByteArray x = number(xOf(row.at.toMSecsSinceEpoch()));
                line += x + ',' + number(yOf(values.average)) + ' ';
                band += x + ',' + number(yOf(values.high)) + ' ';
                underside.prepend(x + ',' + number(yOf(values.low)) + ' ');
            }
            svg += "<polygon points=\"" + band + underside.trimmed() + "\" fill=\"" + colour +
                   "\" fill-opacity=\"" + bandOpacity + "\"/>\n";
            if (first == last)
                svg += "<circle cx=\"" + line.split(',').first() + "\" cy=\"" +
                       line.split(',').last().trimmed() + "\" r=\"2\" fill=\"" + colour + "\"/>\n";
            else
                svg += "<polyline points=\"" + line.trimmed() + "\" fill=\"none\" stroke=\"" +
                       colour + "\" stroke-width=\"2\"/>\n";
        }
    }

    const int fitting = plotWidth / (FontPx * 7);
    for (const ChartAxes::TimeTick& tick :
         ChartAxes::timeTicks(span.from, span.to, std::max(1, fitting), locale)) {
        const QByteArray x = number(xOf(tick.at));
        svg += "<line x1=\"" + x + "\" x2=\"" + x + "\" y1=\"" + QByteArray::number(Tops[0]) +
               "\" y2=\"" + QByteArray::number(bottom) +
               "\" stroke=\"#c0c0c0\" stroke-width=\"0.5\" stroke-dasharray=\"2,3\"/>"
               "<text x=\"" +
               x + "\" y=\"" + QByteArray::number(bottom + FontPx + 4) +
               "\" text-anchor=\"middle\">" + escaped(tick.label) + "</text>\n";
        if (!tick.date.isEmpty())
            svg += "<text x=\"" + x + "\" y=\"" + QByteArray::number(bottom + 2 * FontPx + 8) +
                   "\" text-anchor=\"middle\">" + escaped(tick.date) + "</text>\n";
    }
    if (span.blocks.empty())
        svg += "<text x=\"" + QByteArray::number(Width / 2) + "\" y=\"" +
               QByteArray::number(Height / 2) +
               "\" text-anchor=\"middle\">No reports in the archive for this time.</text>\n";
    return svg + "</svg>\n";
}
