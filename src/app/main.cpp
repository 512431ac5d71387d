#include "CommandLine.h"
#include "HeadlessApp.h"
#include "KoraApp.h"
#include "PlatformChoice.h"
#include "ui/Fonts.h"

#include <QApplication>
#include <vector>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

int main(int argc, char* argv[])
{
    // Read before any application object exists: help, version and a bad command line need no
    // display.
    const CommandLine line = CommandLine::parse(CommandLine::programStart(argc, argv));
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
    KoraApp kora(line);
    if (!kora.start())
        return 1;
    return kora.exec();
}
