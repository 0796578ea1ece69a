#pragma once

// Stand-ins for the desktop services of the main dialog: file dialogs that
// return preset answers, and message boxes, a document opener and an About
// box that only record what they were asked. None of them opens a window.

#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include <QByteArray>
#include <QCoreApplication>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QString>
#include <QTemporaryDir>
#include <QUrl>
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

        // The open form for several files: the next list of fileLists when
        // there is one, otherwise the next answer as a list of one.
        std::optional<QStringList> ChooseFiles(QWidget* owner, const FileDialogRequest& request) override
        {
            if (fileLists.empty())
            {
                const std::optional<QString> one = ChooseFile(owner, request);
                return one ? std::optional<QStringList>(QStringList {*one}) : std::nullopt;
            }
            owners.append(owner);
            requests.push_back(request);
            const QStringList chosen = fileLists.front();
            fileLists.pop_front();
            return chosen;
        }

        // Takes the next folder answer; cancel when none is left.
        std::optional<QString> ChooseFolder(QWidget* owner, const FileDialogRequest& request) override
        {
            owners.append(owner);
            requests.push_back(request);
            folderRequests.push_back(request);
            if (folderAnswers.empty())
                return std::nullopt;
            const std::optional<QString> answer = folderAnswers.front();
            folderAnswers.pop_front();
            return answer;
        }

        // Each call takes the next answer; nothing (cancel) when none is left.
        std::deque<std::optional<QString>> answers;
        std::deque<QStringList> fileLists;
        std::deque<std::optional<QString>> folderAnswers;
        std::vector<FileDialogRequest> folderRequests;
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

        void ShowInformation(QWidget* owner, const QString& caption, const QString& text) override
        {
            reports.push_back({owner, caption, text});
        }

        // Records the question and takes the next answer; No when none is
        // left.
        bool AskYesNo(QWidget* owner, const QString& caption, const QString& text) override
        {
            questions.push_back({owner, caption, text});
            if (yesNoAnswers.empty())
                return false;
            const bool answer = yesNoAnswers.front();
            yesNoAnswers.pop_front();
            return answer;
        }

        // Records the prompt (its label, then the text it starts with) and
        // takes the next answer; cancel when none is left.
        std::optional<QString> AskForText(QWidget* owner, const QString& caption, const QString& label,
                                          const QString& text) override
        {
            prompts.push_back({owner, caption, label + QLatin1Char('|') + text});
            if (textAnswers.empty())
                return std::nullopt;
            const std::optional<QString> answer = textAnswers.front();
            textAnswers.pop_front();
            return answer;
        }

        QStringList Texts() const
        {
            QStringList texts;
            for (const RecordedMessage& message : messages)
                texts.append(message.text);
            return texts;
        }

        std::vector<RecordedMessage> messages;
        // The information messages (a run's summary), apart from warnings.
        std::vector<RecordedMessage> reports;
        std::vector<RecordedMessage> questions;
        std::deque<bool> yesNoAnswers;
        std::vector<RecordedMessage> prompts;
        std::deque<std::optional<QString>> textAnswers;
    };

    class RecordingDesktopOpener final : public DesktopOpener
    {
    public:
        bool OpenDocument(const QString& path) override
        {
            opened.append(path);
            return opens;
        }

        QStringList opened;
        // What every call answers: false when no viewer could be started.
        bool opens = true;
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

    // Drags the items over `target` and drops them there, as a file manager
    // does (the paths also as text); true when drag and drop were accepted.
    inline bool DropOn(QWidget* target, const QList<QUrl>& items)
    {
        QMimeData data;
        data.setUrls(items);
        data.setText(items.front().toString());
        const QPoint point = target->rect().center();
        QDragEnterEvent enter(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        QDropEvent drop(QPointF(point), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &drop);
        return enter.isAccepted() && drop.isAccepted();
    }
}
