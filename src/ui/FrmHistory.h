#pragma once

#include "station/HistoryModel.h"

#include <QWidget>

#include <functional>

class Clock;
class HistoryChart;
class QComboBox;
class QLabel;
class QTimer;
class SettingsStore;

// The station's history drawn: temperature and humidity for the last day, week or month, and
// today's and yesterday's lowest and highest. It is drawn again at each report and each event of
// the port while it is shown, and every minute besides: while the port is lost or the sensor
// silent nothing else comes, and the day, the chart's right edge and its shading move on. It
// keeps its size and the span chosen.
class FrmHistory : public QWidget {
    Q_OBJECT
public:
    static constexpr int SpanDays[] = {1, 7, 31, 365};
    static constexpr int RefreshMs = 60 * 1000;

    // The history is asked for at each drawing: the station's, kept as it archives.
    using History = std::function<const HistoryModel&()>;
    FrmHistory(History history, SettingsStore& settings, const Clock& clock,
               QWidget* parent = nullptr);

    HistoryChart& chart() { return *m_chart; }

public slots:
    // Draws the history again, when shown.
    void reload();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void showExtremes(const QDateTime& now);

    void keepSize();

    History m_history;
    SettingsStore& m_settings;
    const Clock& m_clock;
    QTimer* m_refresh = nullptr;
    QComboBox* m_span = nullptr;
    HistoryChart* m_chart = nullptr;
    QLabel* m_pointed = nullptr;
    // Today's and yesterday's, then the records of all time, this year and this month.
    QLabel* m_extremes[5][4] = {};
};
