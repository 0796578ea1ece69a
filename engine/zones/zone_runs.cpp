#include "zones/zone_runs.h"

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <future>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "compare/zone_changes.h"
#include "extraction/run_messages.h"
#include "output/output_writer.h"
#include "run/headless_run.h"
#include "scan/path_text.h"
#include "zones/layout_recognition.h"
#include "zones/zone_jobs.h"

namespace plexor
{
    namespace fs = std::filesystem;

    namespace
    {
        // A zone's job writes through its headless run's output writer.
        class JobSink final : public OutputSink
        {
        public:
            explicit JobSink(JobOutput& output) : m_output(output) {}
            bool Write(std::string_view bytes) override { return m_output.Write(bytes); }

        private:
            JobOutput& m_output;
        };

        // The combined output after bytes written before the zones' (a
        // table's header line): what the jobs take back stays above them.
        class OffsetOutput final : public CombinedOutput
        {
        public:
            OffsetOutput(CombinedOutput& inner, std::uint64_t offset) : m_inner(inner), m_offset(offset) {}
            bool Write(std::string_view bytes) override { return m_inner.Write(bytes); }
            bool CanTakeBack() const override { return m_inner.CanTakeBack(); }
            bool TakeBackTo(std::uint64_t size) override { return m_inner.TakeBackTo(m_offset + size); }
            std::string Failure() const override { return m_inner.Failure(); }

        private:
            CombinedOutput& m_inner;
            std::uint64_t m_offset;
        };

        // Standard output, which cannot take bytes back: every zone's
        // output waits in a temporary file until the zone has succeeded.
        class StandardOutput final : public CombinedOutput
        {
        public:
            StandardOutput()
            {
#ifdef _WIN32
                _setmode(_fileno(stdout), _O_BINARY);
#endif
            }
            bool Write(std::string_view bytes) override
            {
                if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() && std::fflush(stdout) == 0)
                    return true;
                m_failure = std::generic_category().message(errno);
                return false;
            }
            std::string Failure() const override { return m_failure; }

        private:
            std::string m_failure;
        };

        // What each job has done so far, for the progress over all files.
        struct ZoneProgressSlot
        {
            std::atomic<std::uint64_t> rawBytesRead {0};
            std::atomic<std::uint64_t> linesRead {0};
            std::atomic<std::uint64_t> namesExtracted {0};
        };

        std::uint64_t StoredSize(const ZoneFile& zone)
        {
            std::error_code error;
            const std::uintmax_t size = zone.standardInput ? 0 : fs::file_size(zone.path, error);
            return error ? 0 : static_cast<std::uint64_t>(size);
        }

        // Every zone's layout and origin, read side by side.
        std::vector<LayoutRecognition> RecogniseAll(const std::vector<const ZoneFile*>& files, unsigned workers)
        {
            std::vector<LayoutRecognition> found(files.size());
            std::vector<ZoneJob> jobs(files.size());
            for (std::size_t i = 0; i < files.size(); ++i)
            {
                jobs[i].body = [&, i](JobOutput&) {
                    const ZoneFile& file = *files[i];
                    if (file.standardInput)
                        found[i].reason = "layout not recognised: standard input is read once, by the run";
                    else if (!file.failure.empty())
                        found[i].reason = file.failure;
                    else
                        found[i] = RecogniseLayout(file.path);
                    return JobResult {};
                };
            }
            JobOptions options;
            options.workers = workers;
            RunZoneJobs(jobs, options, nullptr);
            return found;
        }

        // One zone's plan, fixed before any zone is read.
        struct ZonePlan
        {
            const ZoneFile* zone = nullptr;
            std::string key;
            std::optional<ZoneLayout> layout;
            std::string failure; // known before the run: the row fails
            // A comparison: the older zone, or why there is none to use.
            const ZoneFile* older = nullptr;
            ZoneResult olderResult = ZoneResult::Ok; // NoOlderFile, OlderFileFailed
            std::string olderFailure;
            std::uint64_t size = 0; // stored bytes of both files
        };

