#include "FakeView.h"
#include "measurement/Conditioning.h"
#include "measurement/ProgramState.h"

#include <QtTest>

using Label = MainView::Label;

class TestConditioning : public QObject {
    Q_OBJECT

    struct Rig {
        ProgramState state;
        FakeView view;
        QList<QPair<double, int>> reports;
        QList<QList<double>> blocks;
        Conditioning conditioning{state, view,
                                  [this](double t, std::int16_t h) {
                                      reports.append({t, h});
                                  },
                                  [this](const BlockSummary& b) {
                                      blocks.append({b.temperatureAverage, b.temperatureLow,
                                                     b.temperatureHigh, b.humidityAverage,
                                                     b.humidityLow, b.humidityHigh,
                                                     double(b.readings)});
                                  }};
        void reading(const QString& temperature, const QString& humidity)
        {
            view.texts[Label::Temperature] = temperature;
            view.texts[Label::Humidity] = humidity;
            conditioning.run();
        }
        void readings(int count, const QString& temperature, const QString& humidity)
        {
            for (int i = 0; i < count; ++i)
                reading(temperature, humidity);
        }
    };

private slots:
    void clamping_data();
    void clamping();
    void workedRun();
    void averagesAfterEvery300();
    void averageRounding_data();
    void averageRounding();
    void minimizedTitle_data();
    void minimizedTitle();
    void titleUntouchedWhenNotMinimized();
};

void TestConditioning::clamping_data()
{
    QTest::addColumn<QString>("temperatureText");
    QTest::addColumn<QString>("humidityText");
    QTest::addColumn<QString>("temperatureShown");
    QTest::addColumn<QString>("humidityShown");
    QTest::addColumn<double>("temperatureSum");
    QTest::addColumn<double>("humiditySum");

    QTest::newRow("below -40") << "-40.5"
                               << "50"
                               << "-40"
                               << "50" << -40.0 << 50.0;
    QTest::newRow("exactly -40 keeps text") << "-40.0"
                                            << "50"
                                            << "-40.0"
                                            << "50" << -40.0 << 50.0;
    QTest::newRow("above 100 becomes 99") << "100.5"
                                          << "50"
                                          << "99"
                                          << "50" << 99.0 << 50.0;
    QTest::newRow("exactly 100 stays") << "100"
                                       << "100"
                                       << "100"
                                       << "100" << 100.0 << 100.0;
    QTest::newRow("humidity below 0") << "20"
                                      << "-1"
                                      << "20"
                                      << "0" << 20.0 << 0.0;
    QTest::newRow("humidity above 100") << "20"
                                        << "101"
                                        << "20"
                                        << "99" << 20.0 << 99.0;
    QTest::newRow("humidity with unit keeps text") << "20"
                                                   << "45%"
                                                   << "20"
                                                   << "45%" << 20.0 << 45.0;
    QTest::newRow("text without number counts as 0") << "abc"
                                                     << "x"
                                                     << "abc"
                                                     << "x" << 0.0 << 0.0;
    QTest::newRow("too large for a double") << "1E999"
                                            << "-1E999"
                                            << "99"
                                            << "0" << 99.0 << 0.0;
    QTest::newRow("too small negative") << "-1E999"
                                        << "1E999"
                                        << "-40"
                                        << "99" << -40.0 << 99.0;
    QTest::newRow("just inside") << "-39.99"
                                 << "99.99"
                                 << "-39.99"
                                 << "99.99" << -39.99 << 99.99;
}

void TestConditioning::clamping()
{
    QFETCH(QString, temperatureText);
    QFETCH(QString, humidityText);
    QFETCH(QString, temperatureShown);
    QFETCH(QString, humidityShown);
    QFETCH(double, temperatureSum);
    QFETCH(double, humiditySum);

    Rig rig;
    rig.reading(temperatureText, humidityText);
    QCOMPARE(rig.view.texts[Label::Temperature], temperatureShown);
    QCOMPARE(rig.view.texts[Label::Humidity], humidityShown);
    QCOMPARE(rig.state.temperatureSum, temperatureSum);
    QCOMPARE(rig.state.humiditySum, humiditySum);
    QCOMPARE(rig.state.sampleCount, 1);
}

void TestConditioning::workedRun()
{
    Rig rig;
    rig.readings(150, "21.0", "45");
    rig.readings(149, "21.5", "46");
    QCOMPARE(rig.state.temperatureSum, 6353.5);
    QVERIFY(rig.reports.isEmpty());
    QCOMPARE(rig.view.texts.value(Label::TemperatureAverage), QString());

    rig.reading("21.5", "46");
    QCOMPARE(rig.view.texts[Label::TemperatureAverage], QString("21.3"));
    QCOMPARE(rig.view.texts[Label::HumidityAverage], QString("45.5"));
    QCOMPARE(rig.reports.size(), 1);
    QCOMPARE(rig.reports[0].first, 70.34);
    QCOMPARE(rig.reports[0].second, 46);
    QCOMPARE(rig.blocks, (QList<QList<double>>{{21.3, 21.0, 21.5, 45.5, 45, 46, 300}}));
    QCOMPARE(rig.state.sampleCount, 0);
    QCOMPARE(rig.state.temperatureSum, 0.0);
    QCOMPARE(rig.state.humiditySum, 0.0);
}

