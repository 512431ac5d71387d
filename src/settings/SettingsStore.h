#pragma once

#include <QString>
#include <memory>
#include <optional>

class QSettings;

// The per-user settings store. Values are plain text; a missing key reads as the default.
class SettingsStore {
public:
    // The user's own store: organisation and application "KORA".
    SettingsStore();
    // A store kept in the given INI file, for tests and tools.
    explicit SettingsStore(const QString& iniFile);
    ~SettingsStore();

    QString GetSetting(const QString& section, const QString& key,
                       const QString& defaultValue) const;
    // Throws KoraError when the store cannot be written.
    void SaveSetting(const QString& section, const QString& key, const QString& value);

    // The settings file, or on Windows the registry key that holds the settings.
    QString fileName() const;
    bool keptInRegistry() const;

private:
    std::unique_ptr<QSettings> m_settings;
};

namespace SettingsText {
// A window position as stored: at most seven significant digits, whole numbers without a point.
QString fromPosition(float twips);
// The stored text of a position, or nothing when it is not a number.
std::optional<float> toPosition(const QString& text);
} // namespace SettingsText
