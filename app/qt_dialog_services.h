#pragma once

// The desktop services of the running program, on Qt's file dialog, message
// box, desktop services and the About box.

#include "dialog_services.h"

namespace plexor
{
    class QtFileDialogs final : public FileDialogs
    {
    public:
        std::optional<QString> ChooseFile(QWidget* owner, const FileDialogRequest& request) override;
        std::optional<QStringList> ChooseFiles(QWidget* owner, const FileDialogRequest& request) override;
        std::optional<QString> ChooseFolder(QWidget* owner, const FileDialogRequest& request) override;
    };

    class QtMessageBoxes final : public MessageBoxes
    {
    public:
        void ShowWarning(QWidget* owner, const QString& caption, const QString& text) override;
        void ShowInformation(QWidget* owner, const QString& caption, const QString& text) override;
        bool AskYesNo(QWidget* owner, const QString& caption, const QString& text) override;
        std::optional<QString> AskForText(QWidget* owner, const QString& caption, const QString& label,
                                          const QString& text) override;
    };

    class QtDesktopOpener final : public DesktopOpener
    {
    public:
        bool OpenDocument(const QString& path) override;
    };

    class QtAboutBoxPresenter final : public AboutBoxPresenter
    {
    public:
        void ShowAbout(QWidget* owner) override;
    };
}
