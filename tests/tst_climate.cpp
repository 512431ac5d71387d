#include "app/CommandLine.h"
#include "measurement/DewPoint.h"
#include "station/ClimateFiles.h"
#include "station/ClimateSummary.h"
#include "station/HistoryModel.h"
#include "station/StationJson.h"

#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QtTest>

#include <cmath>

// A seeded archive of known values, from 1 January to 5 March 2026 at +01:00, a block every half
// hour, against summaries checked by hand: each day's blocks average its own temperature, but
// for a colder block at 06:00 and a warmer one at 14:00 that leave the mean as it is. On 10
// January one block has four times the readings; 20 January loses the port for six hours, 25
// January is silent for two, 14 February KORA does not run for two, the port is lost from 22:00
// on 20 February until 03:00 the next day, and 10 February has no rows at all.
class TestClimate : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void dewPoint_data();
    void dewPoint();
    void summariesMatchTheirFiles_data();
    void summariesMatchTheirFiles();
    void recordsAndTheYear();
    void keptBesideTheArchiveAndPrinted();
    void aPortThatComesAndGoesAllYear();

private:
    QTemporaryDir m_folder;
    HistoryModel m_history;
    const QTimeZone m_zone{3600};
    QDateTime m_now;
};

namespace {
double dayTemperature(const QDate& date)
{
    return date == QDate(2026, 3, 3) ? 20.5 : 0.5 * (date.dayOfYear() % 11) - 1.0;
}

QByteArray decimal(double value)
{
    return QByteArray::number(std::round(value * 10) / 10 + 0.0, 'f', 1);
}
} // namespace

