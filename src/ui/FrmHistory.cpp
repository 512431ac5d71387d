#include "FrmHistory.h"

#include "HistoryChart.h"
#include "common/Clock.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "station/Archive.h"
#include "station/Station.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>

namespace {
const char* const Columns[] = {"Lowest temperature", "Highest temperature", "Lowest humidity",
                               "Highest humidity"};
const char* const Days[] = {"Today", "Yesterday", "All time", "This year", "This month"};

int storedNumber(SettingsStore& settings, const QString& key, int fallback, int low, int high)
{
    bool ok = false;
    const int value = settings.GetSetting(SettingsKeys::HistorySection, key, QString()).toInt(&ok);
    return ok && value >= low && value <= high ? value : fallback;
}
} // namespace

FrmHistory::FrmHistory(History history, SettingsStore& settings, const Clock& clock,
                       QWidget* parent)
    : QWidget(parent, Qt::Window), m_history(std::move(history)), m_settings(settings),
      m_clock(clock)
{
    setObjectName(QStringLiteral("frmHistory"));
    setWindowTitle(QStringLiteral("History"));

    m_span = new QComboBox(this);
    m_span->setObjectName(QStringLiteral("cboSpan"));
    m_span->addItems({QStringLiteral("Last 24 hours"), QStringLiteral("Last 7 days"),
                      QStringLiteral("Last 31 days"), QStringLiteral("Last 365 days")});
    auto* spanLabel = new QLabel(QStringLiteral("&Show:"), this);
    spanLabel->setBuddy(m_span);
    m_chart = new HistoryChart(this);
    m_pointed = new QLabel(this);
    m_pointed->setObjectName(QStringLiteral("lblPointed"));
    m_pointed->setText(QStringLiteral("Point at the chart, or use the arrow keys in it."));
    m_pointed->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* top = new QHBoxLayout;
    top->addWidget(spanLabel);
    top->addWidget(m_span);
    top->addStretch();
    auto* extremes = new QGridLayout;
    for (int column = 0; column < 4; ++column) {
        auto* heading = new QLabel(QLatin1String(Columns[column]), this);
        heading->setStyleSheet(QStringLiteral("font-weight: bold"));
        extremes->addWidget(heading, 0, column + 1);
    }
    for (int day = 0; day < 5; ++day) {
        extremes->addWidget(new QLabel(QLatin1String(Days[day]), this), day + 1, 0);
        for (int column = 0; column < 4; ++column) {
            QLabel*& cell = m_extremes[day][column];
            cell = new QLabel(this);
            cell->setObjectName(QStringLiteral("lblExtreme%1%2").arg(day).arg(column));
            // A record with its date and time wraps rather than widen the window.
            cell->setWordWrap(true);
            extremes->addWidget(cell, day + 1, column + 1);
        }
    }
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_chart, 1);
    layout->addWidget(m_pointed);
    layout->addLayout(extremes);

    connect(m_chart, &HistoryChart::pointedChanged, m_pointed, [this](const QString& text) {
        if (!text.isEmpty())
            m_pointed->setText(text);
    });
    m_span->setCurrentIndex(storedNumber(m_settings, SettingsKeys::HistorySpan, 0, 0, 3));
    connect(m_span, &QComboBox::currentIndexChanged, this, &FrmHistory::reload);
    m_refresh = new QTimer(this);
    m_refresh->setObjectName(QStringLiteral("tmrRefresh"));
    m_refresh->setInterval(RefreshMs);
    connect(m_refresh, &QTimer::timeout, this, &FrmHistory::reload);
    auto* closing = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(closing, &QShortcut::activated, this, &QWidget::close);

    const QSize hint = sizeHint();
    resize(storedNumber(m_settings, SettingsKeys::HistoryWidth, hint.width(), 200, 10000),
           storedNumber(m_settings, SettingsKeys::HistoryHeight, hint.height(), 150, 10000));
}

void FrmHistory::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_refresh->start();
    reload();
}

void FrmHistory::hideEvent(QHideEvent* event)
{
    m_refresh->stop();
    QWidget::hideEvent(event);
}

void FrmHistory::closeEvent(QCloseEvent* event)
{
    keepSize();
    event->accept();
}

void FrmHistory::keepSize()
{
    const std::pair<QString, int> kept[] = {{SettingsKeys::HistoryWidth, width()},
                                            {SettingsKeys::HistoryHeight, height()},
                                            {SettingsKeys::HistorySpan, m_span->currentIndex()}};
    for (const auto& [key, value] : kept) {
        Station::passOver([&, key = key, value = value] {
            m_settings.SaveSetting(SettingsKeys::HistorySection, key, QString::number(value));
        });
    }
}

void FrmHistory::reload()
{
    if (!isVisible())
        return;
    const QDateTime now = m_clock.now();
    const QDateTime from = now.addDays(-SpanDays[std::max(0, m_span->currentIndex())]);
    m_chart->setSpan(m_history().span(from, now));
    showExtremes(now);
}

void FrmHistory::showExtremes(const QDateTime& now)
{
    using Extremes = HistoryModel::Extremes;
    const QLocale locale;
    const QDate today = now.toLocalTime().date();
    for (int day = 0; day < 2; ++day) {
        const Extremes extremes = m_history().extremes(today.addDays(-day));
        for (int column = 0; column < 4; ++column) {
            const auto which = Extremes::Which(column);
            const ArchiveRow* row = extremes.row(which);
            const char* unit = which < Extremes::LowestHumidity ? "°C" : "%";
            m_extremes[day][column]->setText(
                row ? QStringLiteral("%1 %2 at %3")
                          .arg(locale.toString(extremes.value(which), 'f', 1),
                               QString::fromUtf8(unit),
                               locale.toString(row->at.toLocalTime().time(), QLocale::ShortFormat))
                    : QStringLiteral("–"));
        }
    }
    // The records, with the day they were set.
    const std::array<ClimateDays::Sums, 3> records = m_history().climate().records(today);
    for (int period = 0; period < 3; ++period) {
        const ClimateDays::Extreme* found[] = {
            &records[period].temperatureLow, &records[period].temperatureHigh,
            &records[period].humidityLow, &records[period].humidityHigh};
        for (int column = 0; column < 4; ++column)
            m_extremes[period + 2][column]->setText(
                found[column]->found ? QStringLiteral("%1 %2 on %3")
                                           .arg(locale.toString(found[column]->value, 'f', 1),
                                                QString::fromUtf8(column < 2 ? "°C" : "%"),
                                                locale.toString(found[column]->time().toLocalTime(),
                                                                QLocale::ShortFormat))
                                     : QStringLiteral("–"));
    }
}
