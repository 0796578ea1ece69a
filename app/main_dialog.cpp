// The main dialog's assembly: its blocks of controls, each made in its own
// unit (zone_file_row.cpp, length_block.cpp, filter_block.cpp,
// run_buttons.cpp, window_commands.cpp, progress_row.cpp, comparison_row.cpp,
// lookalike_row.cpp, count_row.cpp),
// one tab order across them, and the exchange of the fields between the
// members, the controls and the settings.

#include "main_dialog.h"

#include <array>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include "about/dialog_units.h"
#include "about/program_texts.h"
#include "control_ids.h"
#include "control_template.h"
#include "dialog_services.h"
#include "integer_field.h"
#include "program_icon.h"
#include "settings_keys.h"
#include "zone_choice.h"
#include "zone_list_run.h"

namespace plexor
{
    namespace
    {
        namespace id = control_id;

        constexpr int kDialogWidth = 283;
        // Below the progress row (y 240 to 250) the comparison rows
        // (comparison_row.cpp), then the look-alike rows (lookalike_row.cpp)
        // and the count rows (count_row.cpp).
        constexpr int kDialogHeight = 385;
        constexpr int kDialogFontPoints = 8;

        // The tab order of the blocks' controls that take the focus; the
        // comparison row follows the last, the look-alike row that, and the
        // count row the look-alike row.
        constexpr std::array kTabOrder {
            id::kOpenZoneButton,       id::kOpenFolderButton, id::kMinCharsEdit,     id::kMaxCharsEdit,
            id::kExcludeCharsEdit,     id::kIncludeWordsEdit, id::kNameServersEdit,
            id::kExtractDomainsButton, id::kExtractNameServersButton,
            id::kPauseButton,          id::kAbortButton,      id::kViewOutputButton,
            id::kCloseButton,          id::kAboutButton,      id::kAppendNameServersCheck,
            id::kZoneTypeCombo,
        };

        enum class ExchangeKind
        {
            Integer,    // decimal text of a number field
            Text,       // text of an edit field or a static text
            Check,      // 0 not ticked, 1 ticked
            ComboIndex, // index of the selected item, -1 for none
            ZonePath    // the zone path: the one zone file, or what stands for several
        };

        using Fields = MainDialog::Fields;

        struct FieldExchange
        {
            int controlId;
            ExchangeKind kind;
            std::int32_t Fields::*number;
            QString Fields::*text;
        };

        // ReadFields and WriteFields go through this list in this order.
        constexpr std::array kFieldExchange {
            FieldExchange {id::kMaxCharsEdit, ExchangeKind::Integer, &Fields::maxChars, nullptr},
            FieldExchange {id::kMinCharsEdit, ExchangeKind::Integer, &Fields::minChars, nullptr},
            FieldExchange {id::kNameServersEdit, ExchangeKind::Text, nullptr, &Fields::nameServerText},
            FieldExchange {id::kIncludeWordsEdit, ExchangeKind::Text, nullptr, &Fields::includeWordsText},
            FieldExchange {id::kExcludeCharsEdit, ExchangeKind::Text, nullptr, &Fields::excludedChars},
            FieldExchange {id::kStatusLine, ExchangeKind::Text, nullptr, &Fields::statusText},
            FieldExchange {id::kZoneFileName, ExchangeKind::ZonePath, nullptr, &Fields::zoneFileName},
            FieldExchange {id::kAppendNameServersCheck, ExchangeKind::Check, &Fields::appendNameServers, nullptr},
            FieldExchange {id::kZoneTypeCombo, ExchangeKind::ComboIndex, &Fields::zoneType, nullptr},
        };

        QString ControlText(QWidget* control)
        {
            if (auto* edit = qobject_cast<QLineEdit*>(control))
                return edit->text();
            if (auto* label = qobject_cast<QLabel*>(control))
                return label->text();
            return QString();
        }

