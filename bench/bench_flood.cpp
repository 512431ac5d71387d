// A flood of noise without line ends on a real pseudo-terminal: how much the resident memory
// grows, and how many sensor lines it takes afterwards until a reading shows again.

#include "StationWindow.h"
#include "FixedClock.h"
#include "Pty.h"
#include "RecordingMessages.h"
#include "TestSettings.h"
#include "measurement/ProgramState.h"
#include "serial/QtSerialControl.h"
#include "ui/FrmMain.h"

#include "ProcStatus.h"

#include <QApplication>
#include <QLabel>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <cstdio>
#include <thread>

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const qsizetype floodBytes = 4 * 1024 * 1024;

    QTemporaryDir work;
    QDir::setCurrent(work.path());
    Pty pty;
    ProgramState state;
    TestSettings settings;
    FixedClock clock;
    RecordingMessages messages;
    const QString device = pty.deviceName();
    QtSerialControl port([device](int) { return device; });
    StationWindow window(state, *settings, port, clock, messages);
    window.load();
    window.show();
    auto* temperature = window.findChild<QLabel*>("txtTEMP");

    QByteArray noise(floodBytes, Qt::Uninitialized);
    QRandomGenerator random(1);
    for (char& c : noise) {
        c = char(random.bounded(256));
        if (c == '\r' || c == '\n')
            c = '#';
    }
    // Warm up with a few lines so the baseline includes what normal work allocates.
    for (int i = 0; i < 5; ++i) {
        pty.write("1=20.0deg2=50\r\n");
        QTest::qWait(20);
    }
    const long before = procStatusKiB("VmRSS");

    std::atomic<bool> written{false};
    std::thread writer([&] {
        for (qsizetype at = 0; at < noise.size(); at += 4096)
            pty.write(noise.mid(at, 4096));
        written = true;
    });
    while (!written || !pty.waitUntilRead(0))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    writer.join();
    QTest::qWait(100);
    const long after = procStatusKiB("VmRSS");

    temperature->clear();
    int linesUntilReading = 0;
    while (temperature->text().isEmpty() && linesUntilReading < 10) {
        pty.write("1=17.5deg2=60\r\n");
        ++linesUntilReading;
        QTest::qWait(30);
    }
    std::printf("flood.rss_growth_kib %ld (4 MiB of noise without line ends; target < 1024)\n",
                after - before);
    std::printf("flood.lines_until_reading %d (lines sent after the flood until a reading showed; "
                "the first line is taken when the second arrives)\n",
                linesUntilReading);
    std::printf("flood.receive_buffer_chars %lld\n",
                static_cast<long long>(state.receiveBuffer.size()));
    return temperature->text() == "17.5" ? 0 : 1;
}
