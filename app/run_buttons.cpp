// The main dialog's run buttons: the two that start a run (domain names or
// name servers), Pause and Abort of the run going, and View Output. What they
// do is job control (job_control.cpp).

#include <QPushButton>

#include "control_ids.h"
#include "control_template.h"
#include "main_dialog.h"

namespace plexor
{
    namespace
    {
        namespace id = control_id;

        // clang-format off
        constexpr ControlTemplate kRunButtonRows[] {
            {id::kExtractDomainsButton, ControlKind::PushButton, 193, 55, 84, 15, "Extract Domain Names", nullptr, "Extract domain names"},
            {id::kExtractNameServersButton, ControlKind::PushButton, 193, 72, 84, 15, "Extract Name Servers", nullptr, "Extract name servers"},
            {id::kPauseButton, ControlKind::PushButton, 231, 92, 46, 13, MainDialog::kPauseCaption, nullptr, "Pause or resume the run"},
            {id::kAbortButton, ControlKind::PushButton, 231, 110, 46, 13, "&Abort", nullptr, "Abort the run"},
            {id::kViewOutputButton, ControlKind::PushButton, 231, 131, 46, 25, "View\nOutput", nullptr, "View output"},
        };
        // clang-format on
    }

    void MainDialog::CreateRunButtons(ControlBuilder& builder)
    {
        builder.Build(kRunButtonRows);
        auto button = [this](int controlId) { return qobject_cast<QPushButton*>(ControlById(controlId)); };
        m_pauseButton = button(id::kPauseButton);
        m_abortButton = button(id::kAbortButton);
        connect(button(id::kExtractDomainsButton), &QPushButton::clicked, this,
                [this] { StartRun(ExtractMode::Domains); });
        connect(button(id::kExtractNameServersButton), &QPushButton::clicked, this,
                [this] { StartRun(ExtractMode::NameServers); });
        connect(m_pauseButton, &QPushButton::clicked, this, &MainDialog::TogglePause);
        connect(m_abortButton, &QPushButton::clicked, this, &MainDialog::AbortRun);
        connect(button(id::kViewOutputButton), &QPushButton::clicked, this, &MainDialog::ViewOutput);
    }
}
