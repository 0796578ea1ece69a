#pragma once

// Every value the program keeps in the settings store, with its section, key,
// kind and default, and typed access to them. The dialog reads and writes the
// store only through these.

#include <array>
#include <cstdint>
#include <string_view>

#include <QString>

#include "count/count_table.h"
#include "output/entry_rows.h"
#include "run/run_setup.h"
#include "settings_store.h"

namespace plexor::settings
{
    inline constexpr char kSettingsSection[] = "Settings";
    // Keyed by the default extension passed to the file dialog ("zone",
    // "TXT"); the value is the folder last chosen for it, a separator, "*."
    // and the extension.
    inline constexpr char kFilePathSection[] = "File Path";

    struct IntegerSetting
    {
        const char* section;
        const char* key;
        std::int32_t defaultValue;
    };

    struct StringSetting
    {
        const char* section;
        const char* key;
        const char* defaultValue;
    };

    inline constexpr IntegerSetting kMaxChars {kSettingsSection, "Max Chars", kDefaultMaxChars};
    inline constexpr IntegerSetting kMinChars {kSettingsSection, "Min Chars", kDefaultMinChars};
    inline constexpr StringSetting kNameServerList {kSettingsSection, "NS List", ""};
    inline constexpr StringSetting kIncludeWords {kSettingsSection, "Include Words", ""};
    inline constexpr StringSetting kExcludeChars {kSettingsSection, "Exclude Chars", kDefaultExcludedChars.data()};
    inline constexpr StringSetting kZoneFileName {kSettingsSection, "Zone File Name", ""};
    // Several zone files chosen at once: their paths, one a line, the first
    // being the one "Zone File Name" holds (empty after one file was
    // chosen); and a folder chosen for its zone files (empty otherwise).
    inline constexpr StringSetting kZoneFileNames {kSettingsSection, "Zone File Names", ""};
    inline constexpr StringSetting kZoneFolder {kSettingsSection, "Zone Folder", ""};
    inline constexpr IntegerSetting kAppendNameServers {kSettingsSection, "Append Name Servers", 0};
    inline constexpr IntegerSetting kZoneType {kSettingsSection, "Zone Type", 0};
    inline constexpr StringSetting kOutputFile {kSettingsSection, "Output File", ""};
    // The lines a run reads at most; 0 means no limit. Read at the start of
    // every run (see ReadLineLimit).
    inline constexpr IntegerSetting kLineLimit {kSettingsSection, "Line Limit",
                                                static_cast<std::int32_t>(kDefaultLineLimit)};
    // The comparison with an older zone file: on (1) or off (0), the older
    // file, and what it writes (1 new names, 2 dropped names: ZoneChanges).
    inline constexpr IntegerSetting kCompareWithOlder {kSettingsSection, "Compare With Older Zone", 0};
    inline constexpr StringSetting kOlderZoneFileName {kSettingsSection, "Older Zone File Name", ""};
    inline constexpr IntegerSetting kComparisonWrites {kSettingsSection, "Comparison Writes", 1};
    // The look-alike row: the watched terms and the names never written
    // (comma-separated, as on the command line), the distance (-1 for
    // automatic, else 0 to 3) and the output form ("list" or "tsv").
    inline constexpr StringSetting kLookalikeTerms {kSettingsSection, "Lookalike Terms", ""};
    inline constexpr StringSetting kLookalikeExceptions {kSettingsSection, "Lookalike Exceptions", ""};
    inline constexpr IntegerSetting kLookalikeDistance {kSettingsSection, "Lookalike Distance", -1};
    inline constexpr StringSetting kOutputForm {kSettingsSection, "Output Form", "list"};
    // The count row: what a count groups by ("provider" or "server") and
    // the provider map file (empty: none).
    inline constexpr StringSetting kCountBy {kSettingsSection, "Count By", "provider"};
    inline constexpr StringSetting kProviderMapFile {kSettingsSection, "Provider Map File", ""};
    // Written at the start of every run, never read.
    inline constexpr StringSetting kZoneOutputFile {kSettingsSection, "Zone Output File", ""};

