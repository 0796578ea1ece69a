#pragma once

// The procedure of the worker thread that carries one extraction run from the
// first line of the zone file to its end, in batches of at most kBatchLimit
// entries, writing each entry followed by its line end (CR LF unless the run
// asks for LF alone) to the output file. What a run does between its start
// and its end is its body (RunBody): a plain run's is ExtractZone; other runs
// (a comparison of two zone files) bring their own and read their files with
// the same batch loop (ReadZoneEntries).

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "extraction/extraction_state.h"
#include "extraction/extractor_support.h"
#include "extraction/extractors.h"
#include "output/entry_rows.h"

namespace plexor
{
    class EntrySink;
    class OutputWriter;
    class ZoneLineReader;

    // What the worker needs of whoever started the run (the main dialog, or a
    // headless caller). Everything is set up before the thread starts.
    class RunContext
    {
    public:
        virtual ~RunContext() = default;

        // False when the caller's window no longer exists: the worker then
        // returns at once and touches nothing.
        virtual bool IsWindowAlive() const = 0;
        // The run's settings and state; the worker makes it its thread's
        // current run. The window's is the process's default run.
        virtual EngineRun& Run() { return DefaultEngineRun(); }
        // Taken once when the worker starts and kept for the whole run.
        virtual ExtractMode RunMode() const = 0;
        virtual std::int32_t RunZoneType() const = 0;
        // What ends every output line; the dialog always writes CR LF.
        virtual LineEnd OutputLineEnd() const { return LineEnd::CrLf; }
        // The form of the output: the plain list unless the run asks for a
        // table.
        virtual OutputForm RunOutputForm() const { return OutputForm::List; }
        // Both open; the worker closes them at the end of the run.
        virtual ZoneLineReader& ZoneFile() = 0;
        virtual OutputWriter& OutputFile() = 0;
        // A comparison with an older zone file: which names it writes, and
        // that file, open like ZoneFile() (not null unless the run is a plain
        // one). Read by the comparison's run body only.
        virtual ZoneChanges RunChanges() const { return ZoneChanges::None; }
        virtual ZoneLineReader* OlderZoneFile() { return nullptr; }
        // Where the entries go instead of the output list (run/entry_sink.h),
        // or null: the list is written.
        virtual EntrySink* RunEntrySink() { return nullptr; }

        // A read or write failure ended the run; called at most once, after
        // both files are closed and before SetFinalStatusText.
        virtual void ReportRunFailure(const std::string& message) = 0;
        // "[%u Lines]  [%u Names]" with the final counters.
        virtual void SetFinalStatusText(const std::string& text) = 0;
        // The run is over. This is the worker's last call on the context:
        // the caller may start a new run or go away as soon as it returns.
        virtual void ClearWorkerReference() = 0;
    };

    inline constexpr std::uint32_t kBatchLimit = 1000;
    // The default line limit (ExtractionSettings::lineLimit).
    inline constexpr std::uint32_t kLineCap = 2000000;

    // The extractor of a run: one of the two layouts that need nothing but
    // the run state, or one of the master-file layout's, which also take the
    // run's MasterRunState. Exactly one of the two is set.
    struct ExtractorChoice
    {
        Extractor extractor = nullptr;
        MasterExtractor masterExtractor = nullptr;

        friend bool operator==(const ExtractorChoice&, const ExtractorChoice&) = default;
    };

    // Picks the extractor of a run: any non-zero mode means name servers; zone
    // type 0 is the gTLD layout, 2 the master file, any other value the .SE
    // layout.
    ExtractorChoice ChooseExtractor(ExtractMode mode, std::int32_t zoneType);

    // Whether a run's entries carry their name servers ("NAME: S1,S2"):
    // domain runs in append mode.
    bool ServersAppended(ExtractMode mode);

    // How reading one zone file through a run's extractor ended.
    struct ZoneReadEnd
    {
        // The entry handler reported a failed write.
        bool outputFailed = false;
        // The run reached the line limit.
        bool limitReached = false;
        // A line too long for the memory left (or the handler ran out).
        bool outOfMemory = false;
    };

    // Gets each batch's finished entries, the first `count` of the batch;
    // returns false when writing them failed.
    using EntryHandler = std::function<bool(const Batch& batch, std::size_t count)>;

    // What the reading of one zone file needs to know of its run.
    struct ZoneReading
    {
        ExtractMode mode = ExtractMode::Domains;
        std::int32_t zoneType = 0;
        LineEnd lineEnd = LineEnd::CrLf;
        OutputForm form = OutputForm::List;
        // 0: none.
        std::uint64_t lineLimit = 0;
    };

    // Reads the zone file from its current line to its end (or to the line
    // limit, abort, or a failure) with the extractor of the mode and layout,
    // handing over entries batch by batch. In append mode the last entry of
    // a batch is held back until no further line can add to it. The file
    // stays open.
    ZoneReadEnd ReadZoneEntries(ZoneLineReader& zoneFile, const ZoneReading& reading, const EntryHandler& handle);

    // What a run does between the worker's start and its end: reads the
    // context's zone file (or files) with `reading`, writes the output file,
    // closes every file of the context, and returns the message of a failure
    // that ended the run.
    using RunBody = std::optional<std::string> (*)(RunContext& context, const ZoneReading& reading);

    // The body of a plain run: every entry of the zone file's list to the
    // output.
    std::optional<std::string> ExtractZone(RunContext& context, const ZoneReading& reading);

    // The thread procedure of a run with `body`: enters the context's run,
    // takes the run's settings,
    // runs the body, reports its failure, sets the final status text and
    // clears the worker reference. Always returns 0.
    std::uint32_t RunWithBody(RunContext* context, RunBody body);

    // The thread procedure of a plain run (RunWithBody with ExtractZone).
    // The caller chooses: a comparison has a worker of its own.
    std::uint32_t ExtractionWorker(RunContext* context);
}