        // The dialog's font: Arial, else a font with Arial's metrics (the
        // layout is made for them), else the platform's general font.
        QFont DialogFont()
        {
            for (const char* family : {"Arial", "Liberation Sans", "Arimo", "Nimbus Sans"})
            {
                const QString name = QString::fromLatin1(family);
                if (QFontDatabase::hasFamily(name))
                    return TemplateFont(name, kDialogFontPoints);
            }
            return TemplateFont(QStringLiteral("Arial"), kDialogFontPoints);
        }
    }

    MainDialog::MainDialog(const MainDialogServices& services, QWidget* parent)
        : QDialog(parent)
        , m_settings(services.settings)
        , m_fileDialogs(services.fileDialogs)
        , m_messageBoxes(services.messageBoxes)
        , m_desktop(services.desktop)
        , m_aboutBox(services.aboutBox)
    {
        LoadSettings();
        m_icon = ProgramIcon();

        setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                       | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
        CreateControls();
        setAcceptDrops(true);

        // Initialisation: fill the controls, the About and Line Limit
        // entries, the icon, the refresh timer, the run controls and the
        // title.
        WriteFields();
        CreateWindowMenuEntries();
        setWindowIcon(m_icon);

        m_refreshTimer = new QTimer(this);
        m_refreshTimer->setInterval(kRefreshIntervalMs);
        connect(m_refreshTimer, &QTimer::timeout, this, &MainDialog::RefreshRunControls);
        m_refreshTimer->start();
        RefreshRunControls();

        setWindowTitle(QString::fromStdString(ProductName()));
        ControlById(id::kOpenZoneButton)->setFocus();
    }

    void MainDialog::LoadSettings()
    {
        using namespace settings;
        m_fields.maxChars = Read(m_settings, kMaxChars);
        m_fields.minChars = Read(m_settings, kMinChars);
        m_fields.nameServerText = Read(m_settings, kNameServerList);
        m_fields.includeWordsText = Read(m_settings, kIncludeWords);
        m_fields.excludedChars = Read(m_settings, kExcludeChars);
        m_fields.zoneFileName = Read(m_settings, kZoneFileName);
        m_zoneChoice = ReadZoneChoice(m_settings);
        m_fields.appendNameServers = Read(m_settings, kAppendNameServers);
        m_fields.zoneType = Read(m_settings, kZoneType);
        m_outputPath = Read(m_settings, kOutputFile);
        m_comparison.enabled = Read(m_settings, kCompareWithOlder) != 0;
        m_comparison.olderZoneFileName = Read(m_settings, kOlderZoneFileName);
        m_comparison.writes = ReadComparisonWrites(m_settings);
        m_lookalike.terms = Read(m_settings, kLookalikeTerms);
        m_lookalike.exceptions = Read(m_settings, kLookalikeExceptions);
        m_lookalike.distance = ReadLookalikeDistance(m_settings);
        m_lookalike.form = ReadOutputForm(m_settings);
        m_count.by = ReadCountBy(m_settings);
        m_count.providerMap = Read(m_settings, kProviderMapFile);
    }

    void MainDialog::CreateControls()
    {
        const QFont dialogFont = DialogFont();
        setFont(dialogFont);
        const DialogUnits units(dialogFont);
        setFixedSize(units.ToPixels(kDialogWidth, kDialogHeight));

        ControlBuilder builder(*this, units, m_controls);
        CreateZoneFileRow(builder);
        CreateLengthBlock(builder);
        CreateFilterBlock(builder);
        CreateRunButtons(builder);
        CreateWindowButtons(builder);
        CreateStatusAndProgressRows(builder);

        QWidget* previousFocusable = nullptr;
        for (const int controlId : kTabOrder)
        {
            QWidget* widget = ControlById(controlId);
            if (previousFocusable != nullptr)
                setTabOrder(previousFocusable, widget);
            previousFocusable = widget;
        }
        CreateComparisonControls(units, previousFocusable);
        CreateLookalikeControls(units, ControlById(id::kOpenOlderZoneButton));
        CreateCountControls(units, ControlById(id::kOutputFormCombo));

        // The group boxes only frame; they stay behind the controls they
        // frame.
        for (QGroupBox* group : findChildren<QGroupBox*>(QString(), Qt::FindDirectChildrenOnly))
            group->lower();
    }

