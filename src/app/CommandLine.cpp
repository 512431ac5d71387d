#include "CommandLine.h"

#include "common/Version.h"
#include "measurement/ReportWriter.h"
#include "station/Archive.h"

#ifdef KORA_HAVE_WEB
#include "web/ListenSocket.h"
#endif
#ifdef KORA_HAVE_MQTT
#include "mqtt/MqttSettings.h"
#endif

#include <QCommandLineParser>
#include <QFileInfo>
#include <QRegularExpression>

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

namespace {
// The options the face reads; the network's only where this build has them.
struct Options {
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Shows this help and exits.")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Shows the version and exits.")};
    QCommandLineOption headless{
        QStringLiteral("headless"),
        QStringLiteral("Runs without a window: what the status line and message boxes would "
                       "show goes to standard error.")};
    QCommandLineOption reportDir{
        QStringLiteral("report-dir"),
        QStringLiteral("Writes wxnow.txt into <folder> instead of the working folder."),
        QStringLiteral("folder")};
    QCommandLineOption archiveDir{
        QStringLiteral("archive-dir"),
        QStringLiteral("Keeps the archive of reports in <folder> instead of the user's data "
                       "folder."),
        QStringLiteral("folder")};
    QCommandLineOption climate{
        QStringLiteral("climate"),
        QStringLiteral("Prints the climate summary of the month <period> (YYYY-MM) or of the year "
                       "(YYYY) from the archive, and exits."),
        QStringLiteral("period")};
    QCommandLineOption verbose{QStringLiteral("verbose"),
                               QStringLiteral("Without a window, also logs every reading.")};
    QCommandLineOption mqtt{
        QStringLiteral("mqtt"),
        QStringLiteral("Publishes to the MQTT broker at <url>, mqtt://[USER@]HOST[:PORT][/PREFIX] "
                       "(mqtts:// for TLS), in place of Url in [MQTT] of the settings."),
        QStringLiteral("url")};
    QCommandLineOption mqttPasswordFile{
        QStringLiteral("mqtt-password-file"),
        QStringLiteral("Reads the broker's password from the first line of <file>."),
        QStringLiteral("file")};
    QCommandLineOption listen{
        QStringLiteral("listen"),
        QStringLiteral("Serves the station's web page on <address>:<port>, such as "
                       "127.0.0.1:8273, in place of Listen in [Web] of the settings."),
        QStringLiteral("address:port")};

    void addTo(QCommandLineParser& parser, CommandLine::Face face) const
    {
        parser.setApplicationDescription(QStringLiteral(
            "Monitors a serial weather sensor and writes, every 300 readings, the APRS\n"
            "weather report wxnow.txt."));
        parser.addOptions({help, version, reportDir, archiveDir, climate, verbose});
#ifdef KORA_HAVE_MQTT
        parser.addOptions({mqtt, mqttPasswordFile});
#endif
#ifdef KORA_HAVE_WEB
        parser.addOption(listen);
#endif
        if (face == CommandLine::Face::Window)
            parser.addOption(headless);
    }
};

// Qt's own options are Qt's to read, and only a window has a use for them: they go to
// qtArguments, each value apart from its option, and to qtOptions as typed; the rest are ours.
QStringList splitQtOptions(const QStringList& arguments, CommandLine& line, QStringList& qtOptions)
{
    QStringList ours;
    line.qtArguments << arguments.value(0, QStringLiteral("kora"));
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
    return ours;
}

