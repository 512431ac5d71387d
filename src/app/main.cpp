#include "KoraApp.h"
#include "common/Version.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(AppTitle);
    QCoreApplication::setApplicationName(AppTitle);
    QCoreApplication::setApplicationVersion(Version::text());

    KoraApp kora;
    if (!kora.start())
        return 1;
    return kora.exitStatus(app.exec());
}
