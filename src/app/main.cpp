#include "CommandLine.h"
#include "HeadlessApp.h"
#include "KoraApp.h"
#include "PlatformChoice.h"
#include "common/Version.h"
#include "station/Log.h"
#include "ui/Fonts.h"

#include <QApplication>
#include <vector>

#ifdef Q_OS_WIN
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>
#endif

int main(int argc, char* argv[])
{
    Log::ensureStandardStreams();
    QCoreApplication::setOrganizationName(AppTitle);
    QCoreApplication::setApplicationName(AppTitle);
    QCoreApplication::setApplicationVersion(Version::text());

    // Read before any application object exists: help, version and a bad command line need no
    // display.
    QStringList arguments;
#ifdef Q_OS_WIN
    // As typed, also a report folder named outside the ANSI code page.
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
    const CommandLine line = CommandLine::parse(arguments);
    if (line.outcome != CommandLine::Outcome::Run) {
        if (!CommandLine::attachConsole()) {
            QApplication app(argc, argv);
            return line.showInBox();
        }
        return line.print();
    }
    if (line.headless)
        CommandLine::attachConsole();
#ifdef Q_OS_WIN
    // The installer waits while this mark stands, rather than replace a program that runs. It
    // goes with the process.
    ::CreateMutexW(nullptr, FALSE, L"KORA.Running");
#endif

    if (line.headless)
        return HeadlessApp::run(argc, argv, line);

    const QByteArray platform = PlatformChoice::preferred(QProcessEnvironment::systemEnvironment());
    if (!platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", platform);
    // Kept as long as the application, which holds on to them.
    std::vector<QByteArray> qtArguments;
    for (const QString& argument : line.qtArguments)
        qtArguments.push_back(argument.toLocal8Bit());
    std::vector<char*> qtArgv;
    for (QByteArray& argument : qtArguments)
        qtArgv.push_back(argument.data());
    qtArgv.push_back(nullptr);
    int qtArgc = int(qtArguments.size());
    QApplication app(qtArgc, qtArgv.data());
    Fonts::addBundled(QCoreApplication::applicationDirPath() + QStringLiteral("/fonts"));
    KoraApp kora(line.reportFolder, line.archiveFolder);
    if (!kora.start())
        return 1;
    return kora.exec();
}
