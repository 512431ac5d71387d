// Writes the program's icon as PNG files of the given sizes, for the desktop icon theme.
#include "ui/AppIcon.h"

#include <QDir>
#include <QGuiApplication>
#include <cstdio>

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: kora-icon OUTPUT_DIR SIZE...\n");
        return 2;
    }
    for (const QString& size : args.mid(1)) {
        const int pixels = size.toInt();
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(args[0]).arg(pixels);
        if (pixels <= 0 || !QDir().mkpath(dir) || !AppIcon::image(pixels).save(dir + "/kora.png")) {
            std::fprintf(stderr, "kora-icon: cannot write the %s pixel icon\n", qPrintable(size));
            return 1;
        }
    }
    return 0;
}
