#include "SettingsStore.h"

#include "common/KoraError.h"
#include "common/Version.h"

#include <QLocale>
#include <QSettings>
#include <cmath>

SettingsStore::SettingsStore() : m_settings(std::make_unique<QSettings>(AppTitle, AppTitle)) {}

SettingsStore::SettingsStore(const QString& iniFile)
    : m_settings(std::make_unique<QSettings>(iniFile, QSettings::IniFormat))
{
}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::GetSetting(const QString& section, const QString& key,
                                  const QString& defaultValue) const
{
    const QVariant value = m_settings->value(section + "/" + key);
    if (!value.isValid())
        return defaultValue;
    // A value typed by hand with a decimal comma (Top=1440,5) is read as a list: its text is
    // what was typed.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(u',');
    return value.toString();
}

void SettingsStore::SaveSetting(const QString& section, const QString& key, const QString& value)
{
    m_settings->setValue(section + "/" + key, value);
    m_settings->sync();
    if (m_settings->status() != QSettings::NoError) {
        throw KoraError(ErrorNumber::SettingsWrite,
                        QStringLiteral("Could not save the setting %1 in %2").arg(key, fileName()));
    }
}

QString SettingsStore::fileName() const
{
    return m_settings->fileName();
}

bool SettingsStore::keptInRegistry() const
{
#ifdef Q_OS_WIN
    return m_settings->format() == QSettings::NativeFormat;
#else
    return false;
#endif
}

QString SettingsText::fromPosition(float twips)
{
    return QLocale::c().toString(static_cast<double>(twips), 'g', 7);
}

std::optional<float> SettingsText::toPosition(const QString& text)
{
    // Positions are written with "." whatever the locale; a value typed in the user's own
    // notation is still read.
    bool ok = false;
    float value = QLocale::c().toFloat(text.trimmed(), &ok);
    if (!ok)
        value = QLocale().toFloat(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}