    inline constexpr std::array kIntegerSettings {kMaxChars,         kMinChars,         kAppendNameServers,
                                                  kZoneType,         kLineLimit,        kCompareWithOlder,
                                                  kComparisonWrites, kLookalikeDistance};
    inline constexpr std::array kStringSettings {kNameServerList,    kIncludeWords,        kExcludeChars,
                                                 kZoneFileName,      kOutputFile,          kZoneOutputFile,
                                                 kOlderZoneFileName, kLookalikeTerms,      kLookalikeExceptions,
                                                 kOutputForm,        kCountBy,             kProviderMapFile,
                                                 kZoneFileNames,     kZoneFolder};

    inline std::int32_t Read(const SettingsStore& store, const IntegerSetting& setting)
    {
        return store.ReadSettingInt(QString::fromLatin1(setting.section), QString::fromLatin1(setting.key),
                                    setting.defaultValue);
    }

    inline QString Read(const SettingsStore& store, const StringSetting& setting)
    {
        return store.ReadSettingString(QString::fromLatin1(setting.section), QString::fromLatin1(setting.key),
                                       QString::fromUtf8(setting.defaultValue));
    }

    inline void Write(SettingsStore& store, const IntegerSetting& setting, std::int32_t value)
    {
        store.WriteSettingInt(QString::fromLatin1(setting.section), QString::fromLatin1(setting.key), value);
    }

    inline void Write(SettingsStore& store, const StringSetting& setting, const QString& value)
    {
        store.WriteSettingString(QString::fromLatin1(setting.section), QString::fromLatin1(setting.key), value);
    }

    // The stored line limit; a value that is negative or not an integer
    // gives the default.
    inline std::uint64_t ReadLineLimit(const SettingsStore& store)
    {
        const std::int32_t limit = Read(store, kLineLimit);
        return limit >= 0 ? static_cast<std::uint64_t>(limit) : kDefaultLineLimit;
    }

    // The stored comparison kind; a value other than 1 or 2 gives new names.
    inline ZoneChanges ReadComparisonWrites(const SettingsStore& store)
    {
        return Read(store, kComparisonWrites) == static_cast<std::int32_t>(ZoneChanges::DroppedNames)
                 ? ZoneChanges::DroppedNames
                 : ZoneChanges::NewNames;
    }

    // The stored look-alike distance; a value outside 0 to 3 gives
    // automatic (-1).
    inline std::int32_t ReadLookalikeDistance(const SettingsStore& store)
    {
        const std::int32_t distance = Read(store, kLookalikeDistance);
        return distance >= 0 && distance <= 3 ? distance : -1;
    }

    // The stored output form: the table for "tsv" (in any case), the list
    // for anything else.
    inline OutputForm ReadOutputForm(const SettingsStore& store)
    {
        return Read(store, kOutputForm).trimmed().compare(QLatin1String("tsv"), Qt::CaseInsensitive) == 0
                 ? OutputForm::Tsv
                 : OutputForm::List;
    }

    // The stored grouping of a count: by server for "server" (in any case),
    // by provider for anything else.
    inline CountBy ReadCountBy(const SettingsStore& store)
    {
        return Read(store, kCountBy).trimmed().compare(QLatin1String("server"), Qt::CaseInsensitive) == 0
                 ? CountBy::Server
                 : CountBy::Provider;
    }

    inline QString CountByText(CountBy by)
    {
        return by == CountBy::Server ? QStringLiteral("server") : QStringLiteral("provider");
    }

    inline QString OutputFormText(OutputForm form)
    {
        return QString::fromLatin1(OutputFormName(form));
    }

    // The remembered location of the file dialog for a default extension,
    // keyed exactly as passed (so "zone" and "TXT" never share a value).
    inline QString ReadRememberedLocation(const SettingsStore& store, const QString& defaultExtension)
    {
        return store.ReadSettingString(QString::fromLatin1(kFilePathSection), defaultExtension, QString());
    }

    inline void WriteRememberedLocation(SettingsStore& store, const QString& defaultExtension,
                                        const QString& location)
    {
        store.WriteSettingString(QString::fromLatin1(kFilePathSection), defaultExtension, location);
    }
}
