#pragma once

#include "station/Archive.h"

#include <QWidget>
#include <vector>

// Temperature over humidity, drawn from the archive's rows for a span of time: each block's
// average as a line over a band from its lowest to its highest reading. A time without rows is
// a gap in the line. Times when the port was lost or silent are shaded, a station switched off
// is hatched; the pointer or the arrow keys pick a block, whose values the chart tells.
class HistoryChart : public QWidget {
    Q_OBJECT
public:
    // A stretch in which the port was not heard (lost, missing, failing, silent) or the program
    // did not run (off).
    struct Interval {
        qint64 from = 0;
        qint64 to = 0;
        QString event;
        QString detail;
    };

    // A value axis: from low to high in steps of step, steps of them.
    struct Axis {
        double low = 0.0;
        double high = 1.0;
        double step = 1.0;
        int steps = 1;
    };
    // Round steps, about `ticks` of them, that take in lowest and highest.
    static Axis axisFor(double lowest, double highest, int ticks);
    // The numbers at its ticks, from low to high, in the user's locale.
    static QStringList axisLabels(const Axis& axis);

    explicit HistoryChart(QWidget* parent = nullptr);

    void setRows(const std::vector<ArchiveRow>& rows, const QDateTime& from, const QDateTime& to);

    // Read by tests: the blocks drawn, which of them end a stretch of line, and the intervals.
    const std::vector<ArchiveRow>& blocks() const { return m_blocks; }
    const std::vector<bool>& lineEndsAfter() const { return m_lineEnds; }
    const std::vector<Interval>& intervals() const { return m_intervals; }
    // What the chart tells of the block or interval under the cursor.
    QString pointed() const { return m_pointed; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

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
    void point(int block, const Interval* interval);
    void pointAt(const QPoint& position);

    std::vector<ArchiveRow> m_blocks;
    std::vector<bool> m_lineEnds;
    std::vector<Interval> m_intervals;
    qint64 m_from = 0;
    qint64 m_to = 0;
    int m_cursor = -1;
    QString m_pointed;
};
