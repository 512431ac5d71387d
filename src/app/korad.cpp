// korad: the station as a service, without a window and without the window's libraries (Qt's
// GUI and widgets), for a small computer beside the radio. It is kora --headless.
#include "CommandLine.h"
#include "HeadlessApp.h"
#include "common/Version.h"
#include "station/Log.h"

#include <QCoreApplication>

int main(int argc, char* argv[])
{
    Log::ensureStandardStreams();
    QCoreApplication::setOrganizationName(AppTitle);
    QCoreApplication::setApplicationName(AppTitle);
    QCoreApplication::setApplicationVersion(Version::text());

    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine line = CommandLine::parse(arguments, CommandLine::Face::Service);
    if (line.outcome != CommandLine::Outcome::Run)
        return line.print();
    return HeadlessApp::run(argc, argv, line);
}