        std::optional<ZoneLayout> LayoutOf(ZoneType type)
        {
            switch (type)
            {
            case ZoneType::Gtld:
                return ZoneLayout::Gtld;
            case ZoneType::Master:
                return ZoneLayout::Master;
            default:
                return ZoneLayout::Se;
            }
        }

        // The zone's own plan: its key, layout and what fails it.
        ZonePlan PlanZone(const ZoneFile& zone, const LayoutRecognition& found, const ZoneRunSetup& setup)
        {
            ZonePlan plan;
            plan.zone = &zone;
            plan.key = ZoneKey(found.origin, zone.path);
            plan.size = StoredSize(zone);
            if (!zone.failure.empty())
                plan.failure = zone.failure;
            else if (setup.layout)
                plan.layout = LayoutOf(*setup.layout);
            else if (found.layout)
                plan.layout = found.layout;
            else
                plan.failure = found.reason;
            return plan;
        }

        // Pairs each zone with its older zone; returns the older zones no
        // zone took.
        std::vector<std::size_t> PlanOlder(std::vector<ZonePlan>& plans, const std::vector<ZoneFile>& older,
                                           const std::vector<LayoutRecognition>& olderFound, const ZoneRunSetup& setup)
        {
            std::vector<std::string> todayKeys;
            for (const ZonePlan& plan : plans)
                todayKeys.push_back(plan.key);
            std::vector<std::string> olderKeys;
            for (std::size_t i = 0; i < older.size(); ++i)
                olderKeys.push_back(ZoneKey(olderFound[i].origin, older[i].path));
            const ZonePairing pairing = PairZones(todayKeys, olderKeys);
            for (std::size_t i = 0; i < plans.size(); ++i)
            {
                ZonePlan& plan = plans[i];
                if (!pairing.older[i])
                {
                    plan.olderResult = ZoneResult::NoOlderFile;
                    continue;
                }
                const std::size_t o = *pairing.older[i];
                const LayoutRecognition& found = olderFound[o];
                plan.older = &older[o];
                plan.size += StoredSize(older[o]);
                if (!older[o].failure.empty())
                    plan.olderFailure = older[o].failure;
                else if (!setup.layout && !found.layout)
                    plan.olderFailure = found.reason;
                else if (!setup.layout && plan.layout && found.layout != plan.layout)
                    plan.olderFailure = "its layout is " + std::string(LayoutName(*found.layout)) + ", not "
                                        + std::string(LayoutName(*plan.layout));
                if (!plan.olderFailure.empty())
                    plan.olderResult = ZoneResult::OlderFileFailed;
            }
            return pairing.onlyOlder;
        }

        // A message names the file it is about between quotes.
        bool MessageNames(const std::string& message, const ZoneFile& file)
        {
            return message.find("'" + PathText(file.path) + "'") != std::string::npos;
        }

        class ZonesRun
        {
        public:
            ZonesRun(const ZoneRunSetup& setup, std::vector<ZonePlan> plans)
                : m_setup(setup)
                , m_plans(std::move(plans))
                , m_rows(m_plans.size())
                , m_progress(m_plans.size())
            {
            }

            JobResult RunZone(std::size_t i, JobOutput& output);
            std::vector<ZoneRow>& Rows() { return m_rows; }
            const std::vector<ZonePlan>& Plans() const { return m_plans; }

            ZonesProgress Progress() const
            {
                ZonesProgress progress;
                progress.zones = m_plans.size();
                progress.zonesDone = m_done.load();
                for (std::size_t i = 0; i < m_plans.size(); ++i)
                {
                    progress.rawSize += m_plans[i].size;
                    progress.rawBytesRead += m_progress[i].rawBytesRead.load(std::memory_order_relaxed);
                    progress.linesRead += m_progress[i].linesRead.load(std::memory_order_relaxed);
                    progress.namesExtracted += m_progress[i].namesExtracted.load(std::memory_order_relaxed);
                }
                return progress;
            }

