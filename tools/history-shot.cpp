// Draws the history window for an archive folder into a PNG, as the README shows it:
//   history-shot ARCHIVE_FOLDER OUT.png [SPAN]
// SPAN is 0, 1, 2 or 3 for the last 24 hours, 7 days, 31 days or 365 days (default 2). Run it on
// the display and in the locale to be shown; QT_SCALE_FACTOR scales it.

#include "common/Clock.h"
#include "settings/SettingsStore.h"
#include "ui/FrmHistory.h"
#include "ui/HistoryChart.h"

#include <QApplication>
#include <QComboBox>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fputs("Usage: history-shot ARCHIVE_FOLDER OUT.png [SPAN]\n", stderr);
        return 2;
    }
    QTemporaryDir settingsDir;
    SettingsStore settings(settingsDir.filePath("KORA.conf"));
    SystemClock clock;
    HistoryModel archive;
    archive.load(QString::fromLocal8Bit(argv[1]), clock.now());
    FrmHistory history([&archive]() -> const HistoryModel& { return archive; }, settings, clock);
    history.findChild<QComboBox*>()->setCurrentIndex(argc > 3 ? std::atoi(argv[3]) : 2);
    history.show();
    if (!QTest::qWaitForWindowExposed(&history))
        return 1;
    // Pointing at the middle of the chart shows what it tells of a block.
    HistoryChart& chart = history.chart();
    chart.setFocus();
    QTest::keyClick(&chart, Qt::Key_End);
    for (int i = 0; i < 100; ++i)
        QTest::keyClick(&chart, Qt::Key_Left);
    QTest::qWait(300);
    return history.grab().save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
}
