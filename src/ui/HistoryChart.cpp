#include "HistoryChart.h"

#include "station/ChartAxes.h"
#include "station/ChartPalette.h"

#include <QKeyEvent>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>
#include <algorithm>
#include <cmath>

namespace {
QColor colourOf(const ChartColour& colour)
{
    return QColor(colour.red, colour.green, colour.blue, colour.alpha);
}

QColor shade(PortEvent event)
{
    return colourOf(ChartPalette::stretch(event));
}
} // namespace

struct HistoryChart::Panel {
    QRect area;
    QString title;
    ChartAxes::Axis axis;
    HistoryModel::Quantity quantity = HistoryModel::Quantity::Temperature;

    HistoryModel::Values values(const ArchiveRow& row) const
    {
        return HistoryModel::values(row.block, quantity);
    }

    double yOf(double value) const
    {
        return area.bottom() - (value - axis.low) / (axis.high - axis.low) * area.height();
    }
};

HistoryChart::HistoryChart(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("chtHistory"));
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
}

void HistoryChart::setSpan(HistoryModel::Span span)
{
    m_span = std::move(span);
    m_cursor = -1;
    point(-1, nullptr);
    update();
}

QRect HistoryChart::plotArea() const
{
    const QFontMetrics metrics = fontMetrics();
    const int left = metrics.horizontalAdvance(QLocale().toString(-40.0, 'f', 1)) +
                     metrics.averageCharWidth() * 3;
    const int right = metrics.averageCharWidth() * 3;
    const int top = metrics.height() / 2;
    const int bottom = metrics.height() * 2 + metrics.height() / 2;
    return rect().adjusted(left, top, -right, -bottom);
}

void HistoryChart::panels(Panel& temperature, Panel& humidity) const
{
    const QRect area = plotArea();
    const int gap = fontMetrics().height();
    const int each = (area.height() - gap) / 2;
    temperature.area = QRect(area.left(), area.top() + fontMetrics().height(), area.width(),
                             each - fontMetrics().height());
    humidity.area = QRect(area.left(), area.top() + each + gap + fontMetrics().height(),
                          area.width(), each - fontMetrics().height());
    temperature.title = QStringLiteral("Temperature (°C)");
    humidity.title = QStringLiteral("Humidity (%)");
    humidity.quantity = HistoryModel::Quantity::Humidity;
    for (Panel* panel : {&temperature, &humidity}) {
        const auto [low, high] = HistoryModel::range(m_span, panel->quantity);
        const int ticks = std::max(2, panel->area.height() / (fontMetrics().height() * 2));
        panel->axis = ChartAxes::axisFor(low, high, ticks);
    }
}

double HistoryChart::xOf(qint64 msecs, const QRect& area) const
{
    const double span = double(std::max<qint64>(m_span.to - m_span.from, 1));
    return area.left() + double(msecs - m_span.from) / span * area.width();
}

void HistoryChart::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    Panel temperature, humidity;
    panels(temperature, humidity);
    const QRect whole(temperature.area.topLeft(), humidity.area.bottomRight());

    for (const HistoryModel::Interval& interval : m_span.intervals) {
        const double left = std::max(xOf(interval.from, whole), double(whole.left()));
        const double right = std::min(xOf(interval.to, whole), double(whole.right()));
        if (right < left)
            continue;
        const QRectF stretch(left, whole.top(), std::max(right - left, 2.0), whole.height());
        if (interval.event == PortEvent::Off)
            painter.fillRect(stretch, QBrush(shade(interval.event), Qt::BDiagPattern));
        else
            painter.fillRect(stretch, shade(interval.event));
    }
    drawPanel(painter, temperature);
    drawPanel(painter, humidity);
    drawTimeAxis(painter, whole);

    if (m_cursor >= 0 && m_cursor < int(m_span.blocks.size())) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1.5, Qt::DashLine));
        const double x = xOf(m_span.blocks[std::size_t(m_cursor)].at.toMSecsSinceEpoch(), whole);
        painter.drawLine(QPointF(x, whole.top()), QPointF(x, whole.bottom()));
    }
    if (m_span.blocks.empty()) {
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(whole, Qt::AlignCenter | Qt::TextWordWrap,
                         QStringLiteral("No reports in the archive for this time."));
    }
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void HistoryChart::drawPanel(QPainter& painter, const Panel& panel) const
{
    const QColor text = palette().color(QPalette::Text);
    const QColor grid = palette().color(QPalette::Mid);
    painter.setPen(text);
    painter.drawText(QPoint(panel.area.left(), panel.area.top() - fontMetrics().descent() - 2),
                     panel.title);
    const QStringList labels = ChartAxes::axisLabels(panel.axis);
    for (int tick = 0; tick < labels.size(); ++tick) {
        const double y = panel.yOf(panel.axis.low + tick * panel.axis.step);
        painter.setPen(QPen(grid, 0.5));
        painter.drawLine(QPointF(panel.area.left(), y), QPointF(panel.area.right(), y));
        painter.setPen(text);
        painter.drawText(QRectF(0, y - fontMetrics().height() / 2.0,
                                panel.area.left() - fontMetrics().averageCharWidth(),
                                fontMetrics().height()),
                         Qt::AlignRight | Qt::AlignVCenter, labels[tick]);
    }
    painter.setPen(QPen(grid, 1));
    painter.drawRect(panel.area);

    const QColor line = colourOf(panel.quantity == HistoryModel::Quantity::Temperature
                                     ? ChartPalette::Temperature
                                     : ChartPalette::Humidity);
    QColor band = line;
    band.setAlpha(ChartPalette::BandAlpha);
    painter.save();
    painter.setClipRect(panel.area);
    for (const auto& [start, i] : HistoryModel::stretches(m_span)) {
        // One stretch of line from start to i, over its band from lowest to highest.
        QPainterPath averages, range;
        for (std::size_t j = start; j <= i; ++j) {
            const QPointF p(xOf(m_span.blocks[j].at.toMSecsSinceEpoch(), panel.area),
                            panel.yOf(panel.values(m_span.blocks[j]).average));
            j == start ? averages.moveTo(p) : averages.lineTo(p);
            const QPointF top(p.x(), panel.yOf(panel.values(m_span.blocks[j]).high));
            j == start ? range.moveTo(top) : range.lineTo(top);
        }
        for (std::size_t j = i + 1; j-- > start;)
            range.lineTo(xOf(m_span.blocks[j].at.toMSecsSinceEpoch(), panel.area),
                         panel.yOf(panel.values(m_span.blocks[j]).low));
        range.closeSubpath();
        painter.fillPath(range, band);
        painter.setPen(QPen(line, 2));
        if (start == i) // a block alone in its stretch: a dot
            painter.drawEllipse(averages.currentPosition(), 2.0, 2.0);
        else
            painter.drawPath(averages);
    }
    painter.restore();
}

