#pragma once

// The per-user settings store: sections of named integer and string values.
// These four operations are the only way the program touches the store.

#include <cstdint>
#include <memory>

#include <QString>

class QSettings;

namespace plexor
{
    inline constexpr char kCompanyKey[] = "Velmora Technologies";

    class SettingsStore final
    {
    public:
        // The platform's native per-user store below the company key and the
        // application key (on Windows HKCU\Software\<company>\<application>).
        explicit SettingsStore(const QString& applicationKey);
        // A store kept in the given file (INI format); used by the tests.
        static std::unique_ptr<SettingsStore> OpenFile(const QString& filePath);
        ~SettingsStore();
        SettingsStore(const SettingsStore&) = delete;
        SettingsStore& operator=(const SettingsStore&) = delete;

        // A missing value, or one that is not a signed 32-bit integer, gives
        // the default.
        std::int32_t ReadSettingInt(const QString& section, const QString& key, std::int32_t defaultValue) const;
        QString ReadSettingString(const QString& section, const QString& key,
                                  const QString& defaultValue = QString()) const;
        // A failed write is not reported; the value is then simply missing at
        // the next start.
        void WriteSettingInt(const QString& section, const QString& key, std::int32_t value);
        void WriteSettingString(const QString& section, const QString& key, const QString& value);

    private:
        explicit SettingsStore(std::unique_ptr<QSettings> settings);

        std::unique_ptr<QSettings> m_settings;
    };
}