void TestClimate::initTestCase()
{
    QVERIFY(m_folder.isValid());
    m_now = QDateTime(QDate(2026, 3, 5), QTime(18, 0), m_zone);
    QByteArray months[3];
    for (QDate date(2026, 1, 1); date <= m_now.date(); date = date.addDays(1)) {
        if (date == QDate(2026, 2, 10))
            continue;
        const double t = dayTemperature(date);
        const double h = 50 + date.dayOfYear() % 35;
        QByteArray& file = months[date.month() - 1];
        const auto event = [&](int minutes, const char* word) {
            file += QDateTime(date, QTime(0, 0), m_zone)
                        .addSecs(minutes * 60)
                        .toString(Qt::ISODate)
                        .toLatin1() +
                    ",,,,,,,," + word + ",\n";
        };
        for (int slot = 0; slot < 48; ++slot) {
            const int minutes = slot * 30;
            const QDateTime at = QDateTime(date, QTime(0, 0), m_zone).addSecs(minutes * 60);
            if (at >= m_now)
                break;
            const bool lost =
                (date == QDate(2026, 1, 20) && minutes > 8 * 60 && minutes < 14 * 60) ||
                (date == QDate(2026, 1, 25) && minutes > 20 * 60 && minutes < 22 * 60) ||
                (date == QDate(2026, 2, 14) && minutes > 10 * 60 && minutes < 12 * 60) ||
                (date == QDate(2026, 2, 20) && minutes > 22 * 60) ||
                (date == QDate(2026, 2, 21) && minutes < 3 * 60);
            if (date == QDate(2026, 1, 20) && minutes == 14 * 60)
                event(minutes, "back");
            if (date == QDate(2026, 2, 14) && minutes == 12 * 60)
                event(minutes, "started");
            if (date == QDate(2026, 2, 21) && minutes == 3 * 60)
                event(minutes, "back");
            if (lost)
                continue;
            double average = t, low = t - 0.5, high = t + 0.5;
            double humidity = h, humidityLow = h - 1, humidityHigh = h + 1;
            int readings = 300;
            if (slot == 12) {
                average = t - 2.4, low = t - 3.0, humidity = h + 10, humidityHigh = h + 12;
            } else if (slot == 28) {
                average = t + 2.4, high = t + 3.0, humidity = h - 10, humidityLow = h - 12;
            } else if (slot == 24 && date == QDate(2026, 1, 10)) {
                average = t + 1.0, low = t + 0.5, high = t + 1.5, readings = 1200;
            }
            file += at.toString(Qt::ISODate).toLatin1() + ',' + decimal(average) + ',' +
                    decimal(low) + ',' + decimal(high) + ',' + decimal(humidity) + ',' +
                    decimal(humidityLow) + ',' + decimal(humidityHigh) + ',' +
                    QByteArray::number(readings) + ",,\n";
            if (date == QDate(2026, 1, 20) && minutes == 8 * 60)
                event(minutes, "lost");
            if (date == QDate(2026, 1, 25) && minutes == 20 * 60)
                event(minutes, "silent");
            if (date == QDate(2026, 2, 14) && minutes == 10 * 60)
                event(minutes, "ended");
            if (date == QDate(2026, 2, 20) && minutes == 22 * 60)
                event(minutes, "lost");
        }
    }
    for (int month = 0; month < 3; ++month) {
        QFile file(m_folder.filePath(QStringLiteral("kora-2026-0%1.csv").arg(month + 1)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(months[month]);
    }
    m_history.load(m_folder.path(), m_now);
}

void TestClimate::dewPoint_data()
{
    QTest::addColumn<double>("temperature");
    QTest::addColumn<double>("humidity");
    QTest::addColumn<double>("dewPoint"); // NaN for none
    // From the tables of the Magnus form with a = 17.62, b = 243.12 °C.
    QTest::newRow("a mild day") << 20.0 << 50.0 << 9.3;
    QTest::newRow("saturated") << 5.0 << 100.0 << 5.0;
    QTest::newRow("frost") << -10.0 << 80.0 << -12.8;
    QTest::newRow("sultry") << 30.0 << 90.0 << 28.2;
    QTest::newRow("no vapour") << 25.0 << 0.0 << qQNaN();
}

void TestClimate::dewPoint()
{
    QFETCH(double, temperature);
    QFETCH(double, humidity);
    QFETCH(double, dewPoint);
    const std::optional<double> found = DewPoint::of(temperature, humidity);
    QCOMPARE(found.has_value(), !qIsNaN(dewPoint));
    if (found)
        QCOMPARE(*found, dewPoint);
    const QJsonValue shown = StationJson::reading(temperature, humidity, m_now)["dewPoint"];
    QCOMPARE(shown.isNull(), qIsNaN(dewPoint));
}

void TestClimate::summariesMatchTheirFiles_data()
{
    QTest::addColumn<int>("month"); // 0 for the year's
    QTest::addColumn<bool>("json");
    QTest::addColumn<QString>("file");
    QTest::newRow("January") << 1 << false << "2026-01.txt";
    QTest::newRow("February, a day missing") << 2 << false << "2026-02.txt";
    QTest::newRow("March, under way") << 3 << false << "2026-03.txt";
    QTest::newRow("the year") << 0 << false << "2026.txt";
    QTest::newRow("February as JSON") << 2 << true << "2026-02.json";
    QTest::newRow("the year as JSON") << 0 << true << "2026.json";
}

// The same bytes whatever the locale: the test runs in German too.
void TestClimate::summariesMatchTheirFiles()
{
    QFETCH(int, month);
    QFETCH(bool, json);
    QFETCH(QString, file);
    const ClimateSummary::Table table =
        month > 0 ? ClimateSummary::month(m_history.climate(), 2026, month, m_now)
                  : ClimateSummary::year(m_history.climate(), 2026, m_now);
    const QByteArray made =
        json ? QJsonDocument(ClimateSummary::json(table)).toJson(QJsonDocument::Compact) + '\n'
             : ClimateSummary::text(table);
    const QString path = QFINDTESTDATA("climate/" + file);
    if (qEnvironmentVariableIsSet("KORA_WRITE_GOLDEN")) {
        QFile golden(QFileInfo(QStringLiteral(__FILE__)).dir().filePath("climate/" + file));
        QVERIFY(golden.open(QIODevice::WriteOnly));
        golden.write(made);
        QSKIP("written");
    }
    QFile golden(path);
    QVERIFY2(golden.open(QIODevice::ReadOnly), qPrintable(file));
    const QList<QByteArray> expected = golden.readAll().split('\n');
    const QList<QByteArray> lines = made.split('\n');
    for (qsizetype i = 0; i < std::min(expected.size(), lines.size()); ++i)
        QCOMPARE(lines[i], expected[i]);
    QCOMPARE(lines.size(), expected.size());
}

void TestClimate::recordsAndTheYear()
{
    const QJsonObject records = StationJson::records(m_history, m_now);
    const auto record = [&](const char* period, const char* which) {
        const QJsonObject found = records[period][which].toObject();
        return QString::number(found["value"].toDouble(), 'f', 1) + u' ' + found["time"].toString();
    };
    QCOMPARE(record("allTime", "temperatureHigh"), "23.5 2026-03-03T14:00:00+01:00");
    // The earliest of equal lows stays the record.
    QCOMPARE(record("allTime", "temperatureLow"), "-4.0 2026-01-11T06:00:00+01:00");
    QCOMPARE(record("month", "temperatureLow"), "-1.5 2026-03-01T06:00:00+01:00");
    QCOMPARE(record("year", "humidityHigh"), "96.0 2026-02-03T06:00:00+01:00");

    // A point a day, the line broken where a day has none, the outages marked.
    const HistoryModel::Span year = m_history.span(m_now.addDays(-365), m_now);
    QCOMPARE(int(year.blocks.size()), 63);
    QCOMPARE(int(std::count(year.lineEnds.begin(), year.lineEnds.end(), true)), 2);
    const ArchiveRow& hot = year.blocks[60];
    QCOMPARE(hot.at.date(), QDate(2026, 3, 3));
    QCOMPARE(hot.block.temperatureAverage, 20.5);
    QCOMPARE(hot.block.temperatureHigh, 23.5);
    QCOMPARE(hot.block.temperatureLow, 17.5);
    QStringList outages;
    for (const HistoryModel::Interval& interval : year.intervals)
        outages << QStringLiteral("%1 %2").arg(PortEvents::word(interval.event),
                                               QDateTime::fromMSecsSinceEpoch(interval.from, m_zone)
                                                   .toString(QStringLiteral("MM-dd HH:mm")));
    QCOMPARE(outages.join(", "),
             "lost 01-20 08:00, silent 01-25 20:00, off 02-14 10:00, lost 02-20 22:00");
}

// The service writes a month's summary once it has ended, and not again; korad prints one.
void TestClimate::keptBesideTheArchiveAndPrinted()
{
    const QString february = m_folder.filePath(ClimateFiles::fileName(2026, 2));
    const auto golden = [](const char* name) {
        QFile file(QFINDTESTDATA(QStringLiteral("climate/") + QLatin1String(name)));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("none");
    };
    QCOMPARE(ClimateFiles::writeEnded(m_folder.path(), m_history, m_now), QString());
    const auto contents = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    QCOMPARE(contents(february), golden("2026-02.txt"));
    QVERIFY(contents(m_folder.filePath(ClimateFiles::fileName(2026)))
                .startsWith("CLIMATE SUMMARY FOR 2026\n"));
    {
        QFile file(february);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("kept\n");
    }
    QCOMPARE(ClimateFiles::writeEnded(m_folder.path(), m_history, m_now), QString());
    QCOMPARE(contents(february), QByteArray("kept\n"));
    // Written before the month was over, it is written again.
    {
        QFile file(february);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime(QDate(2026, 2, 28), QTime(23, 0), m_zone),
                                 QFileDevice::FileModificationTime));
    }
    QCOMPARE(ClimateFiles::writeEnded(m_folder.path(), m_history, m_now), QString());
    QCOMPARE(contents(february), golden("2026-02.txt"));

    const CommandLine line =
        CommandLine::parse({"korad", "--archive-dir", m_folder.path(), "--climate", "2026-01"},
                           CommandLine::Face::Service);
    QCOMPARE(line.outcome, CommandLine::Outcome::Climate);
    QByteArray printed;
    QVERIFY(line.climateSummary(printed));
    QCOMPARE(printed, golden("2026-01.txt"));
}

