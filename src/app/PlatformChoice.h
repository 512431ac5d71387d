#pragma once

#include <QByteArray>
#include <QProcessEnvironment>

namespace PlatformChoice {
// The window-system platform KORA asks Qt for, or nothing to leave the choice to Qt.
// Under Wayland a window cannot place itself, so the restored position and the dialogs'
// placement beside the main window would be lost. Where an X display is reachable (XWayland
// included) X is preferred, with Wayland as the fallback; a platform the user chose wins.
// Other systems keep Qt's choice.
QByteArray preferred(const QProcessEnvironment& environment);
} // namespace PlatformChoice
