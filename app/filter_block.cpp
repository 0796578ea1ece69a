// The main dialog's filter block: the characters that rule a name out, the
// words and the name servers that pick names, and whether the name servers
// are written after each domain.

#include <QCheckBox>

#include "control_ids.h"
#include "control_template.h"
#include "main_dialog.h"

namespace plexor
{
    namespace
    {
        namespace id = control_id;

        // clang-format off
        constexpr ControlTemplate kFilterRows[] {
            {kNoControlId, ControlKind::GroupBox, 5, 89, 219, 129, "", "filterGroup", "Name filters"},
            {kNoControlId, ControlKind::Label, 11, 97, 203, 8, "Ignore names that contain any of (alphabets, digits)", "excludeCharsLabel", "Ignore names that contain any of"},
            {id::kExcludeCharsEdit, ControlKind::Edit, 11, 110, 203, 12, "", nullptr, "Ignore names that contain any of (alphabets, digits)"},
            {kNoControlId, ControlKind::Label, 11, 130, 203, 8, "Extract names that contain any of (comma separated list)", "includeWordsLabel", "Extract names that contain any of"},
            {id::kIncludeWordsEdit, ControlKind::Edit, 11, 143, 203, 12, "", nullptr, "Extract names that contain any of (comma separated list)"},
            {kNoControlId, ControlKind::Label, 11, 164, 203, 8, "Extract names that use name servers (comma separated list)", "nameServersLabel", "Extract names that use name servers"},
            {id::kNameServersEdit, ControlKind::Edit, 11, 177, 203, 12, "", nullptr, "Extract names that use name servers (comma separated list)"},
            {id::kAppendNameServersCheck, ControlKind::CheckBox, 11, 198, 203, 11, "&Append name servers to extracted domain names", nullptr, "Append name servers to extracted domain names"},
        };
        // clang-format on
    }

    void MainDialog::CreateFilterBlock(ControlBuilder& builder)
    {
        builder.Build(kFilterRows);
        m_appendCheck = qobject_cast<QCheckBox*>(ControlById(id::kAppendNameServersCheck));
    }
}