// Every second it was away is counted in its day, while the stretches kept for a year's chart
// stay bounded.
void TestClimate::aPortThatComesAndGoesAllYear()
{
    ClimateDays days;
    std::vector<ArchiveRow> rows;
    const QDateTime start(QDate(2025, 1, 1), QTime(0, 0), m_zone);
    for (int i = 0; i < 50000; ++i) {
        const QDateTime at = start.addSecs(i * 600);
        const PortEvent away = i % 2 ? PortEvent::Silent : PortEvent::Lost;
        days.addEvent(at.toMSecsSinceEpoch(), 3600, away);
        days.addEvent(at.toMSecsSinceEpoch() + 120000, 3600, PortEvent::Back);
        rows.push_back(ArchiveRow{at, false, {}, away, {}});
        rows.push_back(ArchiveRow{at.addSecs(120), false, {}, PortEvent::Back, {}});
    }
    QVERIFY(days.outages().size() <= ClimateDays::OutageLimit);
    const ClimateDays::Day* day = days.day(QDate(2025, 3, 1));
    QVERIFY(day);
    QCOMPARE(day->lostSeconds, 72 * 120.0);
    QCOMPARE(day->silentSeconds, 72 * 120.0);
    const QDateTime end = start.addSecs(50000 * 600);
    const HistoryModel::Span year = HistoryModel::span(rows, end.addDays(-365), end);
    QVERIFY(!year.intervals.empty());
    QVERIFY(year.intervals.size() <= std::size_t(HistoryModel::MaxPoints));
}

QTEST_GUILESS_MAIN(TestClimate)
#include "tst_climate.moc"