    QWidget* MainDialog::ControlById(int controlId) const
    {
        const auto found = m_controls.find(controlId);
        return found != m_controls.end() ? found->second : nullptr;
    }

    bool MainDialog::ReadFields()
    {
        return ReadFieldsFrom(true);
    }

    bool MainDialog::ReadFieldsFrom(bool stopAtInvalid)
    {
        for (const FieldExchange& field : kFieldExchange)
        {
            QWidget* control = ControlById(field.controlId);
            switch (field.kind)
            {
            case ExchangeKind::Integer:
            {
                auto* edit = qobject_cast<QLineEdit*>(control);
                const std::optional<std::int32_t> value = ParseIntegerField(edit->text().toStdString());
                if (!value && !stopAtInvalid)
                    break; // keeps the member's value
                if (!value)
                {
                    ShowWarning(QString::fromLatin1(kIntegerMessage));
                    edit->setFocus();
                    edit->selectAll();
                    return false;
                }
                m_fields.*field.number = *value;
                break;
            }
            case ExchangeKind::Text:
                m_fields.*field.text = ControlText(control);
                break;
            case ExchangeKind::ZonePath:
                // With several zone files the path shows their count; the
                // member keeps the first.
                if (!m_zoneChoice.IsList())
                    m_fields.*field.text = ControlText(control);
                break;
            case ExchangeKind::Check:
                m_fields.*field.number = qobject_cast<QCheckBox*>(control)->isChecked() ? 1 : 0;
                break;
            case ExchangeKind::ComboIndex:
                m_fields.*field.number = qobject_cast<QComboBox*>(control)->currentIndex();
                break;
            }
        }
        return true;
    }

    void MainDialog::WriteFields()
    {
        for (const FieldExchange& field : kFieldExchange)
        {
            QWidget* control = ControlById(field.controlId);
            switch (field.kind)
            {
            case ExchangeKind::Integer:
                SetControlText(control, QString::number(m_fields.*field.number));
                break;
            case ExchangeKind::Text:
                SetControlText(control, m_fields.*field.text);
                break;
            case ExchangeKind::ZonePath:
                SetControlText(control, ZonePathText());
                break;
            case ExchangeKind::Check:
                qobject_cast<QCheckBox*>(control)->setChecked(m_fields.*field.number != 0);
                break;
            case ExchangeKind::ComboIndex:
            {
                qobject_cast<QComboBox*>(control)->setCurrentIndex(ZoneTypeItem(m_fields.*field.number));
                break;
            }
            }
        }
    }

    void MainDialog::reject()
    {
        CloseDialog();
    }

    void MainDialog::CloseDialog()
    {
        if (IsRunActive())
        {
            ShowWarning(QStringLiteral("Processing in progress!"));
            return;
        }

        // What the window shows is what is kept; a number field that holds
        // no integer keeps the value it had.
        ReadFieldsFrom(false);
        using namespace settings;
        Write(m_settings, kMaxChars, m_fields.maxChars);
        Write(m_settings, kMinChars, m_fields.minChars);
        Write(m_settings, kNameServerList, m_fields.nameServerText);
        Write(m_settings, kIncludeWords, m_fields.includeWordsText);
        Write(m_settings, kExcludeChars, m_fields.excludedChars);
        Write(m_settings, kOutputFile, m_outputPath);
        Write(m_settings, kAppendNameServers, m_fields.appendNameServers);
        Write(m_settings, kZoneType, m_fields.zoneType);
        SaveComparisonSettings();
        SaveLookalikeSettings();
        SaveCountSettings();
        QDialog::reject();
    }

    void MainDialog::ShowWarning(const QString& text)
    {
        m_messageBoxes.ShowWarning(this, QCoreApplication::applicationName(), text);
    }
}
