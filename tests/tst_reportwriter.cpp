#include "FakeView.h"
#include "FixedClock.h"
#include "measurement/ProgramState.h"
#include "measurement/ReportWriter.h"

#include <QSaveFile>
#include <QtTest>

using Label = MainView::Label;

namespace {
// A report file whose writes fail after a number of bytes, like a full disk.
class FailingSaveFile : public QSaveFile {
public:
    FailingSaveFile(const QString& path, qint64 room) : QSaveFile(path), m_room(room) {}

protected:
    qint64 writeData(const char* data, qint64 length) override
    {
        if (length > m_room) {
            if (m_room > 0)
                QSaveFile::writeData(data, m_room);
            setErrorString("No space left on device");
            return -1;
        }
        m_room -= length;
        return QSaveFile::writeData(data, length);
    }

private:
    qint64 m_room;
};

// A report file whose every write succeeds but whose final replacement fails: while it is
// written, a folder takes the old report's place, and no file can be renamed over a folder.
class FailingCommitSaveFile : public QSaveFile {
public:
    using QSaveFile::QSaveFile;

protected:
    qint64 writeData(const char* data, qint64 length) override
    {
        QFile::remove(fileName());
        QDir().mkpath(fileName());
        return QSaveFile::writeData(data, length);
    }
};

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}
} // namespace

class TestReportWriter : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_savedDir;

    struct Rig {
        ProgramState state;
        FakeView view;
        FixedClock clock;
        ReportWriter writer;
        explicit Rig(ReportWriter::FileFactory factory = {})
            : writer(state, view, clock, std::move(factory))
        {
            clock.readings = {QDateTime(QDate(2026, 12, 6), QTime(14, 5, 0)),
                              QDateTime(QDate(2026, 12, 6), QTime(14, 5, 9))};
        }
        QString status() const { return view.texts.value(Label::Status); }
    };

private slots:
    void init();
    void cleanup();
    void workedExample();
    void weatherLine_data();
    void weatherLine();
    void dateAndTimeLines();
    void replacesLongerFileEntirely();
    void failedWriteKeepsOldReportAndSaysSo_data();
    void failedWriteKeepsOldReportAndSaysSo();
    void folderInTheWayIsReportedAndNextBlockWrites();
};

void TestReportWriter::init()
{
    QVERIFY(m_dir.isValid());
    m_savedDir = QDir::currentPath();
    QDir(m_dir.path()).removeRecursively();
    QDir().mkpath(m_dir.path());
    QVERIFY(QDir::setCurrent(m_dir.path()));
}

void TestReportWriter::cleanup()
{
    QDir::setCurrent(m_savedDir);
}

void TestReportWriter::workedExample()
{
    Rig rig;
    rig.writer.FileWrite(72.5, 45);
    const QByteArray bytes = readAll("wxnow.txt");
    QCOMPARE(bytes, QByteArray("06 12 2026 14:05\r\n000/000g000t073r000p000P000h45b000000w\r\n"));
    QCOMPARE(bytes.size(), 58);
    QCOMPARE(rig.status(), QString("06 12 2026 14:05:09 073degF 45%"));
    QCOMPARE(rig.state.outputDirectory, QString("."));
}

void TestReportWriter::weatherLine_data()
{
    QTest::addColumn<double>("temperature");
    QTest::addColumn<int>("humidity");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("statusValues");

    QTest::newRow("usual") << 72.5 << 45 << "000/000g000t073r000p000P000h45b000000w"
                           << "073degF 45%";
    QTest::newRow("just below half") << 72.49 << 45 << "000/000g000t072r000p000P000h45b000000w"
                                     << "072degF 45%";
    QTest::newRow("negative is wider") << -8.5 << 45 << "000/000g000t-009r000p000P000h45b000000w"
                                       << "-009degF 45%";
    QTest::newRow("negative zero") << -0.4 << 50 << "000/000g000t-000r000p000P000h50b000000w"
                                   << "-000degF 50%";
    QTest::newRow("coldest") << -40.0 << 0 << "000/000g000t-040r000p000P000h00b000000w"
                             << "-040degF 00%";
    QTest::newRow("hottest, saturated") << 212.0 << 100 << "000/000g000t212r000p000P000h100b000000w"
                                        << "212degF 100%";
    QTest::newRow("low humidity padded") << 36.5 << 5 << "000/000g000t037r000p000P000h05b000000w"
                                         << "037degF 05%";
    QTest::newRow("float noise") << 26.240000000000002 << 44
                                 << "000/000g000t026r000p000P000h44b000000w"
                                 << "026degF 44%";
}

