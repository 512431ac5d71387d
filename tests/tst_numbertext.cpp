#include "measurement/NumberText.h"

#include <QtTest>
#include <cmath>
#include <limits>

class TestNumberText : public QObject {
    Q_OBJECT
private slots:
    void leadingNumber_data();
    void leadingNumber();
    void leadingNumberIgnoresLocale();
    void patterns_data();
    void patterns();
};

void TestNumberText::leadingNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");
    const double inf = std::numeric_limits<double>::infinity();

    QTest::newRow("decimal") << "23.5" << 23.5;
    QTest::newRow("unit after number") << "45%" << 45.0;
    QTest::newRow("negative") << "-12.5" << -12.5;
    QTest::newRow("plus sign") << "+7" << 7.0;
    QTest::newRow("blank inside digits") << "4 5" << 45.0;
    QTest::newRow("tab and line feed skipped") << "\t1\n2" << 12.0;
    QTest::newRow("leading blanks") << "   8.25x" << 8.25;
    QTest::newRow("letters") << "abc" << 0.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("sign only") << "-" << 0.0;
    QTest::newRow("point only") << "." << 0.0;
    QTest::newRow("leading point") << ".5" << 0.5;
    QTest::newRow("second point stops") << "1.2.3" << 1.2;
    QTest::newRow("exponent") << "1.5e2" << 150.0;
    QTest::newRow("upper exponent with sign") << "25E-1" << 2.5;
    QTest::newRow("exponent without digits") << "12e" << 12.0;
    QTest::newRow("exponent sign without digits") << "12e+x" << 12.0;
    QTest::newRow("comma is not a decimal point") << "23,5" << 23.0;
    QTest::newRow("no hexadecimal") << "0x1F" << 0.0;
    QTest::newRow("no words") << "inf" << 0.0;
    QTest::newRow("carriage return stops") << "4\r5" << 4.0;
    QTest::newRow("too large") << "1E999" << inf;
    QTest::newRow("too large negative") << "-1E999" << -inf;
    QTest::newRow("long digits too large") << QString(400, '9') << inf;
    QTest::newRow("too small") << "1E-999" << 0.0;
    QTest::newRow("latin-1 noise") << QString::fromLatin1("\xb0\xff") << 0.0;
}

void TestNumberText::leadingNumber()
{
    QFETCH(QString, text);
    QFETCH(double, expected);
    QCOMPARE(NumberText::leadingNumber(text), expected);
}

void TestNumberText::leadingNumberIgnoresLocale()
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const double value = NumberText::leadingNumber("21.3");
    QLocale::setDefault(saved);
    QCOMPARE(value, 21.3);
}

void TestNumberText::patterns_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("#00.0 pads") << "#00.0" << 5.0 << "05.0";
    QTest::newRow("#00.0 plain") << "#00.0" << 23.5 << "23.5";
    QTest::newRow("#00.0 hundred") << "#00.0" << 100.0 << "100.0";
    QTest::newRow("#00.0 negative") << "#00.0" << -3.2 << "-03.2";
    QTest::newRow("#00.0 negative zero keeps sign") << "#00.0" << -0.04 << "-00.0";
    QTest::newRow("#00.0 half away from zero") << "#00.0" << 23.45 << "23.5";
    QTest::newRow("#00.0 negative half away") << "#00.0" << -23.45 << "-23.5";
    QTest::newRow("#00.0 carry") << "#00.0" << 99.96 << "100.0";
    QTest::newRow("#00.0 zero") << "#00.0" << 0.0 << "00.0";
    QTest::newRow("#00.0 small") << "#00.0" << 0.05 << "00.1";
    QTest::newRow("#00.0 limit") << "#00.0" << -40.0 << "-40.0";
    QTest::newRow("00 pads") << "00" << 7.0 << "07";
    QTest::newRow("00 half up") << "00" << 44.5 << "45";
    QTest::newRow("00 half of odd") << "00" << 45.5 << "46";
    QTest::newRow("00 hundred") << "00" << 100.0 << "100";
    QTest::newRow("00 negative to zero") << "00" << -0.4 << "-00";
    QTest::newRow("000 half away") << "000" << 72.5 << "073";
    QTest::newRow("000 below half") << "000" << 72.49 << "072";
    QTest::newRow("000 negative half") << "000" << -8.5 << "-009";
    QTest::newRow("000 negative zero") << "000" << -0.4 << "-000";
    QTest::newRow("000 minus forty") << "000" << -40.0 << "-040";
    QTest::newRow("000 top") << "000" << 212.0 << "212";
    QTest::newRow("000 wide") << "000" << 1234.0 << "1234";
    QTest::newRow("000 repeating fraction") << "000" << 26.240000000000002 << "026";
}

void TestNumberText::patterns()
{
    QFETCH(QString, pattern);
    QFETCH(double, value);
    QFETCH(QString, expected);
    QString text;
    if (pattern == "#00.0")
        text = NumberText::pattern00_0(value);
    else if (pattern == "00")
        text = NumberText::pattern00(value);
    else
        text = NumberText::pattern000(value);
    QCOMPARE(text, expected);
}

QTEST_GUILESS_MAIN(TestNumberText)
#include "tst_numbertext.moc"