        private:
            bool StopRequested() const { return m_setup.stopRequested && m_setup.stopRequested(); }
            HeadlessRunOptions OptionsFor(const ZonePlan& plan, ZoneProgressSlot& slot) const;
            JobResult Read(const ZonePlan& plan, ZoneRow& row, ZoneProgressSlot& slot, JobOutput& output);

            const ZoneRunSetup& m_setup;
            std::vector<ZonePlan> m_plans;
            std::vector<ZoneRow> m_rows;
            std::vector<ZoneProgressSlot> m_progress;
            std::atomic<std::size_t> m_done {0};
        };

        HeadlessRunOptions ZonesRun::OptionsFor(const ZonePlan& plan, ZoneProgressSlot& slot) const
        {
            HeadlessRunOptions options;
            options.zoneFromStandardInput = plan.zone->standardInput;
            options.lineEnd = m_setup.lineEnd;
            options.form = m_setup.form;
            if (m_setup.zoneColumn && m_setup.form != OutputForm::List)
                options.zoneColumn = plan.key;
            // A combined table has its header line once, above every zone.
            options.tableHeader = !m_setup.output.folder.empty();
            if (plan.older != nullptr)
            {
                options.changes = m_setup.changes;
                options.olderZonePath = plan.older->path;
                options.comparisonBody = &CompareZones;
            }
            options.watch = [this, &slot](const HeadlessRunProgress& progress) {
                slot.rawBytesRead.store(progress.rawBytesRead, std::memory_order_relaxed);
                slot.linesRead.store(progress.linesRead, std::memory_order_relaxed);
                slot.namesExtracted.store(progress.namesExtracted, std::memory_order_relaxed);
                // On this thread the zone's run is the current one.
                if (StopRequested())
                    SetAbortRequested(true);
            };
            options.watchInterval = m_setup.watchInterval;
            return options;
        }

        JobResult ZonesRun::RunZone(std::size_t i, JobOutput& output)
        {
            const ZonePlan& plan = m_plans[i];
            ZoneRow& row = m_rows[i];
            row.file = plan.zone->display;
            row.zone = plan.key;
            row.read = false;
            if (plan.layout)
                row.layout = std::string(LayoutName(*plan.layout));
            const auto start = std::chrono::steady_clock::now();
            JobResult result;
            if (!plan.failure.empty())
            {
                row.result = ZoneResult::Failed;
                row.reason = plan.failure;
                result = {false, plan.failure};
            }
            else if (m_setup.changes != ZoneChanges::None && plan.olderResult != ZoneResult::Ok)
            {
                // Nothing to compare with: no names, and not a failure of
                // the combined output.
                row.result = plan.olderResult;
                row.reason = plan.olderFailure;
            }
            else if (StopRequested())
            {
                row.result = ZoneResult::Failed;
                row.reason = "stopped before it was read";
                result = {false, row.reason};
            }
            else
            {
                row.read = true;
                result = Read(plan, row, m_progress[i], output);
            }
            const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
            row.seconds = seconds.count();
            m_progress[i].rawBytesRead.store(plan.size);
            ++m_done;
            return result;
        }