void TestReportWriter::weatherLine()
{
    QFETCH(double, temperature);
    QFETCH(int, humidity);
    QFETCH(QString, line);
    QFETCH(QString, statusValues);

    Rig rig;
    rig.writer.FileWrite(temperature, std::int16_t(humidity));
    const QByteArray expected = "06 12 2026 14:05\r\n" + line.toLatin1() + "\r\n";
    QCOMPARE(readAll("wxnow.txt"), expected);
    QCOMPARE(rig.status(), "06 12 2026 14:05:09 " + statusValues);
}

void TestReportWriter::dateAndTimeLines()
{
    Rig rig;
    rig.clock.readings = {QDateTime(QDate(2027, 3, 1), QTime(9, 5, 3)),
                          QDateTime(QDate(2027, 3, 1), QTime(9, 5, 4))};
    rig.writer.FileWrite(50, 50);
    QVERIFY(readAll("wxnow.txt").startsWith("01 03 2027 09:05\r\n"));
    QVERIFY(rig.status().startsWith("01 03 2027 09:05:04 "));
    // One clock reading for the file's date-time line, one for the status line.
    QCOMPARE(rig.clock.calls, 2);
}

void TestReportWriter::replacesLongerFileEntirely()
{
    {
        QFile old("wxnow.txt");
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(500, 'x'));
    }
    Rig rig;
    rig.writer.FileWrite(72.5, 45);
    QCOMPARE(readAll("wxnow.txt").size(), 58);
    QVERIFY(!readAll("wxnow.txt").contains('x'));
    // Nothing is left behind beside the report.
    QCOMPARE(QDir(".").entryList(QDir::Files), QStringList{"wxnow.txt"});
}

void TestReportWriter::failedWriteKeepsOldReportAndSaysSo_data()
{
    QTest::addColumn<bool>("atCommit");
    QTest::addColumn<QString>("reason");
    QTest::newRow("disk full while writing") << false << "No space left on device";
    QTest::newRow("replacement fails at commit") << true << QString();
}

void TestReportWriter::failedWriteKeepsOldReportAndSaysSo()
{
    QFETCH(bool, atCommit);
    QFETCH(QString, reason);
    const QByteArray old = "01 01 2026 00:00\r\n000/000g000t050r000p000P000h50b000000w\r\n";
    {
        QFile file("wxnow.txt");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(old);
    }
    Rig rig([atCommit](const QString& path) -> std::unique_ptr<QSaveFile> {
        if (atCommit)
            return std::make_unique<FailingCommitSaveFile>(path);
        return std::make_unique<FailingSaveFile>(path, 20);
    });
    rig.view.texts[Label::Status] = "previous status";
    rig.writer.FileWrite(72.5, 45);

    const QString prefix = "06 12 2026 14:05:09 wxnow.txt not written: ";
    QVERIFY2(rig.status().startsWith(prefix) && rig.status().size() > prefix.size(),
             qPrintable(rig.status()));
    if (!reason.isEmpty())
        QCOMPARE(rig.status(), prefix + reason);
    if (atCommit) {
        QVERIFY(QFileInfo("wxnow.txt").isDir());
        QCOMPARE(QDir(".").entryList(QDir::Files), QStringList());
    } else {
        // A reader sees the whole old report, never a part of the new one.
        QCOMPARE(readAll("wxnow.txt"), old);
        QCOMPARE(QDir(".").entryList(QDir::Files), QStringList{"wxnow.txt"});
    }
}

void TestReportWriter::folderInTheWayIsReportedAndNextBlockWrites()
{
    QVERIFY(QDir().mkdir("wxnow.txt"));
    Rig rig;
    rig.writer.FileWrite(72.5, 45);
    QVERIFY2(rig.status().startsWith("06 12 2026 14:05:09 wxnow.txt not written: "),
             qPrintable(rig.status()));
    QVERIFY(rig.status().size() > QString("06 12 2026 14:05:09 wxnow.txt not written: ").size());

    QVERIFY(QDir().rmdir("wxnow.txt"));
    rig.clock.calls = 0;
    rig.writer.FileWrite(73.0, 46);
    QCOMPARE(readAll("wxnow.txt").size(), 58);
    QCOMPARE(rig.status(), QString("06 12 2026 14:05:09 073degF 46%"));
}

QTEST_GUILESS_MAIN(TestReportWriter)
#include "tst_reportwriter.moc"
