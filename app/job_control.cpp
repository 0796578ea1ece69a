// Job control of the main dialog: starting a run on its worker thread,
// pausing, aborting, watching it, and opening its output.

#include <filesystem>
#include <system_error>

#include <QCoreApplication>
#include <QLabel>
#include <QMetaObject>
#include <QPushButton>

#include "control_ids.h"
#include "dialog_services.h"
#include "elided_label.h"
#include "file_paths.h"
#include "layouts/layout_hint.h"
#include "main_dialog.h"
#include "extraction/run_messages.h"
#include "run_notes.h"
#include "run/run_setup.h"
#include "settings_keys.h"
#include "zone_list_run.h"
#include "zones/zone_set.h"

namespace plexor
{
    namespace
    {
        QString UnableToOpen(const QString& path, std::string_view reason)
        {
            return QString::fromStdString(UnableToOpenMessage(path.toStdString(), reason));
        }
    }

    void MainDialog::StartRun(ExtractMode mode)
    {
        StartRunOf(mode, false);
    }

    void MainDialog::StartRunOf(ExtractMode mode, bool count)
    {
        // A running run keeps the mode it started with (see RunMode).
        m_runMode = mode;
        if (!ReadFields())
            return;
        if (IsRunActive())
        {
            ShowWarning(QStringLiteral("Processing in progress!"));
            return;
        }
        if (m_fields.zoneFileName.isEmpty())
        {
            ShowWarning(QStringLiteral("Please specify the zone file."));
            return;
        }

        const bool zoneList = m_zoneChoice.IsList();
        if (zoneList && CurrentComparison().enabled)
        {
            ShowWarning(QStringLiteral("A comparison reads one zone file and its older one: open one zone file, "
                                       "or clear \"Compare with an older zone file\"."));
            return;
        }
        if (zoneList && count)
        {
            ShowWarning(QStringLiteral("A count reads one zone file: open one zone file to count its servers."));
            return;
        }

        m_pauseButton->setText(QString::fromLatin1(kPauseCaption));
        // Bad terms are refused before the output is asked for, so that
        // nothing is created or truncated.
        const Lookalike watch = CurrentLookalike();
        std::shared_ptr<const lookalike::Matcher> matcher;
        if (!MakeRunMatcher(watch, m_runMode, matcher))
            return;
        // So is a provider map that cannot be read.
        const Count countRow = CurrentCount();
        std::unique_ptr<ProviderMap> providerMap;
        if (count && !LoadRunProviderMap(countRow, providerMap))
            return;
        // A table is offered as a .tsv file, which spreadsheets open as one.
        const bool table = watch.form == OutputForm::Tsv;
        const QString outputExtension = QString::fromLatin1(table ? kTableFileExtension : kOutputFileExtension);
        if (!PromptForFile(false, m_outputPath, QString::fromLatin1(table ? kTableFileFilter : kOutputFileFilter),
                           outputExtension, QString::fromLatin1(kOutputDialogTitle)))
            return;

        const Comparison comparison = CurrentComparison();
        if (!zoneList)
            m_zoneList.reset();
        if (zoneList ? !OpenZoneListFiles() : !OpenRunFiles(comparison))
            return;
        RememberFolderOf(m_outputPath, outputExtension);
        settings::Write(m_settings, settings::kZoneOutputFile, m_outputPath);

        RunFilters filters;
        filters.maxChars = m_fields.maxChars;
        filters.minChars = m_fields.minChars;
        filters.excludedChars = m_fields.excludedChars.toStdString();
        filters.includeWordsText = m_fields.includeWordsText.toStdString();
        filters.nameServerText = m_fields.nameServerText.toStdString();
        // A count reads each domain's servers from its entry.
        filters.appendNameServers = count ? 1 : m_fields.appendNameServers;
        // A comparison reads both files whole: a cut list would make every
        // name past the cut look new or dropped.
        filters.lineLimit = comparison.enabled ? 0 : settings::ReadLineLimit(m_settings);
        filters.lookalike = std::move(matcher);
        PrepareRun(filters);

        m_statusLine->setText(QString());
        m_activeRunMode = m_runMode;
        m_activeRunZoneType = m_fields.zoneType;
        m_activeRunLineLimit = filters.lineLimit;
        m_activeRunZoneFile = m_fields.zoneFileName;
        m_activeRunChanges = comparison.enabled ? comparison.writes : ZoneChanges::None;
        m_activeRunForm = watch.form;
        m_runFailure.reset();
        m_runCount.reset();
        m_runProviderMap.reset();
        if (count)
            PrepareRunCount(countRow.by, watch.form, std::move(providerMap));

        // The reference is set before the thread exists, so that even a run
        // that ends at once finds it set when it clears it.
        m_runActive = true;
        try
        {
            // The window chooses the run's worker: a comparison's or a plain one.
            auto worker = m_activeRunChanges != ZoneChanges::None ? &ComparisonWorker : &ExtractionWorker;
            if (zoneList)
                worker = +[](RunContext* context) { return RunWithBody(context, &MainDialog::ReadZoneList); };
            m_worker = std::thread(worker, static_cast<RunContext*>(this));
        }
        catch (const std::system_error&)
        {
            m_runActive = false;
            m_zoneList.reset();
            m_zoneFile.Close();
            m_olderZoneFile.Close();
            m_outputFile.Close();
            ShowWarning(QStringLiteral("Error: Unable to start the extraction."));
            return;
        }
        BeginRunProgress();
        RefreshRunControls();
    }

