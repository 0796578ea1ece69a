// The commands of the main window itself: Close, About (the button, the
// menu entry and, on Windows, the system menu entry) and Line Limit (menu
// entries only).

#include <limits>
#include <optional>

#include <QAction>
#include <QCoreApplication>
#include <QPushButton>

#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

#include "control_ids.h"
#include "control_template.h"
#include "dialog_services.h"
#include "main_dialog.h"
#include "settings_keys.h"

namespace plexor
{
    namespace
    {
        namespace id = control_id;

        // clang-format off
        constexpr ControlTemplate kWindowButtonRows[] {
            {id::kCloseButton, ControlKind::PushButton, 231, 223, 46, 13, "&Close", nullptr, "Close"},
            {id::kAboutButton, ControlKind::PushButton, 231, 198, 46, 13, "&About...", nullptr, "About Plexor2"},
        };
        // clang-format on

        // The text of the line-limit input as a limit: 0 or a positive whole
        // number up to 2^31 - 1 (a + before it and blanks around it allowed).
        std::optional<std::int32_t> ParseLineLimit(const QString& text)
        {
            QString digits = text.trimmed();
            if (digits.startsWith(QLatin1Char('+')))
                digits.remove(0, 1);
            if (digits.isEmpty())
                return std::nullopt;
            for (const QChar ch : digits)
            {
                if (ch < QLatin1Char('0') || ch > QLatin1Char('9'))
                    return std::nullopt;
            }
            while (digits.size() > 1 && digits.front() == QLatin1Char('0'))
                digits.remove(0, 1);
            if (digits.size() > 10)
                return std::nullopt;
            const qlonglong value = digits.toLongLong();
            if (value > std::numeric_limits<std::int32_t>::max())
                return std::nullopt;
            return static_cast<std::int32_t>(value);
        }
    }

    void MainDialog::CreateWindowButtons(ControlBuilder& builder)
    {
        builder.Build(kWindowButtonRows);
        auto button = [this](int controlId) { return qobject_cast<QPushButton*>(ControlById(controlId)); };
        connect(button(id::kCloseButton), &QPushButton::clicked, this, &MainDialog::reject);
        connect(button(id::kAboutButton), &QPushButton::clicked, this, &MainDialog::ShowAbout);
    }

    void MainDialog::CreateWindowMenuEntries()
    {
        m_aboutAction = new QAction(QString::fromUtf8(kAboutMenuText), this);
        connect(m_aboutAction, &QAction::triggered, this, &MainDialog::ShowAbout);
        m_lineLimitAction = new QAction(QString::fromUtf8(kLineLimitMenuText), this);
        connect(m_lineLimitAction, &QAction::triggered, this, &MainDialog::ChangeLineLimit);
#ifndef Q_OS_WIN
        // Without a system menu of its own to extend, the entries go into the
        // window's context menu.
        addAction(m_aboutAction);
        addAction(m_lineLimitAction);
        setContextMenuPolicy(Qt::ActionsContextMenu);
#endif
    }

    void MainDialog::ChangeLineLimit()
    {
        const QString current = QString::number(settings::ReadLineLimit(m_settings));
        const std::optional<QString> typed =
            m_messageBoxes.AskForText(this, QCoreApplication::applicationName(),
                                      QString::fromUtf8(kLineLimitPrompt), current);
        if (!typed)
            return;
        const std::optional<std::int32_t> limit = ParseLineLimit(*typed);
        if (!limit)
        {
            ShowWarning(QString::fromLatin1(kIntegerMessage));
            return;
        }
        settings::Write(m_settings, settings::kLineLimit, *limit);
    }

    void MainDialog::ShowAbout()
    {
        m_aboutBox.ShowAbout(this);
    }

#ifdef Q_OS_WIN
    void MainDialog::showEvent(QShowEvent* event)
    {
        QDialog::showEvent(event);
        if (m_systemMenuReady)
            return;
        m_systemMenuReady = true;
        HMENU systemMenu = GetSystemMenu(reinterpret_cast<HWND>(winId()), FALSE);
        if (systemMenu == nullptr)
            return;
        const std::wstring text = QString::fromUtf8(kAboutMenuText).toStdWString();
        const std::wstring lineLimitText = QString::fromUtf8(kLineLimitMenuText).toStdWString();
        AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(systemMenu, MF_STRING, control_id::kAboutSystemCommand, text.c_str());
        AppendMenuW(systemMenu, MF_STRING, control_id::kLineLimitSystemCommand, lineLimitText.c_str());
    }

    bool MainDialog::nativeEvent(const QByteArray& eventType, void* message, qintptr* result)
    {
        if (eventType == "windows_generic_MSG")
        {
            const auto* msg = static_cast<const MSG*>(message);
            if (msg->message == WM_SYSCOMMAND && (msg->wParam & 0xFFF0) == control_id::kAboutSystemCommand)
            {
                ShowAbout();
                *result = 0;
                return true;
            }
            if (msg->message == WM_SYSCOMMAND && (msg->wParam & 0xFFF0) == control_id::kLineLimitSystemCommand)
            {
                ChangeLineLimit();
                *result = 0;
                return true;
            }
        }
        return QDialog::nativeEvent(eventType, message, result);
    }
#endif
}