void HistoryChart::drawTimeAxis(QPainter& painter, const QRect& area) const
{
    const QLocale locale;
    const QFontMetrics metrics = fontMetrics();
    const int room =
        metrics.horizontalAdvance(ChartAxes::timeLabelSample(m_span.to - m_span.from, locale)) +
        metrics.averageCharWidth() * 2;
    const int baseline = area.bottom() + metrics.height() + 2;
    // A label at either end stays whole.
    const auto inside = [this](QRectF label) {
        label.moveLeft(std::clamp(label.left(), 0.0, std::max(0.0, width() - label.width())));
        return label;
    };
    for (const ChartAxes::TimeTick& tick : ChartAxes::timeTicks(
             m_span.from, m_span.to, std::max(1, area.width() / room), locale)) {
        const double x = xOf(tick.at, area);
        painter.setPen(QPen(palette().color(QPalette::Mid), 0.5, Qt::DotLine));
        painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(
            inside(QRectF(x - room / 2.0, baseline - metrics.ascent(), room, metrics.height())),
            Qt::AlignHCenter, tick.label);
        if (!tick.date.isEmpty())
            painter.drawText(inside(QRectF(x - room, baseline + metrics.height() - metrics.ascent(),
                                           room * 2, metrics.height())),
                             Qt::AlignHCenter, tick.date);
    }
}

void HistoryChart::point(int block, const HistoryModel::Interval* interval)
{
    QString text;
    if (block >= 0)
        text = HistoryModel::describe(m_span.blocks[std::size_t(block)], {}, m_span.daily);
    if (interval)
        text +=
            (text.isEmpty() ? QString() : QStringLiteral("\n")) + HistoryModel::describe(*interval);
    if (text != m_pointed) {
        m_pointed = text;
        emit pointedChanged(text);
    }
}

void HistoryChart::pointAt(const QPoint& position)
{
    Panel temperature, humidity;
    panels(temperature, humidity);
    const QRect whole(temperature.area.topLeft(), humidity.area.bottomRight());
    if (!whole.contains(position)) {
        point(m_cursor, nullptr);
        return;
    }
    const double span = double(std::max<qint64>(m_span.to - m_span.from, 1));
    const qint64 at = m_span.from + qint64((position.x() - whole.left()) * span / whole.width());
    const HistoryModel::Interval* under = HistoryModel::intervalAt(m_span, at);
    // The nearest block within a few pixels.
    int nearest = -1;
    double best = fontMetrics().averageCharWidth() * 2.0;
    for (std::size_t i = 0; i < m_span.blocks.size(); ++i) {
        const double distance =
            std::abs(xOf(m_span.blocks[i].at.toMSecsSinceEpoch(), whole) - position.x());
        if (distance <= best) {
            best = distance;
            nearest = int(i);
        }
    }
    if (nearest >= 0)
        m_cursor = nearest;
    point(nearest, under);
    update();
    if (!m_pointed.isEmpty())
        QToolTip::showText(mapToGlobal(position), m_pointed, this);
    else
        QToolTip::hideText();
}

void HistoryChart::mouseMoveEvent(QMouseEvent* event)
{
    pointAt(event->position().toPoint());
}

void HistoryChart::leaveEvent(QEvent*)
{
    QToolTip::hideText();
}

void HistoryChart::keyPressEvent(QKeyEvent* event)
{
    const int last = int(m_span.blocks.size()) - 1;
    int cursor = m_cursor;
    switch (event->key()) {
    case Qt::Key_Left:
        cursor = cursor < 0 ? last : std::max(0, cursor - 1);
        break;
    case Qt::Key_Right:
        cursor = cursor < 0 ? last : std::min(last, cursor + 1);
        break;
    case Qt::Key_Home:
        cursor = 0;
        break;
    case Qt::Key_End:
        cursor = last;
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    if (last < 0)
        return;
    m_cursor = cursor;
    // Also what happened to the port at that block's time, or just before it.
    point(cursor, HistoryModel::intervalBefore(m_span, std::size_t(cursor)));
    update();
}