        JobResult ZonesRun::Read(const ZonePlan& plan, ZoneRow& row, ZoneProgressSlot& slot, JobOutput& output)
        {
            HeadlessRunOptions options = OptionsFor(plan, slot);
            JobSink sink(output);
            fs::path finalPath;
            fs::path outputPath;
            if (m_setup.output.folder.empty())
            {
                options.outputSink = &sink;
                options.outputSinkName = m_setup.outputToStandardOutput ? OutputWriter::kStandardOutputName
                                                                        : PathText(m_setup.output.file);
            }
            else
            {
                finalPath = m_setup.output.folder / OutputNameFor(plan.zone->path);
                outputPath = PartialOutputPath(finalPath);
            }
            const HeadlessRunResult run = RunHeadless(plan.zone->path, outputPath, m_setup.mode,
                                                      static_cast<std::int32_t>(ToZoneType(*plan.layout)),
                                                      m_setup.filters, options);
            row.lines = run.linesRead;
            row.names = run.namesExtracted;
            slot.linesRead.store(run.linesRead);
            slot.namesExtracted.store(run.namesExtracted);
            std::string failure;
            if (run.error)
            {
                failure = FailureReason(*run.error);
                const bool olderFailed = plan.older != nullptr && MessageNames(*run.error, *plan.older);
                row.result = olderFailed ? ZoneResult::OlderFileFailed : ZoneResult::Failed;
            }
            else if (run.stopped || run.comparisonAborted)
            {
                failure = "stopped before its end";
                row.result = ZoneResult::Failed;
            }
            else
            {
                row.result = run.stoppedAtLineLimit ? ZoneResult::LineLimit : ZoneResult::Ok;
                if (!finalPath.empty())
                {
                    if (const std::error_code error = CommitOutput(outputPath, finalPath))
                    {
                        failure = "the output could not be renamed to " + PathText(finalPath) + ": " + error.message();
                        row.result = ZoneResult::Failed;
                    }
                }
            }
            if (failure.empty())
                return {};
            row.reason = failure;
            if (!outputPath.empty())
            {
                std::error_code ignored;
                fs::remove(outputPath, ignored);
            }
            return {false, failure};
        }

        // The combined output, with a table's header line written first.
        struct Combined
        {
            std::unique_ptr<CombinedOutput> output;
            std::unique_ptr<OffsetOutput> afterHeader;
            std::optional<std::string> failure;
        };

        Combined OpenCombined(const ZoneRunSetup& setup)
        {
            Combined combined;
            if (setup.outputToStandardOutput)
                combined.output = std::make_unique<StandardOutput>();
            else
            {
                std::string failure;
                combined.output = MakeFileCombinedOutput(setup.output.file, failure);
                if (!combined.output)
                {
                    combined.failure = UnableToOpenMessage(PathText(setup.output.file), failure);
                    return combined;
                }
            }
            std::string header;
            EntryColumns columns;
            columns.lookalike = setup.filters.lookalike != nullptr;
            columns.zone = setup.zoneColumn;
            AppendTableHeader(setup.form, columns, header);
            if (!header.empty() && !combined.output->Write(header))
                combined.failure = UnableToWriteMessage(
                    setup.outputToStandardOutput ? OutputWriter::kStandardOutputName : PathText(setup.output.file),
                    combined.output->Failure());
            combined.afterHeader = std::make_unique<OffsetOutput>(*combined.output, header.size());
            return combined;
        }

        // Runs the jobs on other threads while this one calls the watch.
        JobsOutcome RunWatched(ZonesRun& run, const std::vector<ZoneJob>& jobs, const JobOptions& options,
                               CombinedOutput* output, const ZoneRunSetup& setup)
        {
            if (!setup.watch)
                return RunZoneJobs(jobs, options, output);
            JobsOutcome outcome;
            std::mutex mutex;
            std::condition_variable ended;
            bool done = false;
            std::thread runner([&] {
                JobsOutcome result = RunZoneJobs(jobs, options, output);
                std::lock_guard lock(mutex);
                outcome = std::move(result);
                done = true;
                ended.notify_all();
            });
            std::unique_lock lock(mutex);
            while (!ended.wait_for(lock, setup.watchInterval, [&] { return done; }))
            {
                lock.unlock();
                setup.watch(run.Progress());
                lock.lock();
            }
            lock.unlock();
            runner.join();
            setup.watch(run.Progress());
            return outcome;
        }