// The folders, found out now rather than at the first report, five minutes on. Returns what is
// wrong, or nothing.
QString readFolders(const QCommandLineParser& parser, const Options& options, CommandLine& line)
{
    line.reportFolder = parser.value(options.reportDir);
    if (parser.isSet(options.reportDir)) {
        if (const QString problem = ReportWriter::folderProblem(line.reportFolder);
            !problem.isEmpty())
            return QStringLiteral("The report folder '%1' %2.").arg(line.reportFolder, problem);
    }
    line.archiveFolder = parser.isSet(options.archiveDir) ? parser.value(options.archiveDir)
                                                          : Archive::defaultFolder();
    // One that does not exist yet is made with the first row.
    if (parser.isSet(options.archiveDir) && QFileInfo::exists(line.archiveFolder)) {
        if (const QString problem = ReportWriter::folderProblem(line.archiveFolder);
            !problem.isEmpty())
            return QStringLiteral("The archive folder '%1' %2.").arg(line.archiveFolder, problem);
    }
    return {};
}

// The broker's and the page's addresses, where this build has them. Returns what is wrong, or
// nothing.
QString readNetwork(const QCommandLineParser& parser, const Options& options, CommandLine& line)
{
#ifdef KORA_HAVE_MQTT
    line.mqttUrl = parser.value(options.mqtt);
    line.mqttPasswordFile = parser.value(options.mqttPasswordFile);
    if (parser.isSet(options.mqtt)) {
        MqttSettings address;
        if (const QString problem = address.parseUrl(line.mqttUrl, QStringLiteral("station"));
            !problem.isEmpty())
            return QStringLiteral("--mqtt: ") + problem + u'.';
    }
#endif
#ifdef KORA_HAVE_WEB
    line.listen = parser.value(options.listen);
    if (parser.isSet(options.listen) && !ListenSocket::isAddress(line.listen))
        return QStringLiteral("--listen: %1 is no address and port, such as 127.0.0.1:8273 or "
                              "[::]:8273.")
            .arg(line.listen);
#endif
    Q_UNUSED(parser)
    Q_UNUSED(options)
    Q_UNUSED(line)
    return {};
}
} // namespace

CommandLine CommandLine::parse(const QStringList& arguments, Face face)
{
    const Options options;
    QCommandLineParser parser;
    options.addTo(parser, face);

    CommandLine line;
    QStringList qtOptions;
    const QStringList ours = splitQtOptions(arguments, line, qtOptions);
    const QString program = line.program =
        arguments.isEmpty() ? QStringLiteral("kora") : QFileInfo(arguments.first()).fileName();
    line.usage = parser.helpText();
    line.usage.replace(QRegularExpression(QStringLiteral("^Usage: \\S*")),
                       QStringLiteral("Usage: ") + program);
    const auto error = [&line](const QString& text) {
        line.outcome = Outcome::Error;
        line.text = text;
        return line;
    };
    if (!parser.parse(ours))
        return error(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return error(
            QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().first()));
    if (parser.isSet(options.help)) {
        line.outcome = Outcome::Help;
        line.text = line.usage;
        return line;
    }
    if (parser.isSet(options.version)) {
        line.outcome = Outcome::Version;
        line.text = program + u' ' + Version::text() + u'\n';
        return line;
    }
    line.headless = face == Face::Service || parser.isSet(options.headless);
    line.verbose = parser.isSet(options.verbose);
    if (const QString problem = readFolders(parser, options, line); !problem.isEmpty())
        return error(problem);
    if (const QString problem = readNetwork(parser, options, line); !problem.isEmpty())
        return error(problem);
    if (parser.isSet(options.climate)) {
        static const QRegularExpression period(
            QStringLiteral("^(19[7-9]\\d|[2-9]\\d{3})(-(0[1-9]|1[0-2]))?$"));
        line.climatePeriod = parser.value(options.climate);
        if (!period.match(line.climatePeriod).hasMatch())
            return error(QStringLiteral("--climate: %1 is no month such as 2026-11 nor a year "
                                        "such as 2026.")
                             .arg(line.climatePeriod));
        line.outcome = Outcome::Climate;
    }
    if (line.headless && !qtOptions.isEmpty())
        return error(QStringLiteral("The option '%1' is for the window; there is none %2.")
                         .arg(qtOptions.first(), face == Face::Window
                                                     ? QStringLiteral("with --headless")
                                                     : QStringLiteral("in ") + program));
    return line;
}
