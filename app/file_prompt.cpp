// The main dialog's file dialogs: each opens in the folder last used for its
// default extension, and a new output name without extension gets the
// default one.

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "dialog_services.h"
#include "file_filters.h"
#include "file_paths.h"
#include "main_dialog.h"
#include "settings_keys.h"

namespace plexor
{
    namespace
    {
        FileDialogRequest MakeRequest(const SettingsStore& store, bool openForm, const QString& filter,
                                      const QString& defaultExtension, const QString& title)
        {
            FileDialogRequest request;
            request.openForm = openForm;
            request.title = title;
            request.nameFilters = NameFiltersFromPairs(filter);
            request.defaultSuffix = defaultExtension;
            request.initialLocation = settings::ReadRememberedLocation(store, defaultExtension);
            // A folder remembered before such folders were refused: a file
            // dialog opened there may hang for good.
            if (IsInSystemFolder(SplitRememberedLocation(request.initialLocation).directory))
                request.initialLocation.clear();
            return request;
        }

        QString FullNativePath(const QString& chosen)
        {
            return QDir::toNativeSeparators(QFileInfo(chosen).absoluteFilePath());
        }
    }

    bool MainDialog::PromptForFiles(QStringList& paths, const QString& filter, const QString& defaultExtension)
    {
        const FileDialogRequest request = MakeRequest(m_settings, true, filter, defaultExtension, QString());
        const std::optional<QStringList> chosen = m_fileDialogs.ChooseFiles(this, request);
        if (!chosen)
            return false;
        QStringList full;
        for (const QString& path : *chosen)
        {
            if (!path.isEmpty() && !full.contains(FullNativePath(path)))
                full.append(FullNativePath(path));
        }
        if (full.isEmpty())
            return false;
        paths = full;
        return true;
    }

    bool MainDialog::PromptForFolder(QString& folder, const QString& defaultExtension)
    {
        const FileDialogRequest request =
            MakeRequest(m_settings, true, QString(), defaultExtension, QStringLiteral("Open a Folder of Zone Files"));
        const std::optional<QString> chosen = m_fileDialogs.ChooseFolder(this, request);
        if (!chosen || chosen->isEmpty())
            return false;
        folder = FullNativePath(*chosen);
        return true;
    }

    bool MainDialog::PromptForFile(bool openForm, QString& path, const QString& filter,
                                   const QString& defaultExtension, const QString& title, QWidget* owner)
    {
        QWidget* const dialogOwner = owner != nullptr ? owner : this;
        const FileDialogRequest request = MakeRequest(m_settings, openForm, filter, defaultExtension, title);
        const std::optional<QString> chosen = m_fileDialogs.ChooseFile(dialogOwner, request);
        if (!chosen || chosen->isEmpty())
            return false;

        QString fullPath = FullNativePath(*chosen);
        if (!openForm && !defaultExtension.isEmpty() && QFileInfo(fullPath).suffix().isEmpty()
            && !QFileInfo::exists(fullPath))
        {
            // A new name without extension gets the default extension here,
            // after the file dialog, so the dialog never checked that name:
            // ask before an existing file of that name is replaced. (A name
            // that exists as typed is the one the dialog asked about.)
            fullPath += QLatin1Char('.') + defaultExtension;
            if (QFileInfo::exists(fullPath)
                && !m_messageBoxes.AskYesNo(dialogOwner, QCoreApplication::applicationName(),
                                            QStringLiteral("%1 already exists.\nDo you want to replace it?")
                                                .arg(fullPath)))
                return false;
        }
        path = fullPath;
        return true;
    }

    void MainDialog::RememberFolderOf(const QString& path, const QString& defaultExtension)
    {
        const QString location = RememberedLocationFor(path, defaultExtension);
        if (location.isEmpty() || IsInSystemFolder(SplitRememberedLocation(location).directory))
            return;
        settings::WriteRememberedLocation(m_settings, defaultExtension, location);
    }
}
