#include "main_dialog.h"

#include <algorithm>
#include <array>
#include <limits>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

#include "about/dialog_units.h"
#include "about/program_texts.h"
#include "control_ids.h"
#include "dialog_services.h"
#include "elided_label.h"
#include "file_filters.h"
#include "file_paths.h"
#include "integer_field.h"
#include "program_icon.h"
#include "settings_keys.h"
#include "up_down_control.h"

namespace plexor
{
    namespace
    {
        namespace id = control_id;

        enum class ControlKind
        {
            ZoneFileText, // sunken, centred
            StatusText,   // sunken, left-aligned
            PushButton,
            GroupBox,
            Label,
            Edit,
            UpDown,
            CheckBox,
            ComboBox
        };

        // The dialog's controls in template order, which is also their tab
        // order. Rectangles are x, y, width, height in dialog units.
        struct ControlTemplate
        {
            int id; // -1: an unnamed label or frame
            ControlKind kind;
            int x;
            int y;
            int width;
            int height;
            const char* text;
            const char* objectName; // for controls without an id
            const char* accessibleName;
        };

        constexpr int kNoId = -1;

        // clang-format off
        constexpr std::array kDialogTemplate {
            ControlTemplate {id::kZoneFileName, ControlKind::ZoneFileText, 6, 6, 270, 10, "Zone File Name", nullptr, "Zone file"},
            ControlTemplate {id::kOpenZoneButton, ControlKind::PushButton, 193, 22, 84, 13, "Open Zone", nullptr, "Open zone file"},
            ControlTemplate {kNoId, ControlKind::GroupBox, 5, 22, 183, 65, "Extract Names that have", "lengthGroup", "Extract names that have"},
            ControlTemplate {kNoId, ControlKind::Label, 14, 41, 50, 8, "Not less than", "minCharsLabel", "Not less than"},
            ControlTemplate {id::kMinCharsEdit, ControlKind::Edit, 75, 38, 28, 15, "", nullptr, "Not less than, characters"},
            ControlTemplate {id::kMinCharsArrows, ControlKind::UpDown, 101, 37, 11, 16, nullptr, nullptr, "Not less than, step"},
            ControlTemplate {kNoId, ControlKind::Label, 126, 41, 50, 8, "characters", "minCharsUnitLabel", "characters"},
            ControlTemplate {kNoId, ControlKind::Label, 13, 63, 50, 8, "Not more than", "maxCharsLabel", "Not more than"},
            ControlTemplate {id::kMaxCharsEdit, ControlKind::Edit, 75, 60, 28, 15, "", nullptr, "Not more than, characters"},
            ControlTemplate {id::kMaxCharsArrows, ControlKind::UpDown, 101, 59, 11, 16, nullptr, nullptr, "Not more than, step"},
            ControlTemplate {kNoId, ControlKind::Label, 125, 63, 50, 8, "characters", "maxCharsUnitLabel", "characters"},
            ControlTemplate {kNoId, ControlKind::GroupBox, 5, 89, 219, 129, "", "filterGroup", "Name filters"},
            ControlTemplate {kNoId, ControlKind::Label, 11, 97, 203, 8, "Ignore names that contain any of (alphabets, digits)", "excludeCharsLabel", "Ignore names that contain any of"},
            ControlTemplate {id::kExcludeCharsEdit, ControlKind::Edit, 11, 110, 203, 12, "", nullptr, "Ignore names that contain any of (alphabets, digits)"},
            ControlTemplate {kNoId, ControlKind::Label, 11, 130, 203, 8, "Extract names that contain any of (comma separated list)", "includeWordsLabel", "Extract names that contain any of"},
            ControlTemplate {id::kIncludeWordsEdit, ControlKind::Edit, 11, 143, 203, 12, "", nullptr, "Extract names that contain any of (comma separated list)"},
            ControlTemplate {kNoId, ControlKind::Label, 11, 164, 203, 8, "Extract names that use name servers (comma separated list)", "nameServersLabel", "Extract names that use name servers"},
            ControlTemplate {id::kNameServersEdit, ControlKind::Edit, 11, 177, 203, 12, "", nullptr, "Extract names that use name servers (comma separated list)"},
            ControlTemplate {id::kExtractDomainsButton, ControlKind::PushButton, 193, 55, 84, 15, "Extract Domain Names", nullptr, "Extract domain names"},
            ControlTemplate {id::kExtractNameServersButton, ControlKind::PushButton, 193, 72, 84, 15, "Extract Name Servers", nullptr, "Extract name servers"},
            ControlTemplate {id::kPauseButton, ControlKind::PushButton, 231, 92, 46, 13, MainDialog::kPauseCaption, nullptr, "Pause or resume the run"},
            ControlTemplate {id::kAbortButton, ControlKind::PushButton, 231, 110, 46, 13, "&Abort", nullptr, "Abort the run"},
            ControlTemplate {id::kViewOutputButton, ControlKind::PushButton, 231, 131, 46, 25, "View\nOutput", nullptr, "View output"},
            ControlTemplate {id::kCloseButton, ControlKind::PushButton, 231, 223, 46, 13, "&Close", nullptr, "Close"},
            ControlTemplate {id::kStatusLine, ControlKind::StatusText, 5, 225, 219, 11, "", nullptr, "Run status"},
            ControlTemplate {id::kAboutButton, ControlKind::PushButton, 231, 198, 46, 13, "&About...", nullptr, "About Plexor2"},
            ControlTemplate {id::kAppendNameServersCheck, ControlKind::CheckBox, 11, 198, 203, 11, "&Append name servers to extracted domain names", nullptr, "Append name servers to extracted domain names"},
            ControlTemplate {id::kZoneTypeCombo, ControlKind::ComboBox, 193, 39, 84, 12, nullptr, nullptr, "Zone layout"},
        };
        // clang-format on

