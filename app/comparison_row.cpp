// The main dialog's comparison row: a run can compare the zone file with an
// older one and write the new or the dropped names. Off, the dialog and its
// runs are what they are without the row.

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QPushButton>

#include "about/dialog_units.h"
#include "control_ids.h"
#include "elided_label.h"
#include "file_paths.h"
#include "main_dialog.h"
#include "extraction/run_messages.h"
#include "settings_keys.h"

namespace plexor
{
    namespace
    {
        namespace id = control_id;

        // In dialog units, below the status line and the progress row; the
        // dialog's height (main_dialog.cpp) leaves room for both rows.
        constexpr int kCompareRowY = 257;
        constexpr int kOlderPathRowY = 273;

        // The items of the changes box, in this order.
        constexpr const char* kNewNamesItem = "New names";
        constexpr const char* kDroppedNamesItem = "Dropped names";
        constexpr char kOlderZoneFileTitle[] = "Older Zone File";
    }

    void MainDialog::CreateComparisonControls(const DialogUnits& units, QWidget* previousFocusable)
    {
        m_compareCheck = new QCheckBox(QStringLiteral("Co&mpare with an older zone file:"), this);
        m_compareCheck->setGeometry(units.ToPixels(5, kCompareRowY + 1, 140, 11));
        m_compareCheck->setAccessibleName(QStringLiteral("Compare with an older zone file"));
        m_compareCheck->setToolTip(
            QStringLiteral("Write only the names that changed between the older zone file and the zone file, read "
                           "with the same settings. Both files are read whole (no line limit)."));

        m_changesCombo = new QComboBox(this);
        m_changesCombo->addItem(QString::fromLatin1(kNewNamesItem));
        m_changesCombo->addItem(QString::fromLatin1(kDroppedNamesItem));
        m_changesCombo->setItemData(0, QStringLiteral("Names of the zone file that the older file lacks"),
                                    Qt::ToolTipRole);
        m_changesCombo->setItemData(1, QStringLiteral("Names of the older file that the zone file lacks"),
                                    Qt::ToolTipRole);
        const QRect comboRect = units.ToPixels(148, kCompareRowY, 76, 12);
        m_changesCombo->setGeometry(comboRect.x(), comboRect.y(), comboRect.width(),
                                    std::max(comboRect.height(), m_changesCombo->sizeHint().height()));
        m_changesCombo->setAccessibleName(QStringLiteral("Comparison writes"));

        auto* openOlder = new QPushButton(QStringLiteral("Open Older"), this);
        openOlder->setAutoDefault(false);
        openOlder->setDefault(false);
        openOlder->setGeometry(units.ToPixels(231, kCompareRowY - 1, 46, 13));
        openOlder->setAccessibleName(QStringLiteral("Open older zone file"));

        m_olderZoneFileLabel = new ElidedLabel(this);
        m_olderZoneFileLabel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        m_olderZoneFileLabel->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
        m_olderZoneFileLabel->setIndent(2);
        m_olderZoneFileLabel->setGeometry(units.ToPixels(6, kOlderPathRowY, 270, 10));
        m_olderZoneFileLabel->setAccessibleName(QStringLiteral("Older zone file"));

        const std::pair<int, QWidget*> controls[] = {{id::kCompareCheck, m_compareCheck},
                                                     {id::kChangesCombo, m_changesCombo},
                                                     {id::kOpenOlderZoneButton, openOlder},
                                                     {id::kOlderZoneFileName, m_olderZoneFileLabel}};
        for (const auto& [controlId, widget] : controls)
        {
            widget->setObjectName(ControlObjectName(controlId));
            m_controls.emplace(controlId, widget);
        }
        setTabOrder(previousFocusable, m_compareCheck);
        setTabOrder(m_compareCheck, m_changesCombo);
        setTabOrder(m_changesCombo, openOlder);

        m_compareCheck->setChecked(m_comparison.enabled);
        m_changesCombo->setCurrentIndex(m_comparison.writes == ZoneChanges::DroppedNames ? 1 : 0);
        m_olderZoneFileLabel->setText(m_comparison.olderZoneFileName);
        m_olderZoneFileLabel->setToolTip(m_comparison.olderZoneFileName);
        const auto enableChoices = [this, openOlder](bool on) {
            m_changesCombo->setEnabled(on);
            openOlder->setEnabled(on);
            m_olderZoneFileLabel->setEnabled(on);
        };
        enableChoices(m_comparison.enabled);
        connect(m_compareCheck, &QCheckBox::toggled, this, enableChoices);
        connect(openOlder, &QPushButton::clicked, this, &MainDialog::OpenOlderZone);
    }

    void MainDialog::OpenOlderZone()
    {
        QString path;
        if (!PromptForFile(true, path, QString::fromLatin1(kZoneFileFilter), QString::fromLatin1(kZoneFileExtension),
                           QString::fromLatin1(kOlderZoneFileTitle)))
            return;
        const QFileInfo chosen(path);
        if (chosen.isFile() && chosen.isReadable())
            RememberFolderOf(path, QString::fromLatin1(kZoneFileExtension));
        m_comparison.olderZoneFileName = path;
        m_olderZoneFileLabel->setText(path);
        m_olderZoneFileLabel->setToolTip(path);
        settings::Write(m_settings, settings::kOlderZoneFileName, path);
    }

    MainDialog::Comparison MainDialog::CurrentComparison() const
    {
        Comparison comparison = m_comparison;
        comparison.enabled = m_compareCheck->isChecked();
        comparison.writes = m_changesCombo->currentIndex() == 1 ? ZoneChanges::DroppedNames : ZoneChanges::NewNames;
        return comparison;
    }

    void MainDialog::SaveComparisonSettings()
    {
        m_comparison = CurrentComparison();
        settings::Write(m_settings, settings::kCompareWithOlder, m_comparison.enabled ? 1 : 0);
        settings::Write(m_settings, settings::kComparisonWrites, static_cast<std::int32_t>(m_comparison.writes));
    }

    bool MainDialog::OpenOlderZoneForRun(const Comparison& comparison)
    {
        if (comparison.olderZoneFileName.isEmpty())
        {
            ShowWarning(QStringLiteral("Please specify the older zone file."));
            return false;
        }
        if (!m_olderZoneFile.Open(ToFilesystemPath(comparison.olderZoneFileName)))
        {
            ShowWarning(QString::fromStdString(UnableToOpenMessage(comparison.olderZoneFileName.toStdString(),
                                                                   SystemReason(m_olderZoneFile.Error()))));
            return false;
        }
        return true;
    }

    ZoneChanges MainDialog::RunChanges() const
    {
        return m_activeRunChanges;
    }

    ZoneLineReader* MainDialog::OlderZoneFile()
    {
        return m_activeRunChanges != ZoneChanges::None ? &m_olderZoneFile : nullptr;
    }
}
