#include "FakeView.h"
#include "FixedClock.h"
#include "measurement/ProgramState.h"
#include "measurement/ReportWriter.h"

#include <QSaveFile>
#include <QtTest>
#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <csignal>
#include <sys/resource.h>
#endif

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

#ifdef Q_OS_WIN
// The old report held open by another program, as beacon software holds it while reading it:
// Windows then refuses to replace the file, and lets it be written only where the holder shares
// writing.
class HeldOpen {
public:
    HeldOpen(const QString& path, bool sharesWriting)
        : m_handle(CreateFileW(reinterpret_cast<const wchar_t*>(path.utf16()), GENERIC_READ,
                               FILE_SHARE_READ | (sharesWriting ? FILE_SHARE_WRITE : 0), nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))
    {
    }
    ~HeldOpen() { CloseHandle(m_handle); }

private:
    HANDLE m_handle;
};
#else
// Stands in for such a hold where nothing refuses a replacement: every write succeeds but the final
// replacement fails, since a folder takes the old report's place while the new one is written and
// no file can be renamed over a folder. A hold that shares writing lets go after each attempt, so
// that the old report can then be written in place.
class HeldOpenStandIn : public QSaveFile {
public:
    HeldOpenStandIn(const QString& path, bool sharesWriting)
        : QSaveFile(path), m_sharesWriting(sharesWriting)
    {
    }
    ~HeldOpenStandIn() override
    {
        if (m_sharesWriting && QDir(fileName()).removeRecursively())
            QFile::rename(fileName() + ".held", fileName());
    }

protected:
    qint64 writeData(const char* data, qint64 length) override
    {
        if (!QFileInfo(fileName()).isDir()) {
            if (m_sharesWriting)
                QFile::rename(fileName(), fileName() + ".held");
            else
                QFile::remove(fileName());
            QDir().mkpath(fileName());
        }
        return QSaveFile::writeData(data, length);
    }

private:
    bool m_sharesWriting;
};
#endif

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
    void dateAndTimeLines_data();
    void dateAndTimeLines();
    void replacesLongerFileEntirely();
    void replacementThatFails_data();
    void replacementThatFails();
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

void TestReportWriter::dateAndTimeLines_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("statusStart");
    QTest::newRow("English") << "en_GB"
                             << "01 03 2027 09:05:04 ";
    QTest::newRow("German") << "de_DE"
                            << "01 03 2027 09:05:04 ";
    // The status line, for a person, takes the locale's time separator; the report, read by
    // other programs, never does.
    QTest::newRow("Finnish") << "fi_FI"
                             << "01 03 2027 09.05.04 ";
    // Digits as the report's, not the locale's own (Arabic-Indic).
    QTest::newRow("Arabic") << "ar_EG"
                            << "01 03 2027 09:05:04 ";
}

void TestReportWriter::dateAndTimeLines()
{
    QFETCH(QString, locale);
    QFETCH(QString, statusStart);
    Rig rig;
    rig.clock.readings = {QDateTime(QDate(2027, 3, 1), QTime(9, 5, 3)),
                          QDateTime(QDate(2027, 3, 1), QTime(9, 5, 4))};
    QLocale::setDefault(QLocale(locale));
    rig.writer.FileWrite(50, 50);
    QLocale::setDefault(QLocale::c());
    QVERIFY(readAll("wxnow.txt").startsWith("01 03 2027 09:05\r\n"));
    QVERIFY2(rig.status().startsWith(statusStart), qPrintable(rig.status()));
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

void TestReportWriter::replacementThatFails_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("status");
    QTest::newRow("disk full while writing")
        << "disk full"
        << "06 12 2026 14:05:09 wxnow.txt not written: No space left on device";
#ifdef Q_OS_UNIX
    // The new report cannot be completed: writing the old one in place would destroy it too.
    QTest::newRow("disk full when the report is completed")
        << "full at commit"
        << "06 12 2026 14:05:09 wxnow.txt not written: ";
#endif
    QTest::newRow("old report held by a reader that shares no writing")
        << "locked"
        << "06 12 2026 14:05:09 wxnow.txt not written: ";
    // The report still lands, written into the file the other program has open.
    QTest::newRow("old report held by a reader that shares writing")
        << "held"
        << "06 12 2026 14:05:09 073degF 45%";
}

void TestReportWriter::replacementThatFails()
{
    QFETCH(QString, failure);
    QFETCH(QString, status);
    const QByteArray old = "01 01 2026 00:00\r\n000/000g000t050r000p000P000h50b000000w\r\n";
    {
        QFile file("wxnow.txt");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(old);
    }
    int attempts = 0;
    Rig rig([&](const QString& path) -> std::unique_ptr<QSaveFile> {
        ++attempts;
        if (failure == "disk full")
            return std::make_unique<FailingSaveFile>(path, 20);
        if (failure == "full at commit")
            return std::make_unique<QSaveFile>(path);
#ifdef Q_OS_WIN
        return std::make_unique<QSaveFile>(path);
#else
        return std::make_unique<HeldOpenStandIn>(path, failure == "held");
#endif
    });
    rig.view.texts[Label::Status] = "previous status";
    {
#ifdef Q_OS_WIN
        HeldOpen held("wxnow.txt", failure == "held");
#endif
#ifdef Q_OS_UNIX
        // Files may grow to 20 bytes only, as on a disk that is almost full.
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        const rlim_t unlimited = limit.rlim_cur;
        if (failure == "full at commit") {
            std::signal(SIGXFSZ, SIG_IGN);
            limit.rlim_cur = 20;
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
        }
#endif
        rig.writer.FileWrite(72.5, 45);
#ifdef Q_OS_UNIX
        limit.rlim_cur = unlimited;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
#endif
    }

    if (status.endsWith(": ")) // followed by the system's own words
        QVERIFY2(rig.status().startsWith(status) && rig.status().size() > status.size(),
                 qPrintable(rig.status()));
    else
        QCOMPARE(rig.status(), status);
    // A reader sees the whole old report, never a part of the new.
    if (failure == "disk full" || failure == "full at commit")
        QCOMPARE(readAll("wxnow.txt"), old);
    if (failure == "held") {
        QCOMPARE(readAll("wxnow.txt"),
                 QByteArray("06 12 2026 14:05\r\n000/000g000t073r000p000P000h45b000000w\r\n"));
        QCOMPARE(attempts, int(ReportWriter::ReplaceAttempts));
    }
    // No new report is left behind beside the old.
    const QStringList files = QDir(".").entryList(QDir::Files);
    QVERIFY2(files.filter(QRegularExpression("^wxnow\\.txt.")).isEmpty(),
             qPrintable(files.join(' ')));
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
