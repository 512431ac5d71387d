#include "station/Archive.h"

#include <QtTest>

class TestArchive : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    Archive m_archive;

    static QDateTime at(const QString& text) { return QDateTime::fromString(text, Qt::ISODate); }
    QByteArray fileText(const QString& name) const
    {
        QFile file(m_dir.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void init();
    void rowsAreWrittenAndReadBack();
    void damagedLines_data();
    void damagedLines();
    void rowThatCannotBeWritten_data();
    void rowThatCannotBeWritten();
};

void TestArchive::init()
{
    QDir(m_dir.path()).removeRecursively();
    QDir().mkpath(m_dir.path());
    m_archive.setFolder(m_dir.path());
    // Numbers in the file do not follow the user's decimal comma.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
}

void TestArchive::rowsAreWrittenAndReadBack()
{
    const BlockSummary block{-3.25, -4.0, -0.04, 81.5, 79.0, 84.0, 300};
    QCOMPARE(m_archive.appendBlock(at("2026-11-30T23:58:00+01:00"), block), QString());
    QCOMPARE(m_archive.appendEvent(at("2026-12-01T00:03:10+01:00"), PortEvent::Lost,
                                   "Com1 (/dev/ttyUSB0) lost: \"gone\",\nretrying"),
             QString());
    QCOMPARE(m_archive.appendBlock(at("2026-12-01T00:04:00-03:30"), block), QString());

    QCOMPARE(fileText("kora-2026-11.csv"),
             QByteArray(Archive::Header) +
                 "\n2026-11-30T23:58:00+01:00,-3.3,-4.0,0.0,81.5,79.0,84.0,300,,\n");
    QVERIFY(fileText("kora-2026-12.csv").startsWith(QByteArray(Archive::Header) + "\n2026-12-01"));

    const auto rows =
        Archive::read(m_dir.path(), at("2026-11-30T00:00:00Z"), at("2026-12-02T00:00:00Z"));
    QCOMPARE(rows.size(), std::size_t(3));
    QVERIFY(rows[0].isBlock && !rows[1].isBlock && rows[2].isBlock);
    QCOMPARE(rows[0].block.temperatureHigh, 0.0);
    QCOMPARE(rows[0].block.humidityLow, 79.0);
    QCOMPARE(rows[1].event, PortEvent::Lost);
    QCOMPARE(rows[1].detail, QString("Com1 (/dev/ttyUSB0) lost: \"gone\", retrying"));
    QCOMPARE(rows[2].at, at("2026-12-01T03:34:00Z"));
    // Only the moments asked for.
    QCOMPARE(Archive::read(m_dir.path(), at("2026-12-01T00:00:00+01:00"),
                           at("2026-12-01T01:00:00+01:00"))
                 .size(),
             std::size_t(1));
    // The clock was stepped back (a fast clock corrected): a later line holds an earlier time.
    QCOMPARE(m_archive.appendEvent(at("2026-12-01T00:01:00+01:00"), PortEvent::Back, "Com1 is back"),
             QString());
    const auto inTimeOrder =
        Archive::read(m_dir.path(), at("2026-11-30T00:00:00Z"), at("2026-12-02T00:00:00Z"));
    QCOMPARE(inTimeOrder.size(), std::size_t(4));
    QCOMPARE(inTimeOrder[1].event, PortEvent::Back);
    QCOMPARE(inTimeOrder[2].event, PortEvent::Lost);
}

void TestArchive::damagedLines_data()
{
    QTest::addColumn<QByteArray>("before");
    const QByteArray header = QByteArray(Archive::Header) + '\n';
    const QByteArray row = "2026-12-08T21:00:00+01:00,1.0,1.0,1.0,50.0,50.0,50.0,300,,\n";
    QTest::newRow("torn by a power cut") << header + row + "2026-12-08T21:05:00+01:00,1.0,1.0,1";
    QTest::newRow("torn inside an event's detail")
        << header + row + "2026-12-08T21:05:00+01:00,,,,,,,,lost,\"Com1 (/dev/tty";
    QTest::newRow("torn after a whole field") << header + row + "2026-12-08T21:05:00+01:00,1.0,";
    QTest::newRow("a line that is no row")
        << header + row + "2026-12-08T21:05:00+01:00,1.0,1.0,x,50.0,50.0,50.0,300,,\n";
    QTest::newRow("huge and nearly equal values")
        << header + row + "2026-12-08T21:05:00+01:00,1e15,1e15,1e15,50.0,50.0,50.0,300,,\n";
    QTest::newRow("far below the sensor's range")
        << header + row + "2026-12-08T21:05:00+01:00,-1e15,-1e15,-1e15,50.0,50.0,50.0,300,,\n";
    QTest::newRow("no number")
        << header + row + "2026-12-08T21:05:00+01:00,nan,1.0,1.0,50.0,50.0,50.0,300,,\n";
    QTest::newRow("a row without block or event")
        << header + row + "2026-12-08T21:05:00+01:00,,,,,,,,,\n";
}

void TestArchive::damagedLines()
{
    QFETCH(QByteArray, before);
    QFile file(m_dir.filePath("kora-2026-12.csv"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(before);
    file.close();

    QCOMPARE(m_archive.appendEvent(at("2026-12-08T21:10:00+01:00"), PortEvent::Back, "Com1 is back"),
             QString());
    const auto rows =
        Archive::read(m_dir.path(), at("2026-12-08T00:00:00Z"), at("2026-12-09T00:00:00Z"));
    // The damaged line is passed over; the rows on either side of it are read.
    QCOMPARE(rows.size(), std::size_t(2));
    QCOMPARE(rows[0].block.readings, 300);
    QCOMPARE(rows[1].event, PortEvent::Back);
}

void TestArchive::rowThatCannotBeWritten_data()
{
    QTest::addColumn<QString>("blocker");
    QTest::newRow("disk full") << "full";
    QTest::newRow("folder cannot be made") << "file";
    // A chosen folder on a stick that is unmounted: the empty mount point is no place for it.
    QTest::newRow("chosen folder gone") << "stick";
}

void TestArchive::rowThatCannotBeWritten()
{
#ifndef Q_OS_LINUX
    QSKIP("needs /dev/full");
#endif
    QFETCH(QString, blocker);
    const QDateTime when = at("2026-12-08T21:00:00+01:00");
    if (blocker == "full") {
        QVERIFY(QFile::link("/dev/full", m_dir.filePath("kora-2026-12.csv")));
    } else if (blocker == "file") {
        m_archive.setFolder(m_dir.filePath("archive"));
        QFile file(m_dir.filePath("archive"));
        QVERIFY(file.open(QIODevice::WriteOnly));
    } else {
        QVERIFY(QDir(m_dir.path()).mkpath("stick"));
        m_archive.setFolder(m_dir.filePath("stick"));
        QCOMPARE(m_archive.appendBlock(when.addSecs(-300), BlockSummary{}), QString());
        QVERIFY(QDir(m_dir.filePath("stick")).removeRecursively());
    }
    const QString problem = m_archive.appendBlock(when, BlockSummary{});
    QVERIFY2(problem.contains("kora-2026-12.csv: "), qPrintable(problem));
    QCOMPARE(QFileInfo::exists(m_dir.filePath("stick")), false);

    // The next row is tried afresh, and lands once the cause has gone.
    if (blocker == "stick")
        QVERIFY(QDir(m_dir.path()).mkpath("stick"));
    else
        QVERIFY(QFile::remove(blocker == "full" ? m_dir.filePath("kora-2026-12.csv")
                                                : m_dir.filePath("archive")));
    QCOMPARE(m_archive.appendBlock(when.addSecs(300), BlockSummary{}), QString());
    QCOMPARE(Archive::read(m_archive.folder(), when, when.addSecs(600)).size(), std::size_t(1));
}

QTEST_GUILESS_MAIN(TestArchive)
#include "tst_archive.moc"
