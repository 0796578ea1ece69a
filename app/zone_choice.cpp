#include "zone_choice.h"

#include <QDir>
#include <QFileInfo>

#include "file_paths.h"
#include "scan/path_text.h"
#include "settings_keys.h"
#include "zones/zone_set.h"

namespace plexor
{
    namespace
    {
        constexpr QChar kListSeparator = QLatin1Char('\n');

        QString FolderOf(const QString& path)
        {
            return QDir::toNativeSeparators(QFileInfo(path).absolutePath());
        }
    }

    QString ZoneChoiceText(const ZoneChoice& choice)
    {
        if (!choice.IsList())
            return choice.files.value(0);
        const qsizetype count = choice.files.size();
        const QString files = count == 1 ? QStringLiteral("1 zone file") : QStringLiteral("%1 zone files").arg(count);
        QString folder = choice.folder;
        if (folder.isEmpty())
        {
            folder = FolderOf(choice.files.front());
            for (const QString& file : choice.files)
            {
                if (FolderOf(file) != folder)
                    return files;
            }
        }
        return QStringLiteral("%1 in %2").arg(files, folder);
    }

    QStringList ListZoneFolderFiles(const QString& folder, QString& error)
    {
        const ZoneSet listed = ListZoneFolder(ToFilesystemPath(folder));
        if (listed.error)
        {
            error = QString::fromStdString(listed.error->message);
            return {};
        }
        QStringList files;
        for (const ZoneFile& zone : listed.zones)
            files.append(QDir::toNativeSeparators(QString::fromStdString(PathText(zone.path))));
        return files;
    }

    ZoneChoice ReadZoneChoice(const SettingsStore& store)
    {
        const QString first = settings::Read(store, settings::kZoneFileName);
        ZoneChoice choice;
        const QString folder = settings::Read(store, settings::kZoneFolder);
        if (!folder.isEmpty() && (first.isEmpty() || FolderOf(first) == QDir::toNativeSeparators(folder)))
        {
            QString ignored;
            choice.folder = folder;
            choice.files = ListZoneFolderFiles(folder, ignored);
            return choice;
        }
        const QStringList names =
            settings::Read(store, settings::kZoneFileNames).split(kListSeparator, Qt::SkipEmptyParts);
        if (names.size() > 1 && names.front() == first)
            choice.files = names;
        else if (!first.isEmpty())
            choice.files = QStringList {first};
        return choice;
    }

    void WriteZoneChoice(SettingsStore& store, const ZoneChoice& choice)
    {
        settings::Write(store, settings::kZoneFileName, choice.files.value(0));
        settings::Write(store, settings::kZoneFileNames,
                        choice.folder.isEmpty() && choice.files.size() > 1 ? choice.files.join(kListSeparator)
                                                                            : QString());
        settings::Write(store, settings::kZoneFolder, choice.folder);
    }
}
