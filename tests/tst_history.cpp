#include "StationWindow.h"
#include "FakeSerialControl.h"
#include "FixedClock.h"
#include "RecordingMessages.h"
#include "TestSettings.h"
#include "measurement/ProgramState.h"
#include "settings/SettingsKeys.h"
#include "station/ChartAxes.h"
#include "ui/FrmHistory.h"
#include "ui/FrmMain.h"
#include "ui/HistoryChart.h"

#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QtTest>

class TestHistory : public QObject {
    Q_OBJECT
private slots:
    void chartBreaksAndShades_data();
    void chartBreaksAndShades();
    void axisLabels_data();
    void axisLabels();
    void windowFromTheMenuGrowsAtEachReport();
    void pointsAreBoundedAndKeepExtremes_data();
    void pointsAreBoundedAndKeepExtremes();
};

void TestHistory::chartBreaksAndShades_data()
{
    // Rows at the given minutes after 12:00: "b" a block, anything else an event. The line
    // ends after each block marked "|", and the intervals are shaded from minute to minute.
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("lineEnds");
    QTest::addColumn<QString>("intervals");
    QTest::newRow("blocks every 5 minutes") << QStringList{"0 b", "5 b", "10 b"} << "--|"
                                            << "";
    QTest::newRow("a gap short of 2.5 spacings")
        << QStringList{"0 b", "5 b", "10 b", "22 b"} << "---|"
        << "";
    QTest::newRow("an hour without rows")
        << QStringList{"0 b", "5 b", "10 b", "70 b", "75 b"} << "--|-|"
        << "";
    QTest::newRow("port lost and back")
        << QStringList{"0 b", "5 b", "7 lost", "40 back", "45 b"} << "-||"
        << "lost 7-40";
    QTest::newRow("lost until a block comes") << QStringList{"0 b", "2 lost", "30 b"} << "||"
                                              << "lost 2-30";
    QTest::newRow("silent and lost: one stretch")
        << QStringList{"0 b", "10 silent", "20 lost", "30 back", "35 b"} << "||"
        << "silent 10-30";
    QTest::newRow("switched off") << QStringList{"0 b", "3 ended", "200 started", "205 b"} << "||"
                                  << "off 3-200";
    QTest::newRow("still lost when read") << QStringList{"0 b", "5 b", "8 lost"} << "-|"
                                          << "lost 8-240";
}

void TestHistory::chartBreaksAndShades()
{
    QFETCH(QStringList, rows);
    QFETCH(QString, lineEnds);
    QFETCH(QString, intervals);
    const QDateTime noon = QDateTime::fromString("2026-12-08T12:00:00Z", Qt::ISODate);
    std::vector<ArchiveRow> archive;
    for (const QString& row : rows) {
        ArchiveRow read;
        read.at = noon.addSecs(row.section(' ', 0, 0).toInt() * 60);
        read.isBlock = row.endsWith(" b");
        read.event = read.isBlock ? PortEvent::Other : PortEvents::fromWord(row.section(QLatin1Char(' '), 1));
        archive.push_back(read);
    }
    HistoryChart chart;
    chart.setSpan(HistoryModel::span(archive, noon, noon.addSecs(240 * 60)));
    QString ends;
    for (const bool end : chart.lineEndsAfter())
        ends += end ? u'|' : u'-';
    QCOMPARE(ends, lineEnds);
    QStringList shaded;
    for (const HistoryModel::Interval& interval : chart.intervals())
        shaded << QStringLiteral("%1 %2-%3")
                      .arg(PortEvents::word(interval.event))
                      .arg((interval.from - noon.toMSecsSinceEpoch()) / 60000)
                      .arg((interval.to - noon.toMSecsSinceEpoch()) / 60000);
    QCOMPARE(shaded.join(';'), intervals);
    // With no block picked yet, Left picks the newest.
    QTest::keyClick(&chart, Qt::Key_Left);
    const QDateTime newest = chart.blocks().back().at.toLocalTime();
    QVERIFY2(chart.pointed().startsWith(QLocale().toString(newest, QLocale::ShortFormat) + ':'),
             qPrintable(chart.pointed()));
}

