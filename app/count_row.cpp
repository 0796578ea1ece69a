// The main dialog's count row, below the look-alike row: a provider map
// (optional) with its Open button, what a count groups by, and Count
// Servers, which starts a domain run whose entries, servers appended, are
// counted per provider or per name server instead of written. The table
// goes to the output file in the window's output form; after the run a
// chart of the largest rows is shown (count_chart.h) and can be saved as a
// PNG image.

#include <array>

#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "about/dialog_units.h"
#include "control_ids.h"
#include "control_template.h"
#include "count_chart.h"
#include "dialog_services.h"
#include "file_paths.h"
#include "main_dialog.h"
#include "settings_keys.h"

namespace plexor
{
    namespace
    {
        namespace id = control_id;

        // In dialog units, below the look-alike rows; the dialog's height
        // (main_dialog.cpp) leaves room for them. The map field ends where
        // the look-alike fields do, its button and Count Servers line up
        // with the buttons above.
        // clang-format off
        constexpr ControlTemplate kCountRows[] {
            {kNoControlId, ControlKind::Label, 5, 351, 56, 8, "P&rovider map", "providerMapLabel", "Provider map"},
            {id::kProviderMapEdit, ControlKind::Edit, 63, 349, 161, 12, "", nullptr, "Provider map file"},
            {id::kOpenProviderMapButton, ControlKind::PushButton, 231, 348, 46, 13, "Open Map", nullptr, "Open provider map"},
            {kNoControlId, ControlKind::Label, 5, 368, 56, 8, "Co&unt domains", "countByLabel", "Count domains"},
            {id::kCountByCombo, ControlKind::ComboBox, 63, 366, 76, 12, nullptr, nullptr, "Count domains by"},
            {id::kCountServersButton, ControlKind::PushButton, 193, 365, 84, 15, "Count &Servers", nullptr, "Count servers"},
        };
        // clang-format on
        constexpr int kMapLabelRow = 0;
        constexpr int kCountByLabelRow = 3;
        constexpr int kCountByComboRow = 4;

        // The count box's items, in this order.
        constexpr std::array kCountByItems {"By provider", "By server"};

        constexpr char kMapToolTip[] =
            "Optional: a file of lines \"host-pattern provider\" (globs: * ? [a-z]) that joins the servers of a "
            "provider that spans several domains, such as *.awsdns-* amazon-route53. Empty: servers are grouped "
            "by their registrable domain.";
        constexpr char kCountToolTip[] =
            "Count the domains a domain-name run would write (every filter and the comparison apply) per DNS "
            "provider or per name server; the table goes to the output file, a chart of the largest follows.";
        constexpr char kMapFileFilter[] = "Provider Maps (*.map *.txt)|*.map;*.txt|All Files (*.*)|*.* ||";
        constexpr char kMapFileExtension[] = "map";
        constexpr char kMapFileTitle[] = "Provider Map";
        constexpr char kChartFileFilter[] = "PNG Images (*.png) | *.png | All Files (*.*) | *.* ||";
        constexpr char kChartFileExtension[] = "png";
        constexpr char kChartFileTitle[] = "Save Chart As";

        CountForm CountFormOf(OutputForm form)
        {
            switch (form)
            {
            case OutputForm::Tsv:
                return CountForm::Tsv;
            case OutputForm::Jsonl:
                return CountForm::Jsonl;
            case OutputForm::List:
                break;
            }
            return CountForm::List;
        }
    }

    void MainDialog::CreateCountControls(const DialogUnits& units, QWidget* previousFocusable)
    {
        ControlBuilder builder(*this, units, m_controls);
        const std::vector<QWidget*> widgets = builder.Build(kCountRows);
        m_providerMapEdit = qobject_cast<QLineEdit*>(ControlById(id::kProviderMapEdit));
        m_countByCombo = qobject_cast<QComboBox*>(ControlById(id::kCountByCombo));
        auto* openMap = qobject_cast<QPushButton*>(ControlById(id::kOpenProviderMapButton));
        auto* countButton = qobject_cast<QPushButton*>(ControlById(id::kCountServersButton));
        // Alt+R goes to the map field, Alt+U to the count box.
        qobject_cast<QLabel*>(widgets[kMapLabelRow])->setBuddy(m_providerMapEdit);
        qobject_cast<QLabel*>(widgets[kCountByLabelRow])->setBuddy(m_countByCombo);
        m_providerMapEdit->setToolTip(QString::fromLatin1(kMapToolTip));
        countButton->setToolTip(QString::fromLatin1(kCountToolTip));

        for (const char* item : kCountByItems)
            m_countByCombo->addItem(QString::fromLatin1(item));
        m_countByCombo->setItemData(0, QStringLiteral("Servers grouped by their registrable domain "
                                                      "(ns1.cloudflare.com: cloudflare.com) or by the map"),
                                    Qt::ToolTipRole);
        m_countByCombo->setItemData(1, QStringLiteral("Each name server host on its own"), Qt::ToolTipRole);
        const ControlTemplate& combo = kCountRows[kCountByComboRow];
        PlaceComboBox(m_countByCombo, units.ToPixels(combo.x, combo.y, combo.width, combo.height));

        setTabOrder(previousFocusable, m_providerMapEdit);
        setTabOrder(m_providerMapEdit, openMap);
        setTabOrder(openMap, m_countByCombo);
        setTabOrder(m_countByCombo, countButton);

        m_providerMapEdit->setText(m_count.providerMap);
        m_countByCombo->setCurrentIndex(m_count.by == CountBy::Server ? 1 : 0);
        connect(openMap, &QPushButton::clicked, this, &MainDialog::OpenProviderMap);
        connect(countButton, &QPushButton::clicked, this, &MainDialog::StartCount);
    }

