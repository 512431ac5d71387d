#include "CommandLine.h"

#ifdef KORA_HAVE_WEB
#include "web/ListenSocket.h"

#endif
#ifdef KORA_HAVE_MQTT
#include "mqtt/MqttSettings.h"
#endif

#include "station/Archive.h"

#include "common/Version.h"
#include "measurement/ReportWriter.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <cstdio>

#include "station/Log.h"

#include <QCoreApplication>

#ifdef Q_OS_WIN
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>
#endif

namespace {
enum class QtOption { None, Alone, WithValue };

// The standard options of Qt's window system support (QGuiApplication, QApplication and the X11
// platform), written with one dash or two, a value after them or after "=".
QtOption qtOption(const QString& argument)
{
    static const QStringList alone = {QStringLiteral("reverse"), QStringLiteral("widgetcount"),
                                      QStringLiteral("nograb"),  QStringLiteral("dograb"),
                                      QStringLiteral("sync"),    QStringLiteral("testability")};
    static const QStringList withValue = {QStringLiteral("platform"),
                                          QStringLiteral("platformpluginpath"),
                                          QStringLiteral("platformtheme"),
                                          QStringLiteral("plugin"),
                                          QStringLiteral("qwindowgeometry"),
                                          QStringLiteral("qwindowicon"),
                                          QStringLiteral("qwindowtitle"),
                                          QStringLiteral("session"),
                                          QStringLiteral("style"),
                                          QStringLiteral("stylesheet"),
                                          QStringLiteral("display"),
                                          QStringLiteral("geometry"),
                                          QStringLiteral("title"),
                                          QStringLiteral("name"),
                                          QStringLiteral("icon"),
                                          QStringLiteral("visual")};
    if (!argument.startsWith(u'-'))
        return QtOption::None;
    QString name = argument.mid(argument.startsWith(QStringLiteral("--")) ? 2 : 1);
    const qsizetype equals = name.indexOf(u'=');
    if (equals >= 0)
        return withValue.contains(name.left(equals)) ? QtOption::Alone : QtOption::None;
    if (alone.contains(name))
        return QtOption::Alone;
    return withValue.contains(name) ? QtOption::WithValue : QtOption::None;
}
} // namespace

QStringList CommandLine::programStart(int argc, char* argv[])
{
    Log::ensureStandardStreams();
    QCoreApplication::setOrganizationName(AppTitle);
    QCoreApplication::setApplicationName(AppTitle);
    QCoreApplication::setApplicationVersion(Version::text());
    QStringList arguments;
#ifdef Q_OS_WIN
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    int count = 0;
    if (LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
        for (int i = 0; i < count; ++i)
            arguments << QString::fromWCharArray(wide[i]);
        ::LocalFree(wide);
    }
#else
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
#endif
    return arguments;
}

CommandLine CommandLine::parse(const QStringList& arguments, Face face)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Monitors a serial weather sensor and writes, every 300 readings, the APRS\n"
                       "weather report wxnow.txt."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Shows this help and exits."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Shows the version and exits."));
    const QCommandLineOption headless(
        QStringLiteral("headless"),
        QStringLiteral("Runs without a window: what the status line and message boxes would "
                       "show goes to standard error."));
    const QCommandLineOption reportDir(
        QStringLiteral("report-dir"),
        QStringLiteral("Writes wxnow.txt into <folder> instead of the working folder."),
        QStringLiteral("folder"));
    const QCommandLineOption archiveDir(
        QStringLiteral("archive-dir"),
        QStringLiteral("Keeps the archive of reports in <folder> instead of the user's data "
                       "folder."),
        QStringLiteral("folder"));
    const QCommandLineOption verbose(QStringLiteral("verbose"),
                                     QStringLiteral("Without a window, also logs every reading."));
    parser.addOptions({help, version, reportDir, archiveDir, verbose});
#ifdef KORA_HAVE_MQTT
    const QCommandLineOption mqtt(
        QStringLiteral("mqtt"),
        QStringLiteral("Publishes to the MQTT broker at <url>, mqtt://[USER@]HOST[:PORT][/PREFIX] "
                       "(mqtts:// for TLS), in place of Url in [MQTT] of the settings."),
        QStringLiteral("url"));
    const QCommandLineOption mqttPasswordFile(
        QStringLiteral("mqtt-password-file"),
        QStringLiteral("Reads the broker's password from the first line of <file>."),
        QStringLiteral("file"));
    parser.addOptions({mqtt, mqttPasswordFile});
#endif
#ifdef KORA_HAVE_WEB
    const QCommandLineOption listen(
        QStringLiteral("listen"),
        QStringLiteral("Serves the station's web page on <address>:<port>, such as "
                       "127.0.0.1:8273, in place of Listen in [Web] of the settings."),
        QStringLiteral("address:port"));
    parser.addOption(listen);
