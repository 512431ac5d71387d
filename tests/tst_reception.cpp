#include "FakeSerialControl.h"
#include "FakeView.h"
#include "measurement/Conditioning.h"
#include "measurement/ProgramState.h"
#include "measurement/Reception.h"

#include <QtTest>

using Label = MainView::Label;

namespace {
// "CR" and "LF" in the worked examples stand for the control characters.
QString line(QString text)
{
    return text.replace(" CR", "\r").replace(" LF", "\n").replace("LF ", "\n");
}
} // namespace

class TestReception : public QObject {
    Q_OBJECT

    struct Rig {
        ProgramState state;
        FakeView view;
        FakeSerialControl port;
        int reports = 0;
        Conditioning conditioning{state, view, [this](double, std::int16_t) { ++reports; }};
        Reception reception{state, view, port, conditioning};
        Rig()
        {
            port.setOnComm([this] { reception.OnComm(); });
        }
        QString temperature() const { return view.labelText(Label::Temperature); }
        QString humidity() const { return view.labelText(Label::Humidity); }
    };

private slots:
    void workedExamples_data();
    void workedExamples();
    void lineIsTakenByTheNotificationAfterItsLineEnd();
    void lineInPiecesWaitsForItsLineFeed();
    void emptyInputStillTakesCompleteLine();
    void otherNotificationCodesOnlyMarkTheIndicator_data();
    void otherNotificationCodesOnlyMarkTheIndicator();
    void recoversFromPiecesThatCanNeverBeAccepted_data();
    void recoversFromPiecesThatCanNeverBeAccepted();
    void noiseWithoutLineEndsStaysBounded();
    void cutLineArithmetic_data();
    void cutLineArithmetic();
};

void TestReception::workedExamples_data()
{
    QTest::addColumn<QString>("buffer");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("temperature");
    QTest::addColumn<QString>("humidity");

    QTest::newRow("usual line") << "1=23.5deg2=45 CR LF" << true << "23.5"
                                << "45";
    QTest::newRow("one character short") << "1=23.5 2=45 CR LF" << true << "23"
                                         << "45";
    QTest::newRow("comma separator") << "1=23.5,2=45 CR LF" << true << "23"
                                     << "45";
    QTest::newRow("negative") << "1=-12.5deg2=40 CR LF" << true << "-12.5"
                              << "40";
    QTest::newRow("unit after humidity") << "1=23.5 / 2=45% CR LF" << true << "23.5"
                                         << "45%";
    QTest::newRow("without 1=") << "X23.5xxx2=45 CR LF" << true << "23.5"
                                << "45";
    QTest::newRow("two lines, first taken")
        << "1=23.5deg2=45 CR LF 1=24.0deg2=46 CR LF" << true << "23.5"
        << "45";
    QTest::newRow("line feed first") << "LF 1=23.5deg2=46 CR LF" << true << "23.5"
                                     << "46";
    QTest::newRow("no line feed yet") << "1=23.5deg2=45 CR" << false << ""
                                      << "";
    QTest::newRow("empty humidity") << "1=23.5deg2= CR LF" << false << ""
                                    << "";
    QTest::newRow("no 2=") << "1=23.5deg CR LF" << false << ""
                           << "";
    QTest::newRow("no CR at all") << "1=23.5deg2=45" << false << ""
                                  << "";
}

void TestReception::workedExamples()
{
    QFETCH(QString, buffer);
    QFETCH(bool, accepted);
    QFETCH(QString, temperature);
    QFETCH(QString, humidity);

    Rig rig;
    rig.state.receiveBuffer = line(buffer);
    rig.port.arrive("1=");

    QCOMPARE(rig.temperature(), temperature);
    QCOMPARE(rig.humidity(), humidity);
    QCOMPARE(rig.state.sampleCount, accepted ? 1 : 0);
    if (accepted)
        QCOMPARE(rig.state.receiveBuffer, QString("1="));
    else if (!line(buffer).contains("\r\n"))
        QCOMPARE(rig.state.receiveBuffer, line(buffer) + "1=");
    else // a leading piece that can never be accepted is dropped through its line end
        QCOMPARE(rig.state.receiveBuffer, QString("1="));
}