    MainDialog::Count MainDialog::CurrentCount() const
    {
        Count count;
        count.by = m_countByCombo->currentIndex() == 1 ? CountBy::Server : CountBy::Provider;
        count.providerMap = m_providerMapEdit->text();
        return count;
    }

    void MainDialog::SaveCountSettings()
    {
        m_count = CurrentCount();
        settings::Write(m_settings, settings::kCountBy, settings::CountByText(m_count.by));
        settings::Write(m_settings, settings::kProviderMapFile, m_count.providerMap);
    }

    void MainDialog::OpenProviderMap()
    {
        QString path;
        if (!PromptForFile(true, path, QString::fromLatin1(kMapFileFilter), QString::fromLatin1(kMapFileExtension),
                           QString::fromLatin1(kMapFileTitle)))
            return;
        const QFileInfo chosen(path);
        if (chosen.isFile() && chosen.isReadable())
            RememberFolderOf(path, QString::fromLatin1(kMapFileExtension));
        m_providerMapEdit->setText(path);
        m_count.providerMap = path;
        settings::Write(m_settings, settings::kProviderMapFile, path);
    }

    void MainDialog::StartCount()
    {
        StartRunOf(ExtractMode::Domains, true);
    }

    bool MainDialog::LoadRunProviderMap(const Count& count, std::unique_ptr<ProviderMap>& map)
    {
        map.reset();
        // Blanks alone name no map.
        const QString path = count.providerMap.trimmed();
        if (path.isEmpty())
            return true;
        auto loaded = std::make_unique<ProviderMap>();
        if (const std::optional<std::string> problem = loaded->Load(ToFilesystemPath(path)))
        {
            ShowWarning(QString::fromStdString(*problem));
            return false;
        }
        map = std::move(loaded);
        return true;
    }

    void MainDialog::PrepareRunCount(CountBy by, OutputForm form, std::unique_ptr<ProviderMap> map)
    {
        m_runProviderMap = std::move(map);
        m_runCount = std::make_unique<CountSink>(by, CountFormOf(form), m_runProviderMap.get());
        m_runCount->KeepTopRows(CountChartDialog::kChartRows);
        m_activeRunCountBy = by;
    }

    EntrySink* MainDialog::RunEntrySink()
    {
        return m_runCount.get();
    }

    void MainDialog::ShowCountChart()
    {
        const CountFigures& figures = m_runCount->Figures();
        std::vector<ChartRow> rows;
        for (const CountSink::TopRow& top : m_runCount->TopRows())
            rows.push_back({QString::fromStdString(top.name), top.domains,
                            QString::fromStdString(FormatShare(top.domains, figures.domainsCounted))});
        QStringList lines;
        for (const std::string& line : m_runCount->SummaryLines())
            lines.append(QString::fromStdString(line));

        // One chart at a time: the last count's.
        delete m_countChart.data();
        m_countChart = new CountChartDialog(m_activeRunCountBy, std::move(rows), lines, this);
        m_countChart->setWindowIcon(m_icon);
        connect(m_countChart, &CountChartDialog::saveRequested, this, &MainDialog::SaveCountChart);
        m_countChart->show();
        m_countChart->raise();
        m_countChart->activateWindow();
    }

    CountChartDialog* MainDialog::CountChartWindow() const
    {
        return m_countChart.data();
    }

    void MainDialog::SaveCountChart()
    {
        if (m_countChart.isNull())
            return;
        QString path;
        if (!PromptForFile(false, path, QString::fromLatin1(kChartFileFilter), QString::fromLatin1(kChartFileExtension),
                           QString::fromLatin1(kChartFileTitle), m_countChart.data()))
            return;
        if (!m_countChart->SavePng(path))
        {
            m_messageBoxes.ShowWarning(m_countChart, QCoreApplication::applicationName(),
                                       QStringLiteral("Error: Unable to save the chart to '%1'.").arg(path));
            return;
        }
        RememberFolderOf(path, QString::fromLatin1(kChartFileExtension));
    }
}