    bool MainDialog::OpenRunFiles(const Comparison& comparison)
    {
        if (!m_zoneFile.Open(ToFilesystemPath(m_fields.zoneFileName)))
        {
            ShowWarning(UnableToOpen(m_fields.zoneFileName, SystemReason(m_zoneFile.Error())));
            return false;
        }
        if (comparison.enabled && !OpenOlderZoneForRun(comparison))
        {
            m_zoneFile.Close();
            return false;
        }
        // Creating the output truncates it; if it is a zone file of the run
        // (also through a link) that would destroy the input before a line
        // is read, so it is refused like any output that cannot be opened.
        const bool sameFile = RefersToSameFile(m_fields.zoneFileName, m_outputPath)
                              || (comparison.enabled && RefersToSameFile(comparison.olderZoneFileName, m_outputPath));
        if (sameFile || !m_outputFile.Create(ToFilesystemPath(m_outputPath)))
        {
            m_zoneFile.Close();
            m_olderZoneFile.Close();
            ShowWarning(UnableToOpen(m_outputPath, sameFile ? std::string(kOutputIsZoneFileReason)
                                                            : SystemReason(m_outputFile.Error())));
            return false;
        }
        return true;
    }

    bool MainDialog::OpenZoneListFiles()
    {
        std::vector<std::filesystem::path> arguments;
        if (!m_zoneChoice.folder.isEmpty())
            arguments.push_back(ToFilesystemPath(m_zoneChoice.folder));
        else
        {
            for (const QString& file : m_zoneChoice.files)
                arguments.push_back(ToFilesystemPath(file));
        }
        // Listed again now: a folder holds today's files. Refused, before
        // the output is created: an output that is one of the zones or lies
        // in the chosen folder (the next run over it would read it), and a
        // zone chosen twice.
        ZoneOutputTarget target;
        target.file = ToFilesystemPath(m_outputPath);
        ZoneSet set = BuildZoneSet(arguments, target);
        if (set.error)
        {
            ShowWarning(QStringLiteral("Error: %1").arg(QString::fromStdString(set.error->message)));
            return false;
        }
        std::string failure;
        m_zoneList = ZoneListRun::Open(std::move(set.zones), target.file, m_outputPath.toStdString(), failure);
        if (!m_zoneList)
        {
            ShowWarning(QString::fromStdString(failure));
            return false;
        }
        return true;
    }

    std::optional<std::string> MainDialog::ReadZoneList(RunContext& context, const ZoneReading& reading)
    {
        // Only the window starts this body, with itself as the context.
        auto& dialog = static_cast<MainDialog&>(context);
        return dialog.m_zoneList->Read(dialog.m_zoneFile, dialog.m_outputFile, reading);
    }

    const std::vector<ZoneRow>& MainDialog::ZoneListRows() const
    {
        static const std::vector<ZoneRow> kNone;
        return m_zoneList && !IsRunActive() ? m_zoneList->Rows() : kNone;
    }

    void MainDialog::TogglePause()
    {
        if (IsPaused())
        {
            SetPaused(false);
            m_pauseButton->setText(QString::fromLatin1(kPauseCaption));
        }
        else
        {
            SetPaused(true);
            m_pauseButton->setText(QString::fromLatin1(kGoCaption));
        }
    }

    void MainDialog::AbortRun()
    {
        if (!IsRunActive())
            return;
        if (m_zoneList)
            m_zoneList->RequestStop();
        // Clearing the pause lets a paused run go on to its end.
        SetAbortRequested(true);
        SetPaused(false);
        m_pauseButton->setText(QString::fromLatin1(kPauseCaption));
    }

    void MainDialog::ViewOutput()
    {
        if (m_outputPath.isEmpty())
            return;
        if (!m_desktop.OpenDocument(m_outputPath))
            ShowWarning(QStringLiteral("Error: Unable to open '%1' in a viewer.").arg(m_outputPath));
    }