void TestConditioning::averagesAfterEvery300()
{
    Rig rig;
    rig.readings(300, "10", "20");
    rig.readings(299, "30", "40");
    QCOMPARE(rig.reports.size(), 1);
    QCOMPARE(rig.view.texts[Label::TemperatureAverage], QString("10.0"));
    rig.reading("30", "40");
    QCOMPARE(rig.reports.size(), 2);
    QCOMPARE(rig.view.texts[Label::TemperatureAverage], QString("30.0"));
    QCOMPARE(rig.view.texts[Label::HumidityAverage], QString("40.0"));
    QCOMPARE(rig.reports[1].first, 86.0);
    QCOMPARE(rig.reports[1].second, 40);
    // The lowest and highest are the block's own.
    QCOMPARE(rig.blocks[1], (QList<double>{30, 30, 30, 40, 40, 40, 300}));
    // Its first reading too: here the highest temperature and the lowest humidity.
    rig.reading("31", "39");
    rig.readings(299, "30", "40");
    QCOMPARE(rig.blocks[2], (QList<double>{30, 30, 31, 40, 39, 40, 300}));
}

void TestConditioning::averageRounding_data()
{
    // Half the run at one reading and half at another gives an exact average between them.
    QTest::addColumn<QString>("firstTemperature");
    QTest::addColumn<QString>("secondTemperature");
    QTest::addColumn<QString>("firstHumidity");
    QTest::addColumn<QString>("secondHumidity");
    QTest::addColumn<QString>("temperatureShown");
    QTest::addColumn<QString>("humidityShown");
    QTest::addColumn<double>("fahrenheit");
    QTest::addColumn<int>("humidity");

    QTest::newRow("21.25 rounds up") << "21"
                                     << "21.5"
                                     << "45"
                                     << "46"
                                     << "21.3"
                                     << "45.5" << 70.34 << 46;
    QTest::newRow("-3.25 rounds toward +inf") << "-3"
                                              << "-3.5"
                                              << "44"
                                              << "45"
                                              << "-03.2"
                                              << "44.5" << 26.240000000000002 << 44;
    QTest::newRow("2.5 exactly") << "2.5"
                                 << "2.5"
                                 << "44.6"
                                 << "44.6"
                                 << "02.5"
                                 << "44.6" << 36.5 << 45;
    QTest::newRow("-40 limit") << "-40"
                               << "-40"
                               << "0"
                               << "0"
                               << "-40.0"
                               << "00.0" << -40.0 << 0;
    QTest::newRow("humidity 100") << "100"
                                  << "100"
                                  << "100"
                                  << "100"
                                  << "100.0"
                                  << "100.0" << 212.0 << 100;
    QTest::newRow("small negative average rounds to zero") << "0"
                                                           << "-0.08"
                                                           << "0"
                                                           << "0"
                                                           << "00.0"
                                                           << "00.0" << 32.0 << 0;
}

void TestConditioning::averageRounding()
{
    QFETCH(QString, firstTemperature);
    QFETCH(QString, secondTemperature);
    QFETCH(QString, firstHumidity);
    QFETCH(QString, secondHumidity);
    QFETCH(QString, temperatureShown);
    QFETCH(QString, humidityShown);
    QFETCH(double, fahrenheit);
    QFETCH(int, humidity);

    Rig rig;
    rig.readings(150, firstTemperature, firstHumidity);
    rig.readings(150, secondTemperature, secondHumidity);
    QCOMPARE(rig.view.texts[Label::TemperatureAverage], temperatureShown);
    QCOMPARE(rig.view.texts[Label::HumidityAverage], humidityShown);
    QCOMPARE(rig.reports.size(), 1);
    QCOMPARE(rig.reports[0].first, fahrenheit);
    QCOMPARE(rig.reports[0].second, humidity);
}

void TestConditioning::minimizedTitle_data()
{
    QTest::addColumn<QString>("temperature");
    QTest::addColumn<QString>("humidity");
    QTest::addColumn<QString>("title");

    QTest::newRow("usual") << "23.5"
                           << "45"
                           << "23.5C45%";
    QTest::newRow("clamped values") << "-41"
                                    << "7"
                                    << "-40.0C07%";
    QTest::newRow("over limits") << "120"
                                 << "130"
                                 << "99.0C99%";
    QTest::newRow("negative zero has no sign") << "-0.0"
                                               << "45"
                                               << "00.0C45%";
    QTest::newRow("small negative keeps its sign") << "-0.04"
                                                   << "45"
                                                   << "-00.0C45%";
    QTest::newRow("rounded") << "23.45"
                             << "44.5"
                             << "23.5C45%";
}

void TestConditioning::minimizedTitle()
{
    QFETCH(QString, temperature);
    QFETCH(QString, humidity);
    QFETCH(QString, title);

    Rig rig;
    rig.view.minimized = true;
    rig.reading(temperature, humidity);
    QCOMPARE(rig.view.title, title);

    // Restored: the title keeps the last minimized reading.
    rig.view.minimized = false;
    rig.reading("10", "10");
    QCOMPARE(rig.view.title, title);
}

void TestConditioning::titleUntouchedWhenNotMinimized()
{
    Rig rig;
    rig.reading("23.5", "45");
    QCOMPARE(rig.view.title, QString("KORa Ver 0.0.1"));
}

QTEST_GUILESS_MAIN(TestConditioning)
#include "tst_conditioning.moc"
