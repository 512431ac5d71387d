#include "KoraApp.h"
#include "PlatformChoice.h"
#include "common/Version.h"
#include "ui/Fonts.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    const QByteArray platform = PlatformChoice::preferred(QProcessEnvironment::systemEnvironment());
    if (!platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", platform);
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(AppTitle);
    QCoreApplication::setApplicationName(AppTitle);
    QCoreApplication::setApplicationVersion(Version::text());

    Fonts::addBundled(QCoreApplication::applicationDirPath() + QStringLiteral("/fonts"));
    KoraApp kora;
    if (!kora.start())
        return 1;
    return kora.exitStatus(app.exec());
}
