#include "TestSettings.h"
#include "common/KoraError.h"
#include "serial/PortDevice.h"
#include "settings/SettingsKeys.h"

#include <QtTest>

class TestSettings_ : public QObject {
    Q_OBJECT
private slots:
    void missingKeyReadsAsDefault();
    void savedValueReadsBackAfterReopening();
    void positionText_data();
    void positionText();
    void positionParsing_data();
    void positionParsing();
    void unwritableStoreThrows();
    void mappedPortDevice_data();
    void mappedPortDevice();
};

void TestSettings_::missingKeyReadsAsDefault()
{
    TestSettings settings;
    QCOMPARE(settings->GetSetting("Properties", "Top", "200"), QString("200"));
    QCOMPARE(settings->GetSetting("Properties", "CommPort", ""), QString());
}

void TestSettings_::savedValueReadsBackAfterReopening()
{
    TestSettings settings;
    settings->SaveSetting(SettingsKeys::Section, SettingsKeys::CommPort, "3");
    settings->SaveSetting(SettingsKeys::Section, SettingsKeys::Top, "1440");
    settings.store.reset();
    SettingsStore reopened(settings.dir.filePath("KORA.conf"));
    QCOMPARE(reopened.GetSetting("Properties", "CommPort", ""), QString("3"));
    QCOMPARE(reopened.GetSetting("Properties", "Top", "200"), QString("1440"));

    QFile file(settings.dir.filePath("KORA.conf"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QVERIFY2(text.contains("[Properties]") && text.contains("CommPort=3"), text.constData());
}

void TestSettings_::positionText_data()
{
    QTest::addColumn<float>("twips");
    QTest::addColumn<QString>("text");
    QTest::newRow("whole") << 2400.0f << "2400";
    QTest::newRow("negative") << -1200.0f << "-1200";
    QTest::newRow("zero") << 0.0f << "0";
    QTest::newRow("fraction") << 1234.5f << "1234.5";
    QTest::newRow("seven digits") << 1234567.0f << "1234567";
    QTest::newRow("rounded to seven digits") << 12345.678f << "12345.68";
}

void TestSettings_::positionText()
{
    QFETCH(float, twips);
    QFETCH(QString, text);
    QCOMPARE(SettingsText::fromPosition(twips), text);
}

void TestSettings_::positionParsing_data()
{
    QTest::addColumn<QString>("text"); // as typed into the settings file
    QTest::addColumn<QString>("locale");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<float>("twips");
    QTest::newRow("default") << "200"
                             << "en_US" << true << 200.0f;
    QTest::newRow("blanks") << " 1440 "
                            << "en_US" << true << 1440.0f;
    QTest::newRow("negative") << "-1200"
                              << "en_US" << true << -1200.0f;
    QTest::newRow("decimal") << "12.5"
                             << "de_DE" << true << 12.5f;
    QTest::newRow("decimal comma, German") << "1440,5"
                                           << "de_DE" << true << 1440.5f;
    QTest::newRow("decimal comma, quoted") << "\"-12,5\""
                                           << "fi_FI" << true << -12.5f;
    QTest::newRow("letters") << "abc"
                             << "en_US" << false << 0.0f;
    QTest::newRow("empty") << ""
                           << "en_US" << false << 0.0f;
    QTest::newRow("number then text") << "12px"
                                      << "en_US" << false << 0.0f;
    QTest::newRow("infinite") << "inf"
                              << "en_US" << false << 0.0f;
    QTest::newRow("nan") << "nan"
                         << "en_US" << false << 0.0f;
    QTest::newRow("far out of range") << "-99999999999"
                                      << "en_US" << true << -99999999999.0f;
}

void TestSettings_::positionParsing()
{
    QFETCH(QString, text);
    QFETCH(QString, locale);
    QFETCH(bool, valid);
    QFETCH(float, twips);
    TestSettings settings;
    QFile file(settings.dir.filePath("KORA.conf"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[Properties]\nTop=" + text.toUtf8() + "\n");
    file.close();
    settings.store = std::make_unique<SettingsStore>(file.fileName());
    QLocale::setDefault(QLocale(locale));
    const auto value = SettingsText::toPosition(settings->GetSetting("Properties", "Top", "200"));
    QLocale::setDefault(QLocale::c());
    QCOMPARE(value.has_value(), valid);
    if (valid)
        QCOMPARE(*value, twips);
}

void TestSettings_::unwritableStoreThrows()
{
    UnwritableSettings store;
    QVERIFY_THROWS_EXCEPTION(KoraError, (*store).SaveSetting("Properties", "Top", "1"));
}

void TestSettings_::mappedPortDevice_data()
{
    QTest::addColumn<QString>("mapped");
    QTest::addColumn<QString>("device");
    QTest::newRow("spaces around") << " /dev/ttyUSB0 "
                                   << "/dev/ttyUSB0";
#ifdef Q_OS_WIN
    // Typed in lower case, it would be opened as a file of that name in the working folder.
    QTest::newRow("lower case") << "com17"
                                << "COM17";
    QTest::newRow("device path") << "\\\\.\\com17"
                                 << "\\\\.\\com17";
#endif
}

void TestSettings_::mappedPortDevice()
{
    QFETCH(QString, mapped);
    QFETCH(QString, device);
    TestSettings settings;
    settings->SaveSetting(SettingsKeys::PortsSection, SettingsKeys::portKey(17), mapped);
    QCOMPARE(PortDevice::forPort(17, *settings), device);
}

QTEST_GUILESS_MAIN(TestSettings_)
#include "tst_settings.moc"
