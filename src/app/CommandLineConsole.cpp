#include "CommandLine.h"

#include "StopSignals.h"
#include "common/Version.h"
#include "station/Log.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>

#ifdef Q_OS_WIN
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>
#endif

QStringList CommandLine::programStart(int argc, char* argv[])
{
    StopSignals::holdUntilHandled();
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
    case Outcome::Climate: {
        QByteArray summary;
        const bool made = climateSummary(summary);
        std::fputs(summary.constData(), made ? stdout : stderr);
        return made ? 0 : 1;
    }
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
