// Writes the program's icon: as PNG files of the given sizes for the desktop icon theme, or with
// --ico as one Windows icon file holding every size, for the program file's resource.
#include "ui/AppIcon.h"

#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <cstdio>

namespace {
QByteArray png(int pixels)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    AppIcon::image(pixels).save(&buffer, "PNG");
    return bytes;
}

// An icon directory followed by one PNG image per size, as Windows reads icons since Vista.
bool writeIco(const QString& path, const QList<int>& sizes)
{
    QList<QByteArray> images;
    for (int pixels : sizes)
        images.append(png(pixels));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint16(0) << quint16(1) << quint16(sizes.size());
    quint32 offset = 6 + 16 * sizes.size();
    for (int i = 0; i < sizes.size(); ++i) {
        const auto side = quint8(sizes[i] >= 256 ? 0 : sizes[i]);
        out << side << side << quint8(0) << quint8(0) << quint16(1) << quint16(32)
            << quint32(images[i].size()) << offset;
        offset += images[i].size();
    }
    for (const QByteArray& image : images)
        out.writeRawData(image.constData(), int(image.size()));
    return out.status() == QDataStream::Ok && file.flush();
}
} // namespace

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool ico = !args.isEmpty() && args.first() == "--ico";
    if (ico)
        args.removeFirst();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: kora-icon OUTPUT_DIR SIZE...\n"
                             "       kora-icon --ico FILE.ico SIZE...\n");
        return 2;
    }
    QList<int> sizes;
    for (const QString& size : args.mid(1)) {
        const int pixels = size.toInt();
        if (pixels <= 0 || pixels > 256) {
            std::fprintf(stderr, "kora-icon: %s is not an icon size\n", qPrintable(size));
            return 2;
        }
        sizes.append(pixels);
    }
    if (ico) {
        if (!writeIco(args[0], sizes)) {
            std::fprintf(stderr, "kora-icon: cannot write %s\n", qPrintable(args[0]));
            return 1;
        }
        return 0;
    }
    for (int pixels : sizes) {
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(args[0]).arg(pixels);
        if (!QDir().mkpath(dir) || !AppIcon::image(pixels).save(dir + "/kora.png")) {
            std::fprintf(stderr, "kora-icon: cannot write the %d pixel icon\n", pixels);
            return 1;
        }
    }
    return 0;
}
