#pragma once

// Stand-ins for the desktop services of the main dialog: file dialogs that
// return preset answers, and message boxes, a document opener and an About
// box that only record what they were asked. None of them opens a window.

#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include <QByteArray>
#include <QFile>
#include <QPointer>
#include <QPushButton>
#include <QString>
#include <QTemporaryDir>
#include <QWidget>

#include "dialog_services.h"
#include "main_dialog.h"
#include "settings_store.h"

namespace plexor::test
{
    class FakeFileDialogs final : public FileDialogs
    {
    public:
        std::optional<QString> ChooseFile(QWidget* owner, const FileDialogRequest& request) override
        {
            owners.append(owner);
            requests.push_back(request);
            if (answers.empty())
                return std::nullopt;
            const bool chosen = answers.front().has_value();
            const QString path = chosen ? *answers.front() : QString();
            answers.pop_front();
            if (!chosen)
                return std::nullopt;
            return path;
        }

        // Each call takes the next answer; nothing (cancel) when none is left.
        std::deque<std::optional<QString>> answers;
        std::vector<FileDialogRequest> requests;
        QList<QPointer<QWidget>> owners;
    };

    struct RecordedMessage
    {
        QWidget* owner;
        QString caption;
        QString text;
    };

    class RecordingMessageBoxes final : public MessageBoxes
    {
    public:
        void ShowWarning(QWidget* owner, const QString& caption, const QString& text) override
        {
            messages.push_back({owner, caption, text});
        }

        QStringList Texts() const
        {
            QStringList texts;
            for (const RecordedMessage& message : messages)
                texts.append(message.text);
            return texts;
        }

        std::vector<RecordedMessage> messages;
    };

    class RecordingDesktopOpener final : public DesktopOpener
    {
    public:
        void OpenDocument(const QString& path) override { opened.append(path); }

        QStringList opened;
    };

    class RecordingAboutBox final : public AboutBoxPresenter
    {
    public:
        void ShowAbout(QWidget* owner) override { owners.append(owner); }

        QList<QWidget*> owners;
    };

    // A main dialog on its own settings file in a temporary folder, with
    // recording services.
    struct DialogFixture
    {
        DialogFixture()
            : store(SettingsStore::OpenFile(SettingsFile()))
        {
        }

        QString SettingsFile() const { return dir.filePath(QStringLiteral("settings.ini")); }
        QString Path(const QString& name) const { return dir.filePath(name); }

        MainDialog& Open()
        {
            dialog = std::make_unique<MainDialog>(MainDialogServices {*store, files, messages, desktop, about});
            dialog->show();
            return *dialog;
        }

        // A second store on the same file: what the next start would read.
        std::unique_ptr<SettingsStore> Reopened() const { return SettingsStore::OpenFile(SettingsFile()); }

        QTemporaryDir dir;
        std::unique_ptr<SettingsStore> store;
        FakeFileDialogs files;
        RecordingMessageBoxes messages;
        RecordingDesktopOpener desktop;
        RecordingAboutBox about;
        std::unique_ptr<MainDialog> dialog;
    };

    // The dialog's control of the given id as the widget it must be; a
    // missing control or one of another kind ends the test run.
    template <typename Widget>
    Widget* Control(const MainDialog& dialog, int controlId)
    {
        auto* widget = qobject_cast<Widget*>(dialog.ControlById(controlId));
        if (widget == nullptr)
            qFatal("control %d missing or of the wrong kind", controlId);
        return widget;
    }

    inline QPushButton* Button(const MainDialog& dialog, int controlId)
    {
        return Control<QPushButton>(dialog, controlId);
    }

    // A file's bytes, or "<unreadable>" when it cannot be opened.
    inline QByteArray ReadFile(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArrayLiteral("<unreadable>");
    }

    inline bool WriteFile(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }
}
