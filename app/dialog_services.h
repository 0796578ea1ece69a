#pragma once

// What the main dialog needs of the desktop beyond its own window: file
// dialogs, message boxes, the desktop's document opener and the About box.
// The program passes the Qt implementations (qt_dialog_services.h); tests
// pass fakes, so that no modal window ever waits for a user.

#include <optional>

#include <QString>
#include <QStringList>

class QWidget;

namespace plexor
{
    struct FileDialogRequest
    {
        // Open form (the file must exist) or save form (asks before an
        // existing file is replaced).
        bool openForm = true;
        // Empty: the platform's default title for the form.
        QString title;
        QStringList nameFilters;
        // Appended to a typed name without an extension.
        QString defaultSuffix;
        // The remembered location (folder, separator, "*." and extension) or
        // empty.
        QString initialLocation;
    };

    class FileDialogs
    {
    public:
        virtual ~FileDialogs() = default;
        // The chosen file, or nothing when the user cancelled.
        virtual std::optional<QString> ChooseFile(QWidget* owner, const FileDialogRequest& request) = 0;
        // The open form that takes several files at once: the chosen files
        // (at least one), or nothing when the user cancelled.
        virtual std::optional<QStringList> ChooseFiles(QWidget* owner, const FileDialogRequest& request) = 0;
        // An existing folder (the request's filters and suffix do not
        // apply), or nothing when the user cancelled.
        virtual std::optional<QString> ChooseFolder(QWidget* owner, const FileDialogRequest& request) = 0;
    };

    // The dialog's small modal windows: messages, questions and the input of
    // one value.
    class MessageBoxes
    {
    public:
        virtual ~MessageBoxes() = default;
        // A message with one OK button and the warning icon, owned by `owner`.
        virtual void ShowWarning(QWidget* owner, const QString& caption, const QString& text) = 0;
        // The same with the information icon: a report, not a warning.
        virtual void ShowInformation(QWidget* owner, const QString& caption, const QString& text) = 0;
        // A question with Yes and No buttons, No being the default; true for
        // Yes.
        virtual bool AskYesNo(QWidget* owner, const QString& caption, const QString& text) = 0;
        // A small input dialog with one text field that starts with `text`;
        // the text as confirmed, or nothing when cancelled.
        virtual std::optional<QString> AskForText(QWidget* owner, const QString& caption, const QString& label,
                                                  const QString& text) = 0;
    };

    class DesktopOpener
    {
    public:
        virtual ~DesktopOpener() = default;
        // Opens the file in the application the desktop associates with its
        // type; false when no viewer could be started.
        virtual bool OpenDocument(const QString& path) = 0;
    };

    class AboutBoxPresenter
    {
    public:
        virtual ~AboutBoxPresenter() = default;
        // Shows the About box modally and returns when it is closed.
        virtual void ShowAbout(QWidget* owner) = 0;
    };
}
