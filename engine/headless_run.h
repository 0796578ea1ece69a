#pragma once

// A run without a window: the run context that the command-line runner, the
// tests and the benchmarks use, and a helper that carries one run the way job
// control does.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "extraction_worker.h"
#include "output_writer.h"
#include "run_setup.h"
#include "zone_line_reader.h"

namespace plexor
{
    class HeadlessRunContext final : public RunContext
    {
    public:
        // `inflater` decompresses a gzip zone file (tests try each one).
        HeadlessRunContext(ExtractMode mode, std::int32_t zoneType, Inflater inflater = DefaultInflater());

        bool IsWindowAlive() const override { return windowAlive; }
        ExtractMode RunMode() const override { return m_mode; }
        std::int32_t RunZoneType() const override { return m_zoneType; }
        ZoneLineReader& ZoneFile() override { return zoneFile; }
        OutputWriter& OutputFile() override { return outputFile; }
        void ReportRunFailure(const std::string& message) override;
        void SetFinalStatusText(const std::string& text) override;
        void ClearWorkerReference() override;

        // Set before the worker starts; cleared by the worker at the end.
        void SetWorkerReference() { m_workerActive.store(true); }
        bool IsRunActive() const { return m_workerActive.load(); }

        // Read these only after the worker thread has been joined.
        const std::string& FinalStatusText() const { return m_statusText; }
        const std::optional<std::string>& Failure() const { return m_failure; }
        int FailureReports() const { return m_failureReports; }

        ZoneLineReader zoneFile;
        OutputWriter outputFile;
        bool windowAlive = true;

    private:
        ExtractMode m_mode;
        std::int32_t m_zoneType;
        std::atomic<bool> m_workerActive {false};
        std::string m_statusText;
        std::optional<std::string> m_failure;
        int m_failureReports = 0;
    };

    struct HeadlessRunResult
    {
        // Empty after a completed run; otherwise the message that ended it
        // ("Error: Unable to open/read/write '%s'").
        std::optional<std::string> error;
        std::string statusText;
        // The run ended at the line limit while the zone file had more lines.
        bool stoppedAtLineLimit = false;
        // Master-file records that could not be read as records.
        std::uint64_t unreadableRecords = 0;
        // When the run found no names and the zone file plainly has another
        // layout: a note that names the layout to choose.
        std::optional<std::string> layoutHint;
    };

    // Opens both files, prepares the engine, runs ExtractionWorker on its own
    // thread and waits for the end.
    HeadlessRunResult RunHeadless(const std::filesystem::path& zonePath, const std::filesystem::path& outputPath,
                                  ExtractMode mode, std::int32_t zoneType, const RunFilters& filters);
}