void TestHistory::axisLabels_data()
{
    QTest::addColumn<double>("lowest");
    QTest::addColumn<double>("highest");
    QTest::addColumn<QString>("labels");
    QTest::newRow("a day's temperatures") << -2.5 << 7.3 << "-4 -2 0 2 4 6 8";
    QTest::newRow("a flat history") << 22.5 << 22.5 << "22.5 22.6";
    // Values the program never writes: the chart is drawn all the same, and at once.
    QTest::newRow("huge and nearly equal") << 1e15 << 1e15 + 1 << "";
}

void TestHistory::axisLabels()
{
    QFETCH(double, lowest);
    QFETCH(double, highest);
    QFETCH(QString, labels);
    const QStringList drawn = ChartAxes::axisLabels(ChartAxes::axisFor(lowest, highest, 5));
    if (!labels.isEmpty())
        QCOMPARE(drawn.join(' '), labels);
    QVERIFY(drawn.size() >= 2 && drawn.size() <= 101);
    QCOMPARE(QSet<QString>(drawn.begin(), drawn.end()).size(), drawn.size());
}

// However many blocks the archive or the running station gives, a span has at most its points,
// and no block's extreme is lost in them; rows appended stay for the longest span.
void TestHistory::pointsAreBoundedAndKeepExtremes_data()
{
    QTest::addColumn<int>("everySeconds");
    QTest::addColumn<int>("days"); // of blocks, and of the span shown
    QTest::addColumn<bool>("appended"); // as the station archives them, not read
    QTest::newRow("a day at the sensor's full rate") << 6 << 1 << false;
    QTest::newRow("a week of blocks every 5 minutes") << 300 << 7 << false;
    QTest::newRow("a week appended while running") << 300 << 7 << true;
    QTest::newRow("three days appended at full rate") << 6 << 3 << true;
}

void TestHistory::pointsAreBoundedAndKeepExtremes()
{
    QFETCH(int, everySeconds);
    QFETCH(int, days);
    QFETCH(bool, appended);
    const QDateTime now = QDateTime::fromString("2026-12-08T12:00:00Z", Qt::ISODate);
    std::vector<ArchiveRow> rows;
    const int count = days * 86400 / everySeconds;
    for (int i = 0; i < count; ++i) {
        ArchiveRow row;
        row.at = now.addSecs(qint64(i - count) * everySeconds + 1);
        row.isBlock = true;
        const double t = 15.0 + (i % 7) * 0.5;
        row.block = BlockSummary{t, t - 1.0, t + 1.0, 45.0, 40.0, 50.0, 300};
        rows.push_back(row);
    }
    // One hot and one cold moment, in blocks of their own.
    rows[count / 3].block.temperatureHigh = 40.0;
    rows[2 * count / 3].block.temperatureLow = -10.0;
    HistoryModel model;
    HistoryModel::Span span;
    if (appended) {
        model.load(QString(), now.addDays(-days));
        for (const ArchiveRow& row : rows)
            model.append(row);
        span = model.span(now.addDays(-days), now);
    } else {
        span = HistoryModel::span(rows, now.addDays(-days), now);
    }
    QVERIFY2(span.blocks.size() <= std::size_t(HistoryModel::MaxPoints),
             qPrintable(QString::number(span.blocks.size())));
    // Where there is room, a block is a point of its own.
    if (std::size_t(count) <= std::size_t(HistoryModel::MaxPoints))
        QCOMPARE(span.blocks.size(), std::size_t(count));
    const auto [low, high] = HistoryModel::range(span, HistoryModel::Quantity::Temperature);
    QCOMPARE(low, -10.0);
    QCOMPARE(high, 40.0);
    // The whole span, from its first block to its last: none lost at either end.
    QVERIFY(span.blocks.front().at <= rows.front().at.addSecs(std::int64_t(days) * 86.4 + 1));
    QCOMPARE(span.blocks.back().at, rows.back().at);
    qint64 readings = 0;
    for (const ArchiveRow& point : span.blocks)
        readings += point.block.readings;
    QCOMPARE(readings, qint64(count) * 300);
}