void TestReception::lineIsTakenByTheNotificationAfterItsLineEnd()
{
    Rig rig;
    rig.port.arrive("1=23.5deg2=45\r\n");
    QCOMPARE(rig.temperature(), QString());
    QCOMPARE(rig.state.sampleCount, 0);

    rig.port.arrive("1=24.0deg2=46\r\n");
    QCOMPARE(rig.temperature(), QString("23.5"));
    QCOMPARE(rig.humidity(), QString("45"));
    QCOMPARE(rig.state.receiveBuffer, QString("1=24.0deg2=46\r\n"));
    QCOMPARE(rig.state.sampleCount, 1);
}

void TestReception::lineInPiecesWaitsForItsLineFeed()
{
    Rig rig;
    for (const char* piece : {"1=2", "3.5de", "g2=45", "\r"})
        rig.port.arrive(piece);
    rig.port.arrive("\n");
    QCOMPARE(rig.temperature(), QString()); // the notification that brought LF only appends
    rig.port.arrive("1");
    QCOMPARE(rig.temperature(), QString("23.5"));
    QCOMPARE(rig.humidity(), QString("45"));
    QCOMPARE(rig.state.receiveBuffer, QString("1"));
}

void TestReception::emptyInputStillTakesCompleteLine()
{
    Rig rig;
    rig.port.arrive("1=21.0deg2=50\r\n");
    rig.port.arrive("");
    QCOMPARE(rig.temperature(), QString("21.0"));
    QCOMPARE(rig.state.receiveBuffer, QString());
}

void TestReception::otherNotificationCodesOnlyMarkTheIndicator_data()
{
    QTest::addColumn<short>("code");
    for (short code : {1, 3, 4, 5, 6, 7, 1001, -1})
        QTest::addRow("code %d", code) << code;
}

void TestReception::otherNotificationCodesOnlyMarkTheIndicator()
{
    QFETCH(short, code);
    Rig rig;
    rig.state.receiveBuffer = "1=23.5deg2=45\r\n";
    QVERIFY(!rig.view.indicator);
    rig.port.arrive("junk", code);

    QCOMPARE(rig.view.indicator, std::optional<std::uint32_t>(Reception::IndicatorOrange));
    QCOMPARE(rig.state.receiveBuffer, QString("1=23.5deg2=45\r\n"));
    QCOMPARE(rig.view.labelWrites, 0);
    QCOMPARE(rig.port.Input(), QString("junk")); // never read
}

void TestReception::recoversFromPiecesThatCanNeverBeAccepted_data()
{
    QTest::addColumn<QStringList>("arrivals");
    QTest::addColumn<QString>("temperature");
    QTest::addColumn<QString>("humidity");
    QTest::addColumn<int>("readings");

    QTest::newRow("started inside a line")
        << QStringList{"eg2=45\r\n1=23.5deg2=45\r\n", "x"} << "23.5"
        << "45" << 1;
    QTest::newRow("tail of a line, then lines one by one")
        << QStringList{"deg2=45\r\n", "1=22.0deg2=41\r\n", "1=22.5deg2=42\r\n", "x"} << "22.5"
        << "42" << 2;
    QTest::newRow("several garbled lines")
        << QStringList{"2=\r\n2=1\r\n\r\n1=19.0deg2=60\r\n", ""} << "19.0"
        << "60" << 1;
    QTest::newRow("empty humidity, then a good line")
        << QStringList{"1=23.5deg2=\r\n", "1=20.5deg2=44\r\n", ""} << "20.5"
        << "44" << 1;
    QTest::newRow("1= only after the line end")
        << QStringList{"X2=45\r\n1=23.5deg2=45\r\n", ""} << "23.5"
        << "45" << 1;
    // Noise that overflows the buffer: the line that has begun at its end is kept.
    QTest::newRow("overflow ends with the start of a line")
        << QStringList{QString(5000, u'#') + "1=18.5deg", "2=70\r\n", ""} << "18.5"
        << "70" << 1;
    // An unplug keeps the complete line, its CR LF too, and drops the half line after it.
    QTest::newRow("device lost after a whole line")
        << QStringList{"1=20.0deg2=50\r\n1=99.0abc2=", "<lost>", "1=10.0abc2=10\r\n", ""} << "10.0"
        << "10" << 2;
}