        ZoneRow OnlyOlderRow(const ZoneFile& older, const LayoutRecognition& found)
        {
            ZoneRow row;
            row.file = older.display;
            row.zone = ZoneKey(found.origin, older.path);
            if (found.layout)
                row.layout = std::string(LayoutName(*found.layout));
            row.read = false;
            row.result = ZoneResult::OnlyInOlderFolder;
            return row;
        }
    }

    std::string FailureReason(const std::string& message)
    {
        std::string reason = message;
        constexpr std::string_view kPrefix = "Error: ";
        if (reason.starts_with(kPrefix))
            reason.erase(0, kPrefix.size());
        for (std::size_t at = reason.find('\n'); at != std::string::npos; at = reason.find('\n', at))
            reason.replace(at, 1, ": ");
        return reason;
    }

    ZonesOutcome RunZones(const std::vector<ZoneFile>& zones, const ZoneRunSetup& setup)
    {
        ZonesOutcome outcome;
        const bool comparison = setup.changes != ZoneChanges::None;
        std::vector<const ZoneFile*> files;
        for (const ZoneFile& zone : zones)
            files.push_back(&zone);
        if (comparison)
        {
            for (const ZoneFile& older : setup.olderZones)
                files.push_back(&older);
        }
        // The combined output is opened while the layouts are recognised:
        // emptying a large file left by an earlier run takes the system a
        // while, which need not hold up the zones.
        std::future<Combined> opening;
        if (setup.output.folder.empty())
            opening = std::async(std::launch::async, [&setup] { return OpenCombined(setup); });
        const std::vector<LayoutRecognition> found = RecogniseAll(files, setup.jobs);

        std::vector<ZonePlan> plans;
        for (std::size_t i = 0; i < zones.size(); ++i)
            plans.push_back(PlanZone(zones[i], found[i], setup));
        const std::vector<LayoutRecognition> olderFound(found.begin() + static_cast<std::ptrdiff_t>(zones.size()),
                                                        found.end());
        std::vector<std::size_t> onlyOlder;
        if (comparison)
            onlyOlder = PlanOlder(plans, setup.olderZones, olderFound, setup);

        Combined combined;
        if (opening.valid())
        {
            combined = opening.get();
            if (combined.failure)
            {
                outcome.outputFailure = combined.failure;
                return outcome;
            }
        }

        ZonesRun run(setup, std::move(plans));
        std::vector<ZoneJob> jobs(zones.size());
        for (std::size_t i = 0; i < zones.size(); ++i)
        {
            jobs[i].body = [&run, i](JobOutput& output) { return run.RunZone(i, output); };
            jobs[i].size = run.Plans()[i].size;
        }
        JobOptions options;
        options.workers = setup.jobs;
        // Into a combined file: zones in list order, so that each is read
        // straight into it when its turn comes while it is read, and a zone
        // that would end after the others that way (a large one late in
        // the list) first. Into a folder or a pipe no zone's output waits
        // for another's, or every one does: the largest first.
        const bool straightThrough = setup.output.folder.empty() && !setup.outputToStandardOutput;
        options.start = straightThrough ? JobStart::LongJobsEarly : JobStart::LargestFirst;
        if (!setup.outputToStandardOutput && setup.output.folder.empty())
            options.spillFolder = fs::absolute(setup.output.file).parent_path();
        const JobsOutcome jobsOutcome = RunWatched(run, jobs, options, combined.afterHeader.get(), setup);

        outcome.rows = std::move(run.Rows());
        for (std::size_t i = 0; i < outcome.rows.size(); ++i)
        {
            // A zone whose output could not be kept or combined failed,
            // whatever its run said.
            const JobResult& job = jobsOutcome.results[i];
            ZoneRow& row = outcome.rows[i];
            if (!job.ok && (row.result == ZoneResult::Ok || row.result == ZoneResult::LineLimit))
            {
                row.result = ZoneResult::Failed;
                row.reason = job.failure;
            }
        }
        for (const std::size_t o : onlyOlder)
            outcome.rows.push_back(OnlyOlderRow(setup.olderZones[o], olderFound[o]));
        if (jobsOutcome.outputFailure)
            outcome.outputFailure = UnableToWriteMessage(
                setup.outputToStandardOutput ? OutputWriter::kStandardOutputName : PathText(setup.output.file),
                *jobsOutcome.outputFailure);
        return outcome;
    }
}