void TestHistory::windowFromTheMenuGrowsAtEachReport()
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QTemporaryDir archive;
    ProgramState state;
    TestSettings settings;
    FakeSerialControl port;
    FixedClock clock;
    RecordingMessages messages;
    StationWindow window(state, *settings, port, clock, messages);
    window.station().setArchiveFolder(archive.path());
    window.station().setReportFolder(archive.path());
    window.load();
    const auto block = [&port](const char* line) {
        for (int i = 0; i < 301; ++i)
            port.arrive(line);
    };
    block("1=-2.5deg2=45\r\n");

    window.menuBar()->actions()[0]->menu()->actions()[1]->trigger();
    auto* history = window.findChild<FrmHistory*>();
    QVERIFY(history && history->isVisible());
    QCOMPARE(history->windowTitle(), QString("History"));
    // Drawn once the archive has been read, a slice at a time.
    QTRY_COMPARE(history->chart().blocks().size(), std::size_t(1));
    QCOMPARE(history->findChild<QLabel*>("lblExtreme00")->text(), QString("-2,5 °C at 14:05"));

    // The next report, five minutes on.
    clock.readings = {QDateTime(QDate(2026, 12, 6), QTime(14, 10, 9))};
    clock.calls = 0;
    block("1=-3.5deg2=45\r\n");
    QCOMPARE(history->chart().blocks().size(), std::size_t(2));
    QCOMPARE(history->findChild<QLabel*>("lblExtreme00")->text(), QString("-3,5 °C at 14:10"));

    // Lost, so no report comes: the loss is drawn all the same, and after midnight the new day
    // is "Today" within a minute.
    emit port.deviceLost("Com1 (/dev/ttyUSB0) was lost");
    QCOMPARE(history->chart().intervals().size(), std::size_t(1));
    clock.readings = {QDateTime(QDate(2026, 12, 7), QTime(0, 1))};
    clock.calls = 0;
    auto* refresh = history->findChild<QTimer*>("tmrRefresh");
    QVERIFY(refresh && refresh->isActive() && refresh->interval() <= 60000);
    refresh->setInterval(1);
    QTRY_COMPARE(history->findChild<QLabel*>("lblExtreme00")->text(), QString("–"));
    QCOMPARE(history->findChild<QLabel*>("lblExtreme10")->text(), QString("-3,5 °C at 14:10"));
    // Two days on, the blocks are older than the last 24 hours, not than the last 7 days.
    clock.readings = {QDateTime(QDate(2026, 12, 8), QTime(12, 0))};
    clock.calls = 0;
    history->reload();
    QCOMPARE(history->chart().blocks().size(), std::size_t(0));
    history->findChild<QComboBox*>("cboSpan")->setCurrentIndex(1);
    QCOMPARE(history->chart().blocks().size(), std::size_t(2));

    // Its size and span are kept for the next time.
    history->findChild<QComboBox*>("cboSpan")->setCurrentIndex(2);
    history->resize(700, 500);
    history->close();
    QCOMPARE(settings->GetSetting(SettingsKeys::HistorySection, SettingsKeys::HistoryWidth, ""),
             QString("700"));
    FrmHistory again([&window]() -> const HistoryModel& { return window.station().history(); },
                     *settings, clock);
    QCOMPARE(again.size(), QSize(700, 500));
    QCOMPARE(again.findChild<QComboBox*>("cboSpan")->currentIndex(), 2);
    QLocale::setDefault(QLocale::c());
}

QTEST_MAIN(TestHistory)
#include "tst_history.moc"
