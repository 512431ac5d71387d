// Start-up of KORA against a minimal one-label Qt Widgets program built in the same tree.
//
// "bench_startup compare N" starts each probe N times, alternately, and prints the ratios of
// the median times from exec to the first paint of the window and of the median peak memory.
// "bench_startup kora" starts the program exactly as its main() does, "bench_startup minimal"
// the one-label program; each prints, at its window's first paint, the time since BENCH_T0_NS
// (CLOCK_MONOTONIC when the parent started it) and its peak resident memory, and ends.

#include "app/CommandLine.h"
#include "app/KoraApp.h"
#include "common/Version.h"

#include "ProcStatus.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMap>
#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {
long long nowNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

// Reports once the watched window has painted.
class FirstPaint : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !m_done) {
            m_done = true;
            const long long t0 = qEnvironmentVariable("BENCH_T0_NS").toLongLong();
            std::printf("%.3f %ld\n", (nowNs() - t0) / 1e6, procStatusKiB("VmHWM"));
            std::fflush(stdout);
            QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_done = false;
};
} // namespace

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

int compare(int runs, const QString& self)
{
    QMap<QString, QList<double>> millis;
    QMap<QString, QList<double>> peak;
    for (int i = 0; i < runs; ++i) {
        for (const QString& probe : {QStringLiteral("minimal"), QStringLiteral("kora")}) {
            QProcess process;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("BENCH_T0_NS", QString::number(nowNs()));
            process.setProcessEnvironment(env);
            process.start(self, {probe});
            if (!process.waitForFinished(30000) || process.exitCode() != 0) {
                std::fprintf(stderr, "bench_startup: the %s probe failed\n", qPrintable(probe));
                return 1;
            }
            const QList<QByteArray> fields = process.readAllStandardOutput().trimmed().split(' ');
            millis[probe] << fields.value(0).toDouble();
            peak[probe] << fields.value(1).toDouble();
        }
    }
    const double koraMs = median(millis["kora"]);
    const double minimalMs = median(millis["minimal"]);
    const double koraKiB = median(peak["kora"]);
    const double minimalKiB = median(peak["minimal"]);
    std::printf("startup.time_ratio %.2f (KORA %.1f ms, one-label program %.1f ms, medians of %d "
                "runs from exec to first paint; target <= 1.25)\n",
                koraMs / minimalMs, koraMs, minimalMs, runs);
    std::printf("startup.peak_memory_ratio %.2f (KORA %.0f KiB, one-label program %.0f KiB; "
                "target <= 1.25)\n",
                koraKiB / minimalKiB, koraKiB, minimalKiB);
    return 0;
}

int main(int argc, char* argv[])
{
    const QByteArray which = argc > 1 ? QByteArray(argv[1]) : QByteArray("kora");
    if (which == "compare") {
        QCoreApplication app(argc, argv);
        return compare(argc > 2 ? std::atoi(argv[2]) : 15, QCoreApplication::applicationFilePath());
    }
    QApplication app(argc, argv);
    FirstPaint firstPaint;
    if (which == "minimal") {
        QLabel label(QStringLiteral("Now"));
        label.installEventFilter(&firstPaint);
        label.show();
        return app.exec();
    }
    QCoreApplication::setOrganizationName(AppTitle);
    QCoreApplication::setApplicationName(AppTitle);
    const CommandLine line;
    KoraApp kora(line);
    kora.mainWindow().installEventFilter(&firstPaint);
    if (!kora.start())
        return 1;
    return app.exec();
}
