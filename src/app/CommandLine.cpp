#include "CommandLine.h"

#include "common/Version.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QRegularExpression>
#include <cstdio>

CommandLine CommandLine::parse(const QStringList& arguments)
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
    const QCommandLineOption verbose(QStringLiteral("verbose"),
                                     QStringLiteral("Without a window, also logs every reading."));
    parser.addOptions({help, version, headless, reportDir, verbose});

    CommandLine line;
    // The program's own name, as the shell shows it.
    const QString program =
        arguments.isEmpty() ? QStringLiteral("kora") : QFileInfo(arguments.first()).fileName();
    line.usage = parser.helpText();
    line.usage.replace(QRegularExpression(QStringLiteral("^Usage: \\S*")),
                       QStringLiteral("Usage: ") + program);
    if (!parser.parse(arguments)) {
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
    line.headless = parser.isSet(headless);
    line.verbose = parser.isSet(verbose);
    line.reportFolder = parser.value(reportDir);
    if (parser.isSet(reportDir) && !QFileInfo(line.reportFolder).isDir()) {
        line.outcome = Outcome::Error;
        line.text = QStringLiteral("The report folder '%1' does not exist.").arg(line.reportFolder);
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
        std::fprintf(stderr, "kora: %s\n%s", text.toLocal8Bit().constData(),
                     usage.toLocal8Bit().constData());
        return 2;
    case Outcome::Run:
        break;
    }
    return 0;
}
