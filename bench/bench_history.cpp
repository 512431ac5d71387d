// The history window on a month of archive (figure 7):
//   bench_history ARCHIVE_FOLDER [REPEATS]
// prints the median time to read the last 31 days of the folder's archive, and to open the
// window on them: from its construction to the end of its first paint, the month chosen.

#include "common/Clock.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "station/Archive.h"
#include "station/HistoryModel.h"
#include "ui/FrmHistory.h"
#include "ui/HistoryChart.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}
} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fputs("Usage: bench_history ARCHIVE_FOLDER [REPEATS]\n", stderr);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;
    QTemporaryDir settingsDir;
    SettingsStore settings(settingsDir.filePath("KORA.conf"));
    settings.SaveSetting(SettingsKeys::HistorySection, SettingsKeys::HistorySpan, "2");
    SystemClock clock;

    std::vector<double> reading, opening, growing;
    std::size_t rows = 0;
    for (int i = 0; i < repeats; ++i) {
        QElapsedTimer timer;
        timer.start();
        const QDateTime now = QDateTime::currentDateTime();
        rows = Archive::read(folder, now.addDays(-31), now).size();
        reading.push_back(timer.nsecsElapsed() / 1e6);

        timer.restart();
        HistoryModel model;
        model.load(folder, now);
        FrmHistory history([&model]() -> const HistoryModel& { return model; }, settings, clock);
        history.show();
        history.repaint();
        opening.push_back(timer.nsecsElapsed() / 1e6);
        if (history.chart().blocks().empty())
            return 1;

        // A report comes: the window grows from memory, without the month's file.
        timer.restart();
        ArchiveRow block = history.chart().blocks().back();
        block.at = QDateTime::currentDateTime();
        model.append(block);
        history.reload();
        history.repaint();
        growing.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::printf("history.read_month_ms %.1f (%zu rows of 31 days; median of %d)\n", median(reading),
                rows, repeats);
    std::printf("history.open_window_ms %.1f (constructed, read and drawn once; target < 300)\n",
                median(opening));
    std::printf("history.grow_at_report_ms %.1f (a block appended, the window drawn again)\n",
                median(growing));
    return 0;
}
