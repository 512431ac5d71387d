#include "AppIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

QImage AppIcon::image(int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.scale(size / 32.0, size / 32.0);

    // Sun: yellow disc with a dark-yellow rim, top right.
    painter.setPen(QPen(QColor(128, 128, 0), 1));
    painter.setBrush(QColor(255, 255, 0));
    painter.drawEllipse(QRectF(15, 2, 14, 14));

    // Thermometer: white tube with a black outline and a red column ending in a bulb.
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(7, 3, 7, 21), 3, 3);
    painter.setBrush(QColor(255, 0, 0));
    painter.drawEllipse(QRectF(5, 21, 11, 10));
    painter.setPen(Qt::NoPen);
    painter.drawRect(QRectF(9, 11, 3, 12));

    // Scale marks.
    painter.setPen(QPen(Qt::black, 1));
    for (int y = 6; y <= 18; y += 4)
        painter.drawLine(QPointF(14, y), QPointF(17, y));
    painter.end();
    return image;
}

QIcon AppIcon::icon()
{
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(image(16)));
    icon.addPixmap(QPixmap::fromImage(image(32)));
    return icon;
}
