// The main dialog's zone file row: the path of the zone file (or what stands
// for several), Open Zone (one file or several), Open Folder (a folder's zone
// files), and the zone layout box beneath Open Zone.

#include <array>

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>

#include "about/dialog_units.h"
#include "control_ids.h"
#include "control_template.h"
#include "elided_label.h"
#include "main_dialog.h"
#include "settings_keys.h"
#include "zone_choice.h"

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
            {id::kOpenFolderButton, ControlKind::PushButton, 231, 163, 46, 25, "Open\n&Folder", nullptr, "Open a folder of zone files"},
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
        connect(qobject_cast<QPushButton*>(ControlById(id::kOpenFolderButton)), &QPushButton::clicked, this,
                &MainDialog::OpenZoneFolder);

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
        QStringList paths;
        if (!PromptForFiles(paths, QString::fromLatin1(kZoneFileFilter), QString::fromLatin1(kZoneFileExtension)))
            return;
        if (paths.size() == 1)
        {
            TakeZoneFile(paths.front());
            return;
        }
        TakeZoneChoice(ZoneChoice {paths, QString()});
    }

    void MainDialog::OpenZoneFolder()
    {
        QString folder;
        if (!PromptForFolder(folder, QString::fromLatin1(kZoneFileExtension)))
            return;
        QString error;
        const QStringList files = ListZoneFolderFiles(folder, error);
        if (files.isEmpty())
        {
            ShowWarning(QStringLiteral("Error: %1").arg(error));
            return;
        }
        TakeZoneChoice(ZoneChoice {files, folder});
    }

    QString MainDialog::ZonePathText() const
    {
        return m_zoneChoice.IsList() ? ZoneChoiceText(m_zoneChoice) : m_fields.zoneFileName;
    }

    void MainDialog::TakeZoneFile(const QString& path)
    {
        // A file that is there to be read; choosing does not open it, and a
        // pipe might block an open.
        const QFileInfo chosen(path);
        if (chosen.isFile() && chosen.isReadable())
            RememberFolderOf(path, QString::fromLatin1(kZoneFileExtension));
        const bool wasList = m_zoneChoice.IsList();
        m_zoneChoice = ZoneChoice {QStringList {path}, QString()};
        ShowZoneChoice();
        settings::Write(m_settings, settings::kZoneFileName, path);
        // Only after several were chosen, so that one file's choice writes
        // what it always wrote.
        if (wasList)
            WriteZoneChoice(m_settings, m_zoneChoice);
    }

    void MainDialog::TakeZoneChoice(const ZoneChoice& choice)
    {
        m_zoneChoice = choice;
        // The file dialog opens next where the files are.
        RememberFolderOf(choice.files.front(), QString::fromLatin1(kZoneFileExtension));
        ShowZoneChoice();
        WriteZoneChoice(m_settings, m_zoneChoice);
    }

    void MainDialog::ShowZoneChoice()
    {
        const bool fieldsRead = ReadFields();
        m_fields.zoneFileName = m_zoneChoice.files.value(0);
        if (fieldsRead)
        {
            WriteFields();
        }
        else
        {
            // A field that does not hold an integer keeps what the user
            // typed, and so do the fields after it; only the zone file
            // changes.
            SetControlText(m_zoneFileLabel, ZonePathText());
        }
    }
}