    void MainDialog::RefreshRunControls()
    {
        const bool active = IsRunActive();
        m_pauseButton->setEnabled(active);
        m_abortButton->setEnabled(active);
        if (!active)
            return; // after a run the status line keeps its final counts
        std::uint64_t lines = 0;
        std::uint64_t names = 0;
        GetRunCounters(lines, names);
        m_statusLine->setText(QString::fromStdString(FormatStatusText(lines, names)));
    }

    void MainDialog::FinishRun()
    {
        // The worker has made its last call on this dialog and is returning.
        if (m_worker.joinable())
            m_worker.join();
        m_runActive = false;
        RefreshRunControls();
        if (m_zoneList)
        {
            FinishZoneListRun();
            return;
        }
        // The window's runs are the process's default run.
        const RunState& state = CurrentRunState();
        EndRunProgress(!m_runFailure && !IsAbortRequested() && !state.stoppedAtLineLimit.load());

        // The final status is shown already; one message follows with the
        // failure and every note that applies, none after a clean run.
        RunOutcome outcome;
        outcome.failure = m_runFailure;
        m_runFailure.reset();
        const bool tableWritten = m_runCount != nullptr && !outcome.failure;
        outcome.stoppedAtLineLimit = state.stoppedAtLineLimit.load();
        outcome.lineLimit = m_activeRunLineLimit;
        outcome.unreadableRecords = state.unreadableRecords.load();
        outcome.comparisonAborted = state.comparisonAborted.load();
        // A comparison that writes nothing is often right; only when neither
        // list held a name is the layout in question.
        const bool comparison = m_activeRunChanges != ZoneChanges::None;
        if (!outcome.failure && state.namesExtracted.load() == 0
            && (!comparison || state.comparedEntries.load() == 0))
        {
            // Read again from the start, so only a regular file: a pipe
            // would block this thread.
            std::error_code error;
            const std::filesystem::path zonePath = ToFilesystemPath(m_activeRunZoneFile);
            if (std::filesystem::is_regular_file(zonePath, error))
                outcome.layoutHint = LayoutHintForFile(zonePath, m_activeRunZoneType);
        }
        const QString message = EndOfRunMessage(outcome);
        if (!message.isEmpty())
            ShowWarning(message);
        if (tableWritten)
            ShowCountChart();
    }

    void MainDialog::FinishZoneListRun()
    {
        const std::vector<ZoneRow>& rows = m_zoneList->Rows();
        bool allRead = true;
        for (const ZoneRow& row : rows)
            allRead = allRead && row.result == ZoneResult::Ok;
        EndRunProgress(!m_runFailure && !IsAbortRequested() && allRead);
        if (m_runFailure)
            ShowWarning(*m_runFailure);
        m_runFailure.reset();
        m_messageBoxes.ShowInformation(this, QCoreApplication::applicationName(),
                                       QString::fromStdString(ZoneListSummary(rows)));
    }

    MainDialog::~MainDialog()
    {
        m_windowAlive = false;
        if (m_worker.joinable())
        {
            if (m_zoneList)
                m_zoneList->RequestStop();
            SetAbortRequested(true);
            SetPaused(false);
            m_worker.join();
        }
    }

    // The worker thread's side. Only IsWindowAlive, RunMode, RunZoneType,
    // RunOutputForm, the files and the count's sink (count_row.cpp) are
    // used on that thread directly;
    // everything that touches the window is queued to the dialog's thread,
    // where it runs in the order the worker made the calls.

    bool MainDialog::IsWindowAlive() const
    {
        return m_windowAlive.load();
    }

    ExtractMode MainDialog::RunMode() const
    {
        return m_activeRunMode;
    }

    std::int32_t MainDialog::RunZoneType() const
    {
        return m_activeRunZoneType;
    }

    OutputForm MainDialog::RunOutputForm() const
    {
        return m_activeRunForm;
    }

    ZoneLineReader& MainDialog::ZoneFile()
    {
        return m_zoneFile;
    }

    OutputWriter& MainDialog::OutputFile()
    {
        return m_outputFile;
    }

    void MainDialog::ReportRunFailure(const std::string& message)
    {
        QMetaObject::invokeMethod(
            this, [this, text = QString::fromStdString(message)] { m_runFailure = text; }, Qt::QueuedConnection);
    }

    void MainDialog::SetFinalStatusText(const std::string& text)
    {
        QMetaObject::invokeMethod(
            this, [this, status = QString::fromStdString(text)] { m_statusLine->setText(status); },
            Qt::QueuedConnection);
    }

    void MainDialog::ClearWorkerReference()
    {
        QMetaObject::invokeMethod(this, [this] { FinishRun(); }, Qt::QueuedConnection);
    }
}