        // The progress row under the status line: the bar with the
        // percentage of the zone file read, and beside it the time left (x,
        // y, width, height in dialog units, as the template).
        constexpr int kProgressRow[] = {5, 240, 219, 10};
        constexpr int kTimeLeftRow[] = {231, 240, 46, 10};
        constexpr char kProgressBarName[] = "Run progress";
        constexpr char kTimeLeftName[] = "Time left";

        constexpr int kDialogWidth = 283;
        // Below the progress row (y 240 to 250) the comparison rows
        // (comparison_row.cpp).
        constexpr int kDialogHeight = 289;
        constexpr int kDialogFontPoints = 8;

        // The items of the zone-type box, in ZoneType order.
        constexpr std::array kZoneTypeItems {"Com,Net,Edu Zone", "Se Zone", "Standard Zone"};
        constexpr int kMasterZoneItem = 2;
        constexpr char kMasterZoneToolTip[] =
            "A standard master file (RFC 1035), one record per line: ICANN CZDS zone files "
            "(.com and every other gTLD) and zone transfers (dig AXFR output).";

        // The item that shows a stored zone type: 0 and 2 their own, every
        // other value the .SE item, which is what the worker runs for it.
        int ZoneTypeItem(std::int32_t zoneType)
        {
            if (zoneType == static_cast<std::int32_t>(ZoneType::Gtld))
                return 0;
            if (zoneType == static_cast<std::int32_t>(ZoneType::Master))
                return kMasterZoneItem;
            return 1;
        }

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

        enum class ExchangeKind
        {
            Integer,    // decimal text of a number field
            Text,       // text of an edit field or a static text
            Check,      // 0 not ticked, 1 ticked
            ComboIndex  // index of the selected item, -1 for none
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
            FieldExchange {id::kZoneFileName, ExchangeKind::Text, nullptr, &Fields::zoneFileName},
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

