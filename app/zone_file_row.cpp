// The main dialog's zone file row: the path of the zone file, Open Zone, and
// the zone layout box beneath it.

#include <array>

#include <QComboBox>
#include <QFileInfo>
#include <QPushButton>

#include "about/dialog_units.h"
#include "control_ids.h"
#include "control_template.h"
#include "elided_label.h"
#include "main_dialog.h"
#include "settings_keys.h"

namespace plexor
{
    namespace
    {
        namespace id = control_id;

        // clang-format off
        constexpr ControlTemplate kZoneFileRows[] {
            {id::kZoneFileName, ControlKind::ZoneFileText, 6, 6, 270, 10, "Zone File Name", nullptr, "Zone file"},
            {id::kOpenZoneButton, ControlKind::PushButton, 193, 22, 84, 13, "Open Zone", nullptr, "Open zone file"},
            {id::kZoneTypeCombo, ControlKind::ComboBox, 193, 39, 84, 12, nullptr, nullptr, "Zone layout"},
        };
        // clang-format on

        // The items of the zone-type box, in ZoneType order.
        constexpr std::array kZoneTypeItems {"Com,Net,Edu Zone", "Se Zone", "Standard Zone"};
        constexpr int kMasterZoneItem = 2;
        constexpr char kMasterZoneToolTip[] =
            "A standard master file (RFC 1035), one record per line: ICANN CZDS zone files "
            "(.com and every other gTLD) and zone transfers (dig AXFR output).";
    }

    void MainDialog::CreateZoneFileRow(ControlBuilder& builder)
    {
        builder.Build(kZoneFileRows);
        m_zoneFileLabel = qobject_cast<ElidedLabel*>(ControlById(id::kZoneFileName));
        connect(qobject_cast<QPushButton*>(ControlById(id::kOpenZoneButton)), &QPushButton::clicked, this,
                &MainDialog::OpenZone);

        m_zoneTypeCombo = qobject_cast<QComboBox*>(ControlById(id::kZoneTypeCombo));
        QComboBox* combo = m_zoneTypeCombo;
        for (const char* item : kZoneTypeItems)
            combo->addItem(QString::fromUtf8(item));
        combo->setItemData(kMasterZoneItem, QString::fromUtf8(kMasterZoneToolTip), Qt::ToolTipRole);
        // The closed box shows the tooltip of the item it shows.
        connect(combo, &QComboBox::currentIndexChanged, combo, [combo](int index) {
            combo->setToolTip(combo->itemData(index, Qt::ToolTipRole).toString());
        });
        // Placed again now that it has its items.
        const ControlTemplate& row = kZoneFileRows[2];
        PlaceComboBox(combo, builder.Units().ToPixels(row.x, row.y, row.width, row.height));
    }

    int MainDialog::ZoneTypeItem(std::int32_t zoneType)
    {
        // 0 and 2 show their own item, every other value the .SE item, which
        // is what the worker runs for it.
        if (zoneType == static_cast<std::int32_t>(ZoneType::Gtld))
            return 0;
        if (zoneType == static_cast<std::int32_t>(ZoneType::Master))
            return kMasterZoneItem;
        return 1;
    }

    void MainDialog::OpenZone()
    {
        QString path;
        if (!PromptForFile(true, path, QString::fromLatin1(kZoneFileFilter), QString::fromLatin1(kZoneFileExtension),
                           QString()))
            return;

        TakeZoneFile(path);
    }

    void MainDialog::TakeZoneFile(const QString& path)
    {
        // A file that is there to be read; choosing does not open it, and a
        // pipe might block an open.
        const QFileInfo chosen(path);
        if (chosen.isFile() && chosen.isReadable())
            RememberFolderOf(path, QString::fromLatin1(kZoneFileExtension));

        const bool fieldsRead = ReadFields();
        m_fields.zoneFileName = path;
        if (fieldsRead)
        {
            WriteFields();
        }
        else
        {
            // A field that does not hold an integer keeps what the user
            // typed, and so do the fields after it; only the zone file
            // changes.
            SetControlText(m_zoneFileLabel, path);
        }
        settings::Write(m_settings, settings::kZoneFileName, path);
    }
}