#endif
    if (face == Face::Window)
        parser.addOption(headless);

    CommandLine line;
    line.qtArguments << arguments.value(0, QStringLiteral("kora"));
    // Qt's own options are Qt's to read, and only a window has a use for them.
    QStringList ours;
    QStringList qtOptions;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QtOption option = qtOption(arguments[i]);
        if (option == QtOption::None || i == 0) {
            ours << arguments[i];
            continue;
        }
        qtOptions << arguments[i];
        // Qt itself reads most of them only with the value apart: "--platform=offscreen" would
        // be passed over without a word.
        const qsizetype equals = arguments[i].indexOf(u'=');
        if (equals > 0)
            line.qtArguments << arguments[i].left(equals) << arguments[i].mid(equals + 1);
        else
            line.qtArguments << arguments[i];
        if (option == QtOption::WithValue && i + 1 < arguments.size()) {
            qtOptions << arguments[++i];
            line.qtArguments << arguments[i];
        }
    }
    const QString program = line.program =
        arguments.isEmpty() ? QStringLiteral("kora") : QFileInfo(arguments.first()).fileName();
    line.usage = parser.helpText();
    line.usage.replace(QRegularExpression(QStringLiteral("^Usage: \\S*")),
                       QStringLiteral("Usage: ") + program);
    if (!parser.parse(ours)) {
        line.outcome = Outcome::Error;
        line.text = parser.errorText();
        return line;
    }
    if (!parser.positionalArguments().isEmpty()) {
        line.outcome = Outcome::Error;
        line.text =
            QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().first());
        return line;
    }
    if (parser.isSet(help)) {
        line.outcome = Outcome::Help;
        line.text = line.usage;
        return line;
    }
    if (parser.isSet(version)) {
        line.outcome = Outcome::Version;
        line.text = program + u' ' + Version::text() + u'\n';
        return line;
    }
    line.headless = face == Face::Service || parser.isSet(headless);
    line.verbose = parser.isSet(verbose);
    line.reportFolder = parser.value(reportDir);
    if (parser.isSet(reportDir)) {
        // Found out now rather than at the first report, five minutes on.
        const QString problem = ReportWriter::folderProblem(line.reportFolder);
        if (!problem.isEmpty()) {
            line.outcome = Outcome::Error;
            line.text =
                QStringLiteral("The report folder '%1' %2.").arg(line.reportFolder, problem);
            return line;
        }
    }
    line.archiveFolder =
        parser.isSet(archiveDir) ? parser.value(archiveDir) : Archive::defaultFolder();
    // One that does not exist yet is made with the first row.
    if (parser.isSet(archiveDir) && QFileInfo::exists(line.archiveFolder)) {
        const QString problem = ReportWriter::folderProblem(line.archiveFolder);
        if (!problem.isEmpty()) {
            line.outcome = Outcome::Error;
            line.text =
                QStringLiteral("The archive folder '%1' %2.").arg(line.archiveFolder, problem);
            return line;
        }
    }
#ifdef KORA_HAVE_MQTT
    line.mqttUrl = parser.value(mqtt);
    line.mqttPasswordFile = parser.value(mqttPasswordFile);
    if (parser.isSet(mqtt)) {
        MqttSettings address;
        if (const QString problem = address.parseUrl(line.mqttUrl, QStringLiteral("station"));
            !problem.isEmpty()) {
            line.outcome = Outcome::Error;
            line.text = QStringLiteral("--mqtt: ") + problem + u'.';
            return line;
        }
    }
#endif
#ifdef KORA_HAVE_WEB
    line.listen = parser.value(listen);
    if (parser.isSet(listen) && !ListenSocket::isAddress(line.listen)) {
        line.outcome = Outcome::Error;
        line.text = QStringLiteral("--listen: %1 is no address and port, such as 127.0.0.1:8273 "
                                   "or [::]:8273.")
                        .arg(line.listen);
        return line;
    }
#endif
    if (line.headless && !qtOptions.isEmpty()) {
        line.outcome = Outcome::Error;
        line.text =
            QStringLiteral("The option '%1' is for the window; there is none %2.")
                .arg(qtOptions.first(), face == Face::Window ? QStringLiteral("with --headless")
                                                             : QStringLiteral("in ") + program);
    }
    return line;
}

int CommandLine::print() const
{
    switch (outcome) {
    case Outcome::Help:
    case Outcome::Version:
        std::fputs(text.toLocal8Bit().constData(), stdout);
        return 0;
    case Outcome::Error:
        // "kora:", also for kora.exe, as scripts that read it expect.
        std::fprintf(stderr, "%s: %s\n%s",
                     QFileInfo(program).completeBaseName().toLocal8Bit().constData(),
                     text.toLocal8Bit().constData(), usage.toLocal8Bit().constData());
        return 2;
    case Outcome::Run:
        break;
    }
    return 0;
}

bool CommandLine::attachConsole()
{
#ifdef Q_OS_WIN
    for (const DWORD stream : {STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
        const HANDLE handle = ::GetStdHandle(stream);
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE)
            return true;
    }
    if (!::AttachConsole(ATTACH_PARENT_PROCESS))
        return false;
    return std::freopen("CONOUT$", "w", stdout) && std::freopen("CONOUT$", "w", stderr);
#else
    return true;
#endif
}