        void SetControlText(QWidget* control, const QString& text)
        {
            if (auto* edit = qobject_cast<QLineEdit*>(control))
                edit->setText(text);
            else if (auto* label = qobject_cast<ElidedLabel*>(control))
            {
                label->setText(text);
                label->setToolTip(text);
            }
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

        QString WithoutMnemonic(const char* text)
        {
            QString plain = QString::fromUtf8(text);
            plain.remove(QLatin1Char('&'));
            return plain;
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
        CreateProgressControls();
        setAcceptDrops(true);

        // Initialisation: fill the controls, the About entry, the icon, the
        // arrow ranges, the refresh timer, the run controls and the title.
        WriteFields();

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

        setWindowIcon(m_icon);
        m_minCharsArrows->SetRange(kArrowLower, kArrowUpper);
        m_maxCharsArrows->SetRange(kArrowLower, kArrowUpper);

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
        m_fields.appendNameServers = Read(m_settings, kAppendNameServers);
        m_fields.zoneType = Read(m_settings, kZoneType);
        m_outputPath = Read(m_settings, kOutputFile);
        m_comparison.enabled = Read(m_settings, kCompareWithOlder) != 0;
        m_comparison.olderZoneFileName = Read(m_settings, kOlderZoneFileName);
        m_comparison.writes = ReadComparisonWrites(m_settings);
    }

    void MainDialog::CreateControls()
    {
        const QFont dialogFont = DialogFont();
        setFont(dialogFont);
        const DialogUnits units(dialogFont);
        setFixedSize(units.ToPixels(kDialogWidth, kDialogHeight));

        QWidget* previousFocusable = nullptr;
        QLineEdit* lastEdit = nullptr;
        for (const ControlTemplate& control : kDialogTemplate)
        {
            const QRect rect = units.ToPixels(control.x, control.y, control.width, control.height);
            const QString text = control.text != nullptr ? QString::fromUtf8(control.text) : QString();
            QWidget* widget = nullptr;
            switch (control.kind)
            {
            case ControlKind::ZoneFileText:
            case ControlKind::StatusText:
            {
                auto* label = new ElidedLabel(this);
                label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
                label->setAlignment((control.kind == ControlKind::ZoneFileText ? Qt::AlignHCenter : Qt::AlignLeft)
                                    | Qt::AlignVCenter);
                label->setIndent(2);
                label->setText(text);
                widget = label;
                break;
            }
            case ControlKind::PushButton:
            {
                auto* button = new QPushButton(text, this);
                // No button is the default: Enter in a field starts nothing.
                button->setAutoDefault(false);
                button->setDefault(false);
                widget = button;
                break;
            }
            case ControlKind::GroupBox:
                widget = new QGroupBox(text, this);
                break;
            case ControlKind::Label:
            {
                auto* label = new QLabel(text, this);
                label->setTextFormat(Qt::PlainText);
                widget = label;
                break;
            }
            case ControlKind::Edit:
                lastEdit = new QLineEdit(this);
                lastEdit->installEventFilter(this);
                // Qt would cut a longer text at 32767 characters, and what a
                // field shows is what Close keeps.
                lastEdit->setMaxLength(std::numeric_limits<int>::max());
                widget = lastEdit;
                break;
            case ControlKind::UpDown:
            {
                // Attached to the field before it, at that field's right edge:
                // the field gives up the room the arrows take.
                auto* arrows = new UpDownControl(this);
                const int arrowWidth = rect.width();
                if (lastEdit != nullptr)
                {
                    const QRect field = lastEdit->geometry();
                    lastEdit->setGeometry(field.adjusted(0, 0, -arrowWidth, 0));
                    arrows->setGeometry(field.right() + 1 - arrowWidth, field.top(), arrowWidth, field.height());
                    arrows->SetBuddy(lastEdit);
                }
                arrows->UpButton()->setAccessibleName(WithoutMnemonic(control.accessibleName) + QStringLiteral(" up"));
                arrows->DownButton()->setAccessibleName(WithoutMnemonic(control.accessibleName)
                                                        + QStringLiteral(" down"));
                widget = arrows;
                break;
            }
            case ControlKind::CheckBox:
                widget = new QCheckBox(text, this);
                break;
            case ControlKind::ComboBox:
            {
                auto* combo = new QComboBox(this);
                for (const char* item : kZoneTypeItems)
                    combo->addItem(QString::fromUtf8(item));
                combo->setItemData(kMasterZoneItem, QString::fromUtf8(kMasterZoneToolTip), Qt::ToolTipRole);
                // The closed box shows the tooltip of the item it shows.
                connect(combo, &QComboBox::currentIndexChanged, combo, [combo](int index) {
                    combo->setToolTip(combo->itemData(index, Qt::ToolTipRole).toString());
                });
                widget = combo;
                break;
            }
            }

            if (control.kind != ControlKind::UpDown || lastEdit == nullptr)
                widget->setGeometry(rect);
            if (control.kind == ControlKind::ComboBox)
            {
                // The template's height is that of the closed box in the
                // template font; never cut the box below what its style needs.
                widget->setGeometry(rect.x(), rect.y(), rect.width(),
                                    std::max(rect.height(), widget->sizeHint().height()));
            }
            widget->setObjectName(control.id != kNoId ? ControlObjectName(control.id)
                                                       : QString::fromLatin1(control.objectName));
            widget->setAccessibleName(WithoutMnemonic(control.accessibleName));
            if (control.id != kNoId)
                m_controls.emplace(control.id, widget);
            if (control.kind == ControlKind::UpDown)
                lastEdit = nullptr;

            if ((widget->focusPolicy() & Qt::TabFocus) != 0)
            {
                if (previousFocusable != nullptr)
                    setTabOrder(previousFocusable, widget);
                previousFocusable = widget;
            }
        }

        CreateComparisonControls(units, previousFocusable);

        // The group boxes only frame; they stay behind the controls they
        // frame.
        for (QGroupBox* group : findChildren<QGroupBox*>(QString(), Qt::FindDirectChildrenOnly))
            group->lower();

        m_abortButton = qobject_cast<QPushButton*>(ControlById(id::kAbortButton));
        m_pauseButton = qobject_cast<QPushButton*>(ControlById(id::kPauseButton));
        m_statusLine = qobject_cast<ElidedLabel*>(ControlById(id::kStatusLine));
        m_zoneFileLabel = qobject_cast<ElidedLabel*>(ControlById(id::kZoneFileName));
        m_minCharsArrows = qobject_cast<UpDownControl*>(ControlById(id::kMinCharsArrows));
        m_maxCharsArrows = qobject_cast<UpDownControl*>(ControlById(id::kMaxCharsArrows));
        m_zoneTypeCombo = qobject_cast<QComboBox*>(ControlById(id::kZoneTypeCombo));
        m_appendCheck = qobject_cast<QCheckBox*>(ControlById(id::kAppendNameServersCheck));

        auto button = [this](int controlId) { return qobject_cast<QPushButton*>(ControlById(controlId)); };
        connect(button(id::kOpenZoneButton), &QPushButton::clicked, this, &MainDialog::OpenZone);
        connect(button(id::kExtractDomainsButton), &QPushButton::clicked, this,
                [this] { StartRun(ExtractMode::Domains); });
        connect(button(id::kExtractNameServersButton), &QPushButton::clicked, this,
                [this] { StartRun(ExtractMode::NameServers); });
        connect(m_pauseButton, &QPushButton::clicked, this, &MainDialog::TogglePause);
        connect(m_abortButton, &QPushButton::clicked, this, &MainDialog::AbortRun);
        connect(button(id::kViewOutputButton), &QPushButton::clicked, this, &MainDialog::ViewOutput);
        connect(button(id::kCloseButton), &QPushButton::clicked, this, &MainDialog::reject);
        connect(button(id::kAboutButton), &QPushButton::clicked, this, &MainDialog::ShowAbout);
    }

    void MainDialog::CreateProgressControls()
    {
        const DialogUnits units(font());
        const auto [barX, barY, barWidth, barHeight] = kProgressRow;
        m_progressBar = new QProgressBar(this);
        m_progressBar->setGeometry(units.ToPixels(barX, barY, barWidth, barHeight));
        m_progressBar->setObjectName(QStringLiteral("runProgress"));
        m_progressBar->setAccessibleName(QString::fromLatin1(kProgressBarName));
        m_progressBar->setRange(0, 100);
        m_progressBar->setFormat(QStringLiteral("%p%"));
        m_progressBar->reset(); // empty until the first run
        m_progressBar->setEnabled(false); // greyed while no run is active

        const auto [textX, textY, textWidth, textHeight] = kTimeLeftRow;
        auto* timeLeft = new ElidedLabel(this);
        timeLeft->setGeometry(units.ToPixels(textX, textY, textWidth, textHeight));
        timeLeft->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        timeLeft->setObjectName(QStringLiteral("timeLeft"));
        timeLeft->setAccessibleName(QString::fromLatin1(kTimeLeftName));
        m_timeLeftText = timeLeft;

        m_progressTimer = new QTimer(this);
        m_progressTimer->setInterval(kProgressIntervalMs);
        connect(m_progressTimer, &QTimer::timeout, this, &MainDialog::RefreshRunProgress);
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

    std::optional<QString> MainDialog::DroppedZoneFile(const QMimeData* data) const
    {
        if (data == nullptr || IsRunActive() || !data->hasUrls())
            return std::nullopt;
        const QList<QUrl> urls = data->urls();
        if (urls.size() != 1 || !urls.front().isLocalFile())
            return std::nullopt;
        const QFileInfo file(urls.front().toLocalFile());
        if (!file.isFile())
            return std::nullopt; // a folder, or nothing there
        return QDir::toNativeSeparators(file.absoluteFilePath());
    }

    std::optional<QString> MainDialog::AcceptZoneFileDrag(QDropEvent* event) const
    {
        std::optional<QString> path = DroppedZoneFile(event->mimeData());
        if (!path)
        {
            event->ignore();
            return std::nullopt;
        }
        event->setDropAction(Qt::CopyAction);
        event->accept();
        return path;
    }

    void MainDialog::dragEnterEvent(QDragEnterEvent* event)
    {
        AcceptZoneFileDrag(event);
    }

    void MainDialog::dragMoveEvent(QDragMoveEvent* event)
    {
        AcceptZoneFileDrag(event);
    }

    void MainDialog::dropEvent(QDropEvent* event)
    {
        const std::optional<QString> dropped = AcceptZoneFileDrag(event);
        if (!dropped)
            return;
        // Taken after the drop has returned: a message box (a number field
        // that holds no integer) would otherwise hold the other program's
        // drag until it is closed.
        QMetaObject::invokeMethod(
            this,
            [this, path = *dropped] {
                if (!IsRunActive())
                    TakeZoneFile(path);
            },
            Qt::QueuedConnection);
    }

    bool MainDialog::eventFilter(QObject* watched, QEvent* event)
    {
        const QEvent::Type type = event->type();
        if (type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop)
        {
            auto* drop = static_cast<QDropEvent*>(event);
            if (drop->mimeData() != nullptr && drop->mimeData()->hasUrls())
            {
                if (type == QEvent::Drop)
                    dropEvent(drop);
                else
                    AcceptZoneFileDrag(drop);
                return true;
            }
        }
        return QDialog::eventFilter(watched, event);
    }

    bool MainDialog::PromptForFile(bool openForm, QString& path, const QString& filter,
                                   const QString& defaultExtension, const QString& title)
    {
        FileDialogRequest request;
        request.openForm = openForm;
        request.title = title;
        request.nameFilters = NameFiltersFromPairs(filter);
        request.defaultSuffix = defaultExtension;
        request.initialLocation = settings::ReadRememberedLocation(m_settings, defaultExtension);
        // A folder remembered before such folders were refused: a file
        // dialog opened there may hang for good.
        if (IsInSystemFolder(SplitRememberedLocation(request.initialLocation).directory))
            request.initialLocation.clear();

        const std::optional<QString> chosen = m_fileDialogs.ChooseFile(this, request);
        if (!chosen || chosen->isEmpty())
            return false;

        QString fullPath = QDir::toNativeSeparators(QFileInfo(*chosen).absoluteFilePath());
        if (!openForm && !defaultExtension.isEmpty() && QFileInfo(fullPath).suffix().isEmpty()
            && !QFileInfo::exists(fullPath))
        {
            // A new name without extension gets the default extension here,
            // after the file dialog, so the dialog never checked that name:
            // ask before an existing file of that name is replaced. (A name
            // that exists as typed is the one the dialog asked about.)
            fullPath += QLatin1Char('.') + defaultExtension;
            if (QFileInfo::exists(fullPath)
                && !m_messageBoxes.AskYesNo(this, QCoreApplication::applicationName(),
                                            QStringLiteral("%1 already exists.\nDo you want to replace it?")
                                                .arg(fullPath)))
                return false;
        }
        path = fullPath;
        return true;
    }

    void MainDialog::RememberFolderOf(const QString& path, const QString& defaultExtension)
    {
        const QString location = RememberedLocationFor(path, defaultExtension);
        if (location.isEmpty() || IsInSystemFolder(SplitRememberedLocation(location).directory))
            return;
        settings::WriteRememberedLocation(m_settings, defaultExtension, location);
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
        QDialog::reject();
    }

    void MainDialog::ShowWarning(const QString& text)
    {
        m_messageBoxes.ShowWarning(this, QCoreApplication::applicationName(), text);
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
