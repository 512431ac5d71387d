#pragma once

#include <QIcon>
#include <QImage>

// The program's icon: a thermometer under a sun, drawn in a 16-colour palette.
namespace AppIcon {
QImage image(int size);
QIcon icon();
} // namespace AppIcon