void TestReception::recoversFromPiecesThatCanNeverBeAccepted()
{
    QFETCH(QStringList, arrivals);
    QFETCH(QString, temperature);
    QFETCH(QString, humidity);
    QFETCH(int, readings);

    Rig rig;
    for (const QString& text : arrivals) {
        if (text == "<lost>")
            rig.reception.deviceLost();
        else
            rig.port.arrive(text);
    }
    QCOMPARE(rig.temperature(), temperature);
    QCOMPARE(rig.humidity(), humidity);
    QCOMPARE(int(rig.state.sampleCount), readings);
}

void TestReception::noiseWithoutLineEndsStaysBounded()
{
    Rig rig;
    QRandomGenerator random(42);
    for (int chunk = 0; chunk < 256; ++chunk) {
        QString noise;
        for (int i = 0; i < 4096; ++i) {
            const char16_t c = char16_t(random.bounded(256));
            noise += (c == '\r' || c == '\n') ? QChar(u'#') : QChar(c);
        }
        rig.port.arrive(noise);
        QVERIFY2(rig.state.receiveBuffer.size() <= Reception::BufferLimit,
                 qPrintable(QString::number(rig.state.receiveBuffer.size())));
    }
    // Readings resume with the lines that follow the noise.
    rig.port.arrive("\r\n1=18.5deg2=70\r\n");
    rig.port.arrive("1=18.6deg2=71\r\n");
    rig.port.arrive("1=18.7deg2=72\r\n");
    QCOMPARE(rig.temperature(), QString("18.6"));
    QCOMPARE(rig.humidity(), QString("71"));
}

void TestReception::cutLineArithmetic_data()
{
    QTest::addColumn<QString>("buffer");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("temperature");
    QTest::addColumn<QString>("humidity");

    QTest::newRow("four characters between markers") << "1=1234567\r\n"
                                                     << false << ""
                                                     << "";
    QTest::newRow("shortest temperature") << "1=5abc2=1\r\n"
                                          << true << "5"
                                          << "1";
    QTest::newRow("TL zero") << "1=abc2=1\r\n"
                             << false << ""
                             << "";
    QTest::newRow("no 1=, 2= at position 6") << "abcde2=1\r\n"
                                             << true << "b"
                                             << "1";
    QTest::newRow("no 1=, 2= at position 5") << "abcd2=1\r\n"
                                             << false << ""
                                             << "";
    QTest::newRow("line end right after 2=") << "1=23.5deg2=\r\n"
                                             << false << ""
                                             << "";
    QTest::newRow("CR inside humidity") << "1=23.5deg2=45\rx\r\n"
                                        << true << "23.5"
                                        << "45\rx";
    QTest::newRow("2= before 1=") << "2=45 1=23.5deg\r\n"
                                  << false << ""
                                  << "";
}

void TestReception::cutLineArithmetic()
{
    QFETCH(QString, buffer);
    QFETCH(bool, accepted);
    QFETCH(QString, temperature);
    QFETCH(QString, humidity);

    const auto fields = Reception::cutLine(buffer);
    QCOMPARE(bool(fields), accepted);
    if (fields) {
        QCOMPARE(fields->temperature, temperature);
        QCOMPARE(fields->humidity, humidity);
    }
}

QTEST_GUILESS_MAIN(TestReception)
#include "tst_reception.moc"
