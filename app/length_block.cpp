// The main dialog's length block, "Extract Names that have": the shortest and
// the longest name to write, each a number field with arrows.

#include "control_ids.h"
#include "control_template.h"
#include "main_dialog.h"
#include "up_down_control.h"

namespace plexor
{
    namespace
    {
        namespace id = control_id;

        // clang-format off
        constexpr ControlTemplate kLengthRows[] {
            {kNoControlId, ControlKind::GroupBox, 5, 22, 183, 65, "Extract Names that have", "lengthGroup", "Extract names that have"},
            {kNoControlId, ControlKind::Label, 14, 41, 50, 8, "Not less than", "minCharsLabel", "Not less than"},
            {id::kMinCharsEdit, ControlKind::Edit, 75, 38, 28, 15, "", nullptr, "Not less than, characters"},
            {id::kMinCharsArrows, ControlKind::UpDown, 101, 37, 11, 16, nullptr, nullptr, "Not less than, step"},
            {kNoControlId, ControlKind::Label, 126, 41, 50, 8, "characters", "minCharsUnitLabel", "characters"},
            {kNoControlId, ControlKind::Label, 13, 63, 50, 8, "Not more than", "maxCharsLabel", "Not more than"},
            {id::kMaxCharsEdit, ControlKind::Edit, 75, 60, 28, 15, "", nullptr, "Not more than, characters"},
            {id::kMaxCharsArrows, ControlKind::UpDown, 101, 59, 11, 16, nullptr, nullptr, "Not more than, step"},
            {kNoControlId, ControlKind::Label, 125, 63, 50, 8, "characters", "maxCharsUnitLabel", "characters"},
        };
        // clang-format on
    }

    void MainDialog::CreateLengthBlock(ControlBuilder& builder)
    {
        builder.Build(kLengthRows);
        m_minCharsArrows = qobject_cast<UpDownControl*>(ControlById(id::kMinCharsArrows));
        m_maxCharsArrows = qobject_cast<UpDownControl*>(ControlById(id::kMaxCharsArrows));
        m_minCharsArrows->SetRange(kArrowLower, kArrowUpper);
        m_maxCharsArrows->SetRange(kArrowLower, kArrowUpper);
    }
}
