#pragma once

// Runs many jobs (one per zone) on a few worker threads and combines their
// outputs into one stream in the jobs' list order, whatever order they end
// in. A job's body is a callback, so this knows nothing of how a zone is read.
//
// Combining: the first job of the list that has not been combined yet (the
// head) writes straight into the combined output; the jobs after it write
// into temporary files, each appended when its turn comes. A job that fails
// contributes nothing: when the head fails, what it wrote is taken back
// (CombinedOutput::TakeBackTo). An output that cannot take bytes back (a
// pipe) gets no job straight through: every job's output waits in its
// temporary file until the job has succeeded.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plexor
{
    // Where a job writes its output.
    class JobOutput
    {
    public:
        virtual ~JobOutput() = default;
        // False once writing failed (the combined output or the temporary
        // file); the job should stop and fail.
        virtual bool Write(std::string_view bytes) = 0;
    };

    struct JobResult
    {
        bool ok = true;
        // Why it failed, when not ok.
        std::string failure;
    };

    struct ZoneJob
    {
        std::function<JobResult(JobOutput&)> body;
        // The job's expected size (a zone file's size), for the start order.
        std::uint64_t size = 0;
    };

    // The combined stream.
    class CombinedOutput
    {
    public:
        virtual ~CombinedOutput() = default;
        virtual bool Write(std::string_view bytes) = 0;
        // Whether TakeBackTo works; false sends every job through a
        // temporary file.
        virtual bool CanTakeBack() const { return false; }
        // Drops every byte after the first `size` written.
        virtual bool TakeBackTo(std::uint64_t size)
        {
            static_cast<void>(size);
            return false;
        }
        // Why the last Write or TakeBackTo failed.
        virtual std::string Failure() const { return {}; }
    };

    // A combined output into a file (created or emptied), which can take
    // bytes back. Null with `failure` set when it cannot be opened.
    std::unique_ptr<CombinedOutput> MakeFileCombinedOutput(const std::filesystem::path& path, std::string& failure);

    // The order in which the jobs start; the output is combined in list
    // order whatever it is.
    enum class JobStart
    {
        InListOrder,
        // List order, but the jobs that would run past the others that way
        // first (JobStartOrder): for a combined output that takes jobs
        // straight through while they are the head.
        LongJobsEarly,
        // The largest jobs first: where every job's output waits anyway (an
        // output that cannot take bytes back, or none), so that the order
        // only decides when the last job ends.
        LargestFirst
    };

    struct JobOptions
    {
        // Worker threads; 0 counts as 1. More than the jobs are not started.
        unsigned workers = 1;
        JobStart start = JobStart::InListOrder;
        // The folder of the temporary files; empty: the system's temporary
        // folder. Their names start with "." and are removed as soon as the
        // file is open (on Windows: when it is closed), so that a killed
        // process leaves none behind.
        std::filesystem::path spillFolder;
    };

    struct JobsOutcome
    {
        // One per job, in list order. A job whose output could not be
        // kept or combined has failed, with that reason.
        std::vector<JobResult> results;
        // Set when writing the combined output failed; the jobs after it
        // have failed.
        std::optional<std::string> outputFailure;
    };

    // The order in which jobs of these sizes start on `workers` workers.
    // In list order every job but the head waits for the jobs before it to
    // be combined, and what it writes meanwhile is kept aside and copied
    // later, so list order is kept where it costs no time: a job is moved
    // to the front (the largest of those first) only when, started in list
    // order, it would still run after the others have ended, that is when
    // `workers` - 1 times its size exceeds the sizes of the jobs after it.
    // One worker: list order.
    std::vector<std::size_t> JobStartOrder(const std::vector<std::uint64_t>& sizes, unsigned workers);

    // Runs every job and combines their outputs into `output` (null: the
    // jobs' outputs are dropped, as when each job writes its own file).
    // Returns when all jobs have ended.
    JobsOutcome RunZoneJobs(const std::vector<ZoneJob>& jobs, const JobOptions& options, CombinedOutput* output);
}
