#pragma once

// A run without a window: the run context that the command-line runner, the
// tests and the benchmarks use, and a helper that carries one run the way job
// control does.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "run/extraction_worker.h"
#include "output/output_writer.h"
#include "run/run_progress.h"
#include "run/run_setup.h"
#include "input/zone_line_reader.h"

namespace plexor
{
    class HeadlessRunContext final : public RunContext
    {
    public:
        // `inflater` decompresses a gzip zone file (tests try each one).
        HeadlessRunContext(ExtractMode mode, std::int32_t zoneType, LineEnd lineEnd = LineEnd::CrLf,
                           Inflater inflater = DefaultInflater());

        bool IsWindowAlive() const override { return windowAlive; }
        // A run of its own, so that runs of several contexts may go side by
        // side; or the one given to ShareRun.
        EngineRun& Run() override { return *m_run; }
        // Runs on `run` instead of its own: for a caller that prepares the
        // run and reads its state on its own thread, with `run` current
        // there (tests, benchmarks). Before the worker starts.
        void ShareRun(EngineRun& run) { m_run = &run; }
        ExtractMode RunMode() const override { return m_mode; }
        std::int32_t RunZoneType() const override { return m_zoneType; }
        LineEnd OutputLineEnd() const override { return m_lineEnd; }
        OutputForm RunOutputForm() const override { return form; }
        ZoneLineReader& ZoneFile() override { return zoneFile; }
        OutputWriter& OutputFile() override { return outputFile; }
        ZoneChanges RunChanges() const override { return changes; }
        ZoneLineReader* OlderZoneFile() override { return changes == ZoneChanges::None ? nullptr : &olderZoneFile; }
        EntrySink* RunEntrySink() override { return entrySink; }
        void ReportRunFailure(const std::string& message) override;
        void SetFinalStatusText(const std::string& text) override;
        void ClearWorkerReference() override;

        // Set before the worker starts; cleared by the worker at the end.
        void SetWorkerReference() { m_workerActive.store(true); }
        bool IsRunActive() const { return m_workerActive.load(); }
        // Waits until the worker has cleared its reference or the time is
        // up; true once the run is over.
        bool WaitForEnd(std::chrono::milliseconds limit);

        // Read these only after the worker thread has been joined.
        const std::string& FinalStatusText() const { return m_statusText; }
        const std::optional<std::string>& Failure() const { return m_failure; }
        int FailureReports() const { return m_failureReports; }

        ZoneLineReader zoneFile;
        OutputWriter outputFile;
        bool windowAlive = true;
        // A comparison: what it writes, and the older zone file, opened by
        // the caller.
        ZoneChanges changes = ZoneChanges::None;
        ZoneLineReader olderZoneFile;
        // The output's form, set before the worker starts.
        OutputForm form = OutputForm::List;
        // Where the entries go instead of the list; null: the list.
        EntrySink* entrySink = nullptr;

    private:
        EngineRun m_ownRun;
        EngineRun* m_run = &m_ownRun;
        ExtractMode m_mode;
        std::int32_t m_zoneType;
        LineEnd m_lineEnd;
        std::atomic<bool> m_workerActive {false};
        std::mutex m_endMutex;
        std::condition_variable m_ended;
        std::string m_statusText;
        std::optional<std::string> m_failure;
        int m_failureReports = 0;
    };

    // How far a run has come, as the caller of RunHeadless sees it while the
    // worker runs.
    struct HeadlessRunProgress
    {
        // The zone file's bytes read so far, as stored (compressed bytes of
        // a gzip file), and its stored size, 0 when unknown (a pipe); in a
        // comparison, of both files together.
        std::uint64_t rawBytesRead = 0;
        std::uint64_t rawSize = 0;
        std::uint64_t linesRead = 0;
        std::uint64_t namesExtracted = 0;
    };

    // What a run may do beyond reading one named file and writing another.
    struct HeadlessRunOptions
    {
        // Read the zone from standard input instead of the zone path.
        bool zoneFromStandardInput = false;
        // Write the names to standard output instead of the output path.
        bool outputToStandardOutput = false;
        // What ends every output line of the list (tables end theirs with
        // LF alone).
        LineEnd lineEnd = LineEnd::CrLf;
        // The output's form: the list, or a table (output/entry_rows.h).
        OutputForm form = OutputForm::List;
        // A comparison with an older zone file (a named file): the names
        // it writes instead of the zone file's whole list.
        ZoneChanges changes = ZoneChanges::None;
        std::filesystem::path olderZonePath;
        // The comparison's run body (CompareZones, compare/zone_changes.h),
        // which a run with `changes` must be given: the headless run lies
        // below the comparison and knows no body but the plain run's.
        RunBody comparisonBody = nullptr;
        // Where the run's entries go instead of the output list, which then
        // gets the sink's result (run/entry_sink.h); null: the list. It must
        // outlive the run.
        EntrySink* entrySink = nullptr;
        // Write the output to this sink instead of the output path (named
        // outputSinkName in messages); the caller has checked that it is no
        // zone file. Runs over many zones combine their outputs so.
        OutputSink* outputSink = nullptr;
        std::string outputSinkName;
        // The zone column of a run over several zones, and whether a tsv
        // table's header line is written (ExtractionSettings).
        std::optional<std::string> zoneColumn;
        bool tableHeader = true;
        // Called on the calling thread once the worker has started and then
        // every watchInterval until the run is over (not after its end).
        std::function<void(const HeadlessRunProgress&)> watch;
        std::chrono::milliseconds watchInterval {250};
    };

    struct HeadlessRunResult
    {
        // Empty after a completed run; otherwise the message that ended it
        // ("Error: Unable to open/read/write '%s'").
        std::optional<std::string> error;
        std::string statusText;
        // The final counters (of both files in a comparison; names written).
        std::uint64_t linesRead = 0;
        std::uint64_t namesExtracted = 0;
        // The run ended at the line limit while the zone file had more lines.
        bool stoppedAtLineLimit = false;
        // Master-file records that could not be read as records.
        std::uint64_t unreadableRecords = 0;
        // When the run found no names and the zone file plainly has another
        // layout: a note that names the layout to choose.
        std::optional<std::string> layoutHint;
        // The output was refused because it is the zone file itself, or in
        // a comparison the older zone file (error holds the "Unable to open"
        // message for it).
        bool outputIsZoneFile = false;
        // A comparison was aborted before its end: the output holds some of
        // the changes only.
        bool comparisonAborted = false;
        // A run without an error was asked to stop (a watch, a signal)
        // before its zone file's end or its line limit.
        bool stopped = false;
    };

    // Opens both files, prepares the engine, runs the worker (ExtractionWorker,
    // or with options.comparisonBody in a comparison) on its own thread and
    // waits for the end. A comparison without its body is refused with
    // std::invalid_argument before anything is opened. An output that is the zone file itself
    // (also through a link, or as the file behind standard input or output)
    // is refused before anything is truncated.
    HeadlessRunResult RunHeadless(const std::filesystem::path& zonePath, const std::filesystem::path& outputPath,
                                  ExtractMode mode, std::int32_t zoneType, const RunFilters& filters,
                                  const HeadlessRunOptions& options = {});
}
