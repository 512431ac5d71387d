#pragma once

#include <QWidget>

class Clock;
class HistoryChart;
class QComboBox;
class QLabel;
class SettingsStore;

// The archive drawn: temperature and humidity for the last day, week or month, and today's and
// yesterday's lowest and highest. It reads the archive again at each report while it is shown,
// and keeps its size and the span chosen.
class FrmHistory : public QWidget {
    Q_OBJECT
public:
    static constexpr int SpanDays[] = {1, 7, 31};

    FrmHistory(const QString& archiveFolder, SettingsStore& settings, const Clock& clock,
               QWidget* parent = nullptr);

    HistoryChart& chart() { return *m_chart; }

public slots:
    // Reads the archive again, when shown.
    void reload();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void showExtremes(const QDateTime& now);
    void keepSize();

    QString m_folder;
    SettingsStore& m_settings;
    const Clock& m_clock;
    QComboBox* m_span = nullptr;
    HistoryChart* m_chart = nullptr;
    QLabel* m_pointed = nullptr;
    QLabel* m_extremes[2][4] = {};
};
