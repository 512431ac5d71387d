// korad: the station as a service, without a window and without the window's libraries (Qt's
// GUI and widgets), for a small computer beside the radio. It is kora --headless.
#include "CommandLine.h"
#include "HeadlessApp.h"

int main(int argc, char* argv[])
{
    const CommandLine line =
        CommandLine::parse(CommandLine::programStart(argc, argv), CommandLine::Face::Service);
    if (line.outcome != CommandLine::Outcome::Run)
        return line.print();
    return HeadlessApp::run(argc, argv, line);
}
