#pragma once

#include <QString>

namespace Version {
// Set by the build from the project's version.
constexpr int Major = KORA_VERSION_MAJOR;
constexpr int Minor = KORA_VERSION_MINOR;
constexpr int Revision = KORA_VERSION_PATCH;

inline QString text()
{
    return QString::number(Major) + "." + QString::number(Minor) + "." + QString::number(Revision);
}
} // namespace Version

// Also the name under which the per-user settings are kept.
inline const QString AppTitle = QStringLiteral("KORA");
