#pragma once

#include "station/HistoryModel.h"

#include <QWidget>
#include <vector>

// Temperature over humidity for a span of the history: each block's average as a line over a
// band from its lowest to its highest reading, broken where the span says. Times when the port
// was lost or silent are shaded, a station switched off is hatched; the pointer or the arrow
// keys pick a block, whose values the chart tells.
class HistoryChart : public QWidget {
    Q_OBJECT
public:
    explicit HistoryChart(QWidget* parent = nullptr);

    void setSpan(HistoryModel::Span span);

    // Read by tests: the blocks drawn, which of them end a stretch of line, and the intervals.
    const std::vector<ArchiveRow>& blocks() const { return m_span.blocks; }
    const std::vector<bool>& lineEndsAfter() const { return m_span.lineEnds; }
    const std::vector<HistoryModel::Interval>& intervals() const { return m_span.intervals; }
    // What the chart tells of the block or interval under the cursor.
    QString pointed() const { return m_pointed; }

    QSize sizeHint() const override
    {
        return QSize(fontMetrics().averageCharWidth() * 90, fontMetrics().height() * 26);
    }
    QSize minimumSizeHint() const override
    {
        return QSize(fontMetrics().averageCharWidth() * 40, fontMetrics().height() * 12);
    }

signals:
    void pointedChanged(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    struct Panel;
    QRect plotArea() const;
    void panels(Panel& temperature, Panel& humidity) const;
    double xOf(qint64 msecs, const QRect& area) const;
    void drawPanel(QPainter& painter, const Panel& panel) const;
    void drawTimeAxis(QPainter& painter, const QRect& area) const;
    void point(int block, const HistoryModel::Interval* interval);
    void pointAt(const QPoint& position);

    HistoryModel::Span m_span;
    int m_cursor = -1;
    QString m_pointed;
};
