#include "qt_dialog_services.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QUrl>

#include "about/about_dialog.h"
#include "file_filters.h"
#include "file_paths.h"

namespace plexor
{
    namespace
    {
        bool HasWildcard(const QString& name)
        {
            return name.contains(QLatin1Char('*')) || name.contains(QLatin1Char('?'));
        }

        // Selects the first name filter that lists the pattern (for "*.zone"
        // the zone filter), so that the dialog starts showing those files.
        void SelectFilterFor(QFileDialog& dialog, const QString& pattern)
        {
            for (const QString& filter : dialog.nameFilters())
            {
                const qsizetype open = filter.lastIndexOf(QLatin1Char('('));
                const qsizetype close = filter.lastIndexOf(QLatin1Char(')'));
                if (open < 0 || close < open)
                    continue;
                const QStringList patterns =
                    filter.mid(open + 1, close - open - 1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
                if (patterns.contains(pattern, Qt::CaseInsensitive))
                {
                    dialog.selectNameFilter(filter);
                    return;
                }
            }
        }
    }

    namespace
    {
        // The request's form, filters and starting place on the dialog.
        void Prepare(QFileDialog& dialog, const FileDialogRequest& request, QFileDialog::FileMode openMode)
        {
            dialog.setAcceptMode(request.openForm ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
            dialog.setFileMode(request.openForm ? openMode : QFileDialog::AnyFile);
            dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
            if (openMode == QFileDialog::Directory)
                dialog.setOption(QFileDialog::ShowDirsOnly, true);
            else
                dialog.setNameFilters(request.nameFilters);
            // The save form adds the default extension in the main dialog,
            // which then asks before an existing file of that name is
            // replaced: some native dialogs check the name for an existing
            // file before they add the extension.
            if (request.openForm && openMode != QFileDialog::Directory)
                dialog.setDefaultSuffix(request.defaultSuffix);

            // Without a remembered folder the dialog would start in the
            // working folder, which must not be one where it may hang.
            if (IsInSystemFolder(QDir::currentPath()))
                dialog.setDirectory(QDir::homePath());
            if (!request.initialLocation.isEmpty())
            {
                const InitialLocation initial = SplitRememberedLocation(request.initialLocation);
                if (!initial.directory.isEmpty())
                    dialog.setDirectory(initial.directory);
                if (openMode == QFileDialog::Directory)
                    return;
                if (HasWildcard(initial.fileName))
                    SelectFilterFor(dialog, initial.fileName);
                else if (!initial.fileName.isEmpty())
                    dialog.selectFile(initial.fileName);
            }
        }

        // The files (or folder) the user confirmed; empty when cancelled.
        QStringList Chosen(QFileDialog& dialog)
        {
            if (dialog.exec() != QDialog::Accepted)
                return {};
            QStringList chosen = dialog.selectedFiles();
            chosen.removeAll(QString());
            return chosen;
        }
    }

    std::optional<QString> QtFileDialogs::ChooseFile(QWidget* owner, const FileDialogRequest& request)
    {
        QFileDialog dialog(owner, request.title);
        Prepare(dialog, request, QFileDialog::ExistingFile);
        const QStringList chosen = Chosen(dialog);
        if (chosen.isEmpty())
            return std::nullopt;
        return chosen.first();
    }

    std::optional<QStringList> QtFileDialogs::ChooseFiles(QWidget* owner, const FileDialogRequest& request)
    {
        QFileDialog dialog(owner, request.title);
        Prepare(dialog, request, QFileDialog::ExistingFiles);
        QStringList chosen = Chosen(dialog);
        if (chosen.isEmpty())
            return std::nullopt;
        return chosen;
    }

    std::optional<QString> QtFileDialogs::ChooseFolder(QWidget* owner, const FileDialogRequest& request)
    {
        QFileDialog dialog(owner, request.title);
        Prepare(dialog, request, QFileDialog::Directory);
        const QStringList chosen = Chosen(dialog);
        if (chosen.isEmpty())
            return std::nullopt;
        return chosen.first();
    }

    void QtMessageBoxes::ShowWarning(QWidget* owner, const QString& caption, const QString& text)
    {
        QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok, owner);
        box.setTextFormat(Qt::PlainText);
        box.exec();
    }

    void QtMessageBoxes::ShowInformation(QWidget* owner, const QString& caption, const QString& text)
    {
        QMessageBox box(QMessageBox::Information, caption, text, QMessageBox::Ok, owner);
        box.setTextFormat(Qt::PlainText);
        box.exec();
    }

    bool QtMessageBoxes::AskYesNo(QWidget* owner, const QString& caption, const QString& text)
    {
        QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Yes | QMessageBox::No, owner);
        box.setTextFormat(Qt::PlainText);
        box.setDefaultButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes;
    }

    std::optional<QString> QtMessageBoxes::AskForText(QWidget* owner, const QString& caption, const QString& label,
                                                      const QString& text)
    {
        QInputDialog dialog(owner);
        dialog.setWindowTitle(caption);
        dialog.setLabelText(label);
        dialog.setInputMode(QInputDialog::TextInput);
        dialog.setTextEchoMode(QLineEdit::Normal);
        dialog.setTextValue(text);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return dialog.textValue();
    }

    bool QtDesktopOpener::OpenDocument(const QString& path)
    {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(QDir::fromNativeSeparators(path)));
    }

    void QtAboutBoxPresenter::ShowAbout(QWidget* owner)
    {
        AboutDialog about(owner);
        about.exec();
    }
}
