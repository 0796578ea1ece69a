#include "settings_store.h"

#include <limits>

#include <QSettings>
#include <QStringList>
#include <QVariant>

namespace plexor
{
    namespace
    {
        QString ValuePath(const QString& section, const QString& key)
        {
            return section + QLatin1Char('/') + key;
        }
    }

    SettingsStore::SettingsStore(const QString& applicationKey)
        : SettingsStore(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                                    QString::fromLatin1(kCompanyKey), applicationKey))
    {
    }

    SettingsStore::SettingsStore(std::unique_ptr<QSettings> settings)
        : m_settings(std::move(settings))
    {
    }

    std::unique_ptr<SettingsStore> SettingsStore::OpenFile(const QString& filePath)
    {
        return std::unique_ptr<SettingsStore>(
            new SettingsStore(std::make_unique<QSettings>(filePath, QSettings::IniFormat)));
    }

    SettingsStore::~SettingsStore() = default;

    std::int32_t SettingsStore::ReadSettingInt(const QString& section, const QString& key,
                                               std::int32_t defaultValue) const
    {
        const QVariant value = m_settings->value(ValuePath(section, key));
        if (!value.isValid())
            return defaultValue;
        // The registry hands back a number, a file-based store a text; both go
        // through the text so that "12abc", "1.5" or an out-of-range number
        // fall back to the default instead of being cut or rounded.
        bool ok = false;
        const qlonglong number = value.toString().trimmed().toLongLong(&ok);
        if (!ok || number < std::numeric_limits<std::int32_t>::min()
            || number > std::numeric_limits<std::int32_t>::max())
            return defaultValue;
        return static_cast<std::int32_t>(number);
    }

    QString SettingsStore::ReadSettingString(const QString& section, const QString& key,
                                             const QString& defaultValue) const
    {
        const QVariant value = m_settings->value(ValuePath(section, key));
        if (!value.isValid())
            return defaultValue;
        // A hand-edited file may hold an unquoted list ("a, b"), which the
        // INI reader splits; put it back together rather than lose it.
        if (value.userType() == QMetaType::QStringList)
            return value.toStringList().join(QLatin1Char(','));
        if (!value.canConvert<QString>())
            return defaultValue;
        return value.toString();
    }

    void SettingsStore::WriteSettingInt(const QString& section, const QString& key, std::int32_t value)
    {
        m_settings->setValue(ValuePath(section, key), static_cast<int>(value));
        // Written through at once, so a value survives an abnormal end.
        m_settings->sync();
    }

    void SettingsStore::WriteSettingString(const QString& section, const QString& key, const QString& value)
    {
        m_settings->setValue(ValuePath(section, key), value);
        m_settings->sync();
    }
}
