#pragma once

#include <QString>

namespace Version {
constexpr int Major = 0;
constexpr int Minor = 0;
constexpr int Revision = 1;

inline QString text()
{
    return QString::number(Major) + "." + QString::number(Minor) + "." + QString::number(Revision);
}
} // namespace Version

// Also the name under which the per-user settings are kept.
inline const QString AppTitle = QStringLiteral("KORA");
