#include "common/UnhandledError.h"
#include "common/Version.h"
#include "measurement/ProgramState.h"
#include "measurement/ReportWriter.h"
#include "serial/PortDevice.h"
#include "serial/QtSerialControl.h"
#include "settings/SettingsStore.h"
#include "ui/FrmMain.h"
#include "ui/MessageBoxes.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(AppTitle);
    QCoreApplication::setApplicationName(AppTitle);
    QCoreApplication::setApplicationVersion(Version::text());

    QtMessageBoxes messages;
    bool failed = false;
    UnhandledError::install([&](const KoraError& error) {
        failed = true;
        messages.error(error);
        QCoreApplication::exit(1);
    });

    ProgramState state;
    SettingsStore settings;
    SystemClock clock;
    QtSerialControl port([&settings](int n) { return PortDevice::forPort(n, settings); });
    FrmMain frmMain(state, settings, port, clock, messages);
    messages.setParent(&frmMain);

    if (!UnhandledError::guard([&] { frmMain.load(); }) || failed)
        return 1;
    frmMain.show();
    const int status = app.exec();
    return failed ? 1 : status;
}
