// Cost of one sensor line through the whole reception path (notification, parse, labels,
// conditioning, a report every 300 lines, repaint) with the real main window offscreen, and of
// the bare parse.

#include "StationWindow.h"
#include "FakeSerialControl.h"
#include "FixedClock.h"
#include "RecordingMessages.h"
#include "TestSettings.h"
#include "measurement/ProgramState.h"
#include "measurement/Reception.h"
#include "ui/FrmMain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const long lines = argc > 1 ? std::atol(argv[1]) : 100000;

    QTemporaryDir work;
    QDir::setCurrent(work.path());
    ProgramState state;
    TestSettings settings;
    FakeSerialControl port;
    FixedClock clock;
    RecordingMessages messages;
    StationWindow window(state, *settings, port, clock, messages);
    window.load();
    window.show();
    QCoreApplication::processEvents();

    const QString sensorLines[] = {QStringLiteral("1=23.5deg2=45\r\n"),
                                   QStringLiteral("1=-4.2deg2=81\r\n")};
    QElapsedTimer timer;
    timer.start();
    for (long i = 0; i < lines; ++i) {
        port.arrive(sensorLines[i & 1]);
        QCoreApplication::processEvents(); // the repaint the event loop does after each line
    }
    const double fullNs = double(timer.nsecsElapsed()) / lines;

    const long parses = lines * 10;
    long accepted = 0;
    timer.restart();
    for (long i = 0; i < parses; ++i)
        accepted += Reception::cutLine(sensorLines[i & 1]).has_value();
    const double parseNs = double(timer.nsecsElapsed()) / parses;

    const double budgetNs = 15.0 * 10 / 9600 * 1e9; // one 15-character line at 9600 baud
    std::printf("reception.full_path_ns_per_line %.0f (%ld lines, %.3f %% of the %.1f ms a line "
                "takes at 9600 baud; target < 150000 ns)\n",
                fullNs, lines, 100.0 * fullNs / budgetNs, budgetNs / 1e6);
    std::printf("reception.parse_ns_per_line %.0f (%ld parses)\n", parseNs, accepted);
    if (!QFile::exists("wxnow.txt")) {
        std::fprintf(stderr, "bench_reception: no report was written\n");
        return 1;
    }
    return 0;
}
