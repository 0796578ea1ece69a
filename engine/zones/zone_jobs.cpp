#include "zones/zone_jobs.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <mutex>
#include <numeric>
#include <random>
#include <system_error>
#include <thread>

namespace plexor
{
    namespace
    {
        std::string SystemReason(int error) { return std::generic_category().message(error); }

        std::FILE* OpenFile(const std::filesystem::path& path, const char* mode)
        {
#ifdef _WIN32
            std::wstring wideMode(mode, mode + std::strlen(mode));
            return _wfopen(path.c_str(), wideMode.c_str());
#else
            return std::fopen(path.c_str(), mode);
#endif
        }

        // A job's output while it waits for its turn: a temporary file whose
        // name is removed as soon as it is open (on Windows the file is
        // deleted when it is closed), so that it goes with the object, and a
        // process that is killed leaves no temporary file behind.
        class SpillFile
        {
        public:
            SpillFile(const SpillFile&) = delete;
            SpillFile& operator=(const SpillFile&) = delete;
            SpillFile() = default;
            ~SpillFile()
            {
                if (m_file != nullptr)
                    std::fclose(m_file);
            }

            bool Open(const std::filesystem::path& folder, std::string& failure)
            {
                // A name no other run picks: the random token makes a clash
                // with another process as unlikely as guessing 64 bits.
                static std::atomic<std::uint64_t> counter {0};
                std::random_device random;
                const std::uint64_t token = (std::uint64_t {random()} << 32) ^ random() ^ ++counter;
                char name[48];
                std::snprintf(name, sizeof name, ".plexor-part-%016llx.tmp", static_cast<unsigned long long>(token));
                const std::filesystem::path path = folder / name;
#ifdef _WIN32
                m_file = OpenFile(path, "w+bD");
#else
                m_file = OpenFile(path, "w+b");
                if (m_file != nullptr)
                {
                    std::error_code ignored;
                    std::filesystem::remove(path, ignored);
                }
#endif
                if (m_file == nullptr)
                    failure = "a temporary file could not be created: " + SystemReason(errno);
                return m_file != nullptr;
            }

            bool Write(std::string_view bytes, std::string& failure)
            {
                if (std::fwrite(bytes.data(), 1, bytes.size(), m_file) == bytes.size())
                    return true;
                failure = "writing a temporary file failed: " + SystemReason(errno);
                return false;
            }

            // Appends everything written so far to `output`.
            bool CopyTo(CombinedOutput& output, std::uint64_t& written, std::string& failure)
            {
                if (std::fflush(m_file) != 0 || std::fseek(m_file, 0, SEEK_SET) != 0)
                {
                    failure = "reading a temporary file failed: " + SystemReason(errno);
                    return false;
                }
                std::vector<char> buffer(1 << 16);
                for (;;)
                {
                    const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), m_file);
                    if (got > 0)
                    {
                        if (!output.Write(std::string_view(buffer.data(), got)))
                        {
                            failure = output.Failure();
                            return false;
                        }
                        written += got;
                    }
                    if (got < buffer.size())
                        break;
                }
                if (std::ferror(m_file) != 0)
                {
                    failure = "reading a temporary file failed: " + SystemReason(errno);
                    return false;
                }
                // Writing goes on at the end (a job promoted to stream
                // straight through writes no more here, but stays correct).
                return std::fseek(m_file, 0, SEEK_END) == 0;
            }

        private:
            std::FILE* m_file = nullptr;
        };

        struct JobState
        {
            std::mutex mutex; // the fields up to `failure`
            bool direct = false;
            // What the job wrote while it waited, in memory while the jobs'
            // waiting bytes together stay within kPendingBudget, then in its
            // spill file (after these bytes).
            std::string pending;
            std::unique_ptr<SpillFile> spill;
            std::string failure; // why writing failed; empty while it works
            bool outputFailed = false; // writing the combined output failed
            std::uint64_t directStart = 0;
            bool done = false; // from here on: under the combiner's mutex
            JobResult result;
        };

        class Combiner
        {
        public:
            Combiner(CombinedOutput* output, std::filesystem::path folder, std::size_t jobs)
                : m_output(output), m_folder(std::move(folder)), m_states(jobs)
            {
                for (auto& state : m_states)
                    state = std::make_unique<JobState>();
                std::lock_guard lock(m_mutex);
                Promote();
            }

            bool Write(std::size_t index, std::string_view bytes)
            {
                JobState& state = *m_states[index];
                std::lock_guard lock(state.mutex);
                if (!state.failure.empty())
                    return false;
                if (m_output == nullptr || bytes.empty())
                    return true;
                if (state.direct)
                {
                    if (m_output->Write(bytes))
                    {
                        m_written += bytes.size();
                        return true;
                    }
                    state.failure = "writing the output failed: " + m_output->Failure();
                    state.outputFailed = true;
                    return false;
                }
                if (!state.spill && state.pending.size() + bytes.size() <= kPendingPerJob
                    && m_pendingBytes.load() + bytes.size() <= kPendingBudget)
                {
                    state.pending.append(bytes);
                    m_pendingBytes += bytes.size();
                    return true;
                }
                if (!state.spill)
                {
                    // Past what a job may keep in memory: everything from
                    // its first byte on goes to its spill file.
                    state.spill = std::make_unique<SpillFile>();
                    if (!state.spill->Open(m_folder, state.failure) || !state.spill->Write(state.pending, state.failure))
                        return false;
                    DropPending(state);
                }
                return state.spill->Write(bytes, state.failure);
            }

            void Finish(std::size_t index, JobResult result)
            {
                std::unique_lock lock(m_mutex);
                JobState& state = *m_states[index];
                {
                    // A job that could not write fails for that reason,
                    // whatever it says; the combined output's failure is
                    // the run's too.
                    std::lock_guard jobLock(state.mutex);
                    if (!state.failure.empty())
                        result = {false, state.failure};
                    if (state.outputFailed)
                        Fail(state.failure);
                }
                state.done = true;
                state.result = std::move(result);
                // One thread at a time combines the ended heads, and does it
                // outside the mutex: copying a waiting job's output can take
                // a while, and the other workers' jobs end meanwhile without
                // waiting for it (the combining thread takes them up too).
                if (m_combining)
                    return;
                m_combining = true;
                while (m_head < m_states.size() && m_states[m_head]->done)
                {
                    JobState& head = *m_states[m_head];
                    const bool outputFailed = m_outputFailure.has_value();
                    lock.unlock();
                    std::optional<std::string> failure = Combine(head, outputFailed);
                    lock.lock();
                    if (failure)
                        Fail(*failure);
                    ++m_head;
                }
                Promote();
                m_combining = false;
            }

            JobsOutcome Outcome()
            {
                JobsOutcome outcome;
                for (auto& state : m_states)
                    outcome.results.push_back(std::move(state->result));
                outcome.outputFailure = m_outputFailure;
                return outcome;
            }

        private:
            // The head has ended: its output joins the combined stream, or
            // what it wrote there is taken back. By the combining thread,
            // outside m_mutex (no job writes to the combined output then:
            // the next head is promoted afterwards); `outputFailed` tells
            // whether writing the combined output has failed before.
            // Returns the combined output's failure, if this brought one.
            std::optional<std::string> Combine(JobState& state, bool outputFailed)
            {
                JobResult& result = state.result;
                std::optional<std::string> failure;
                if (result.ok && outputFailed)
                {
                    const std::lock_guard lock(m_mutex);
                    result = {false, "writing the output failed: " + *m_outputFailure};
                }
                if (state.direct)
                {
                    if (!result.ok && !m_output->TakeBackTo(state.directStart))
                        failure = m_output->Failure();
                    else if (!result.ok)
                        m_written = state.directStart;
                    else if (!state.failure.empty())
                        failure = state.failure;
                }
                else if (result.ok && m_output != nullptr)
                {
                    std::string reason;
                    if (!WritePending(state, reason) || (state.spill && !state.spill->CopyTo(*m_output, m_written, reason)))
                    {
                        result = {false, reason};
                        failure = reason;
                    }
                }
                DropPending(state);
                state.spill.reset();
                return failure;
            }

            // The job's bytes kept in memory, to the combined output.
            bool WritePending(JobState& state, std::string& failure)
            {
                if (state.pending.empty())
                    return true;
                if (!m_output->Write(state.pending))
                {
                    failure = "writing the output failed: " + m_output->Failure();
                    return false;
                }
                m_written += state.pending.size();
                return true;
            }

            void DropPending(JobState& state)
            {
                m_pendingBytes -= state.pending.size();
                std::string().swap(state.pending);
            }

            // The new head, if it is still running, writes straight through
            // from now on, after what it has written so far.
            void Promote()
            {
                if (m_output == nullptr || !m_output->CanTakeBack() || m_outputFailure || m_head >= m_states.size())
                    return;
                JobState& state = *m_states[m_head];
                std::lock_guard jobLock(state.mutex);
                if (state.direct)
                    return; // promoted when it became the head
                // Direct even when the copy fails: the job fails then, and
                // what the copy wrote is taken back with the rest.
                state.directStart = m_written;
                if (state.failure.empty() && WritePending(state, state.failure) && state.spill)
                    state.spill->CopyTo(*m_output, m_written, state.failure);
                DropPending(state);
                state.spill.reset();
                state.direct = true;
            }

            void Fail(const std::string& failure)
            {
                if (!m_outputFailure)
                    m_outputFailure = failure;
            }

            CombinedOutput* m_output;
            std::filesystem::path m_folder;
            std::vector<std::unique_ptr<JobState>> m_states;
            std::mutex m_mutex;
            std::size_t m_head = 0;
            // A thread is combining the ended heads (Finish).
            bool m_combining = false;
            // Bytes in the combined output; written by one thread at a
            // time (the head job, or the thread that combines), each handing
            // over through a mutex.
            std::uint64_t m_written = 0;
            std::optional<std::string> m_outputFailure;
            // The waiting jobs' bytes in memory: at most kPendingPerJob a
            // job and kPendingBudget together. A job past either writes to
            // its spill file, so that memory stays near the runs' own
            // however many zones wait for the head, while the many small
            // zones of a pull need no file each.
            static constexpr std::size_t kPendingPerJob = std::size_t {256} << 10;
            static constexpr std::size_t kPendingBudget = std::size_t {4} << 20;
            std::atomic<std::size_t> m_pendingBytes {0};
        };

        class CombinerOutput final : public JobOutput
        {
        public:
            CombinerOutput(Combiner& combiner, std::size_t index) : m_combiner(combiner), m_index(index) {}
            bool Write(std::string_view bytes) override { return m_combiner.Write(m_index, bytes); }

        private:
            Combiner& m_combiner;
            std::size_t m_index;
        };

        JobResult RunBody(const ZoneJob& job, JobOutput& output)
        {
            if (!job.body)
                return {false, "no job"};
            try
            {
                return job.body(output);
            }
            catch (const std::exception& error)
            {
                return {false, error.what()};
            }
            catch (...)
            {
                return {false, "unknown error"};
            }
        }

        class FileCombinedOutput final : public CombinedOutput
        {
        public:
            FileCombinedOutput(std::FILE* file, std::filesystem::path path) : m_file(file), m_path(std::move(path)) {}
            ~FileCombinedOutput() override { std::fclose(m_file); }
            bool Write(std::string_view bytes) override
            {
                if (std::fwrite(bytes.data(), 1, bytes.size(), m_file) == bytes.size() && std::fflush(m_file) == 0)
                    return true;
                m_failure = SystemReason(errno);
                return false;
            }
            bool CanTakeBack() const override { return true; }
            bool TakeBackTo(std::uint64_t size) override
            {
                std::error_code error;
                if (std::fflush(m_file) == 0)
                    std::filesystem::resize_file(m_path, size, error);
                else
                    error = std::error_code(errno, std::generic_category());
                if (!error && std::fseek(m_file, 0, SEEK_END) != 0)
                    error = std::error_code(errno, std::generic_category());
                if (error)
                    m_failure = error.message();
                return !error;
            }
            std::string Failure() const override { return m_failure; }

        private:
            std::FILE* m_file;
            std::filesystem::path m_path;
            std::string m_failure;
        };
    }

    std::vector<std::size_t> JobStartOrder(const std::vector<std::uint64_t>& sizes, unsigned workers)
    {
        const long double others = std::max(workers, 1u) - 1;
        std::vector<std::size_t> early;
        std::vector<std::size_t> inOrder;
        long double after = std::accumulate(sizes.begin(), sizes.end(), 0.0L);
        for (std::size_t i = 0; i < sizes.size(); ++i)
        {
            const long double size = static_cast<long double>(sizes[i]);
            after -= size;
            (others * size > after ? early : inOrder).push_back(i);
        }
        std::stable_sort(early.begin(), early.end(),
                         [&](std::size_t a, std::size_t b) { return sizes[a] > sizes[b]; });
        early.insert(early.end(), inOrder.begin(), inOrder.end());
        return early;
    }

    std::unique_ptr<CombinedOutput> MakeFileCombinedOutput(const std::filesystem::path& path, std::string& failure)
    {
        std::FILE* file = OpenFile(path, "wb");
        if (file == nullptr)
        {
            failure = SystemReason(errno);
            return nullptr;
        }
        return std::make_unique<FileCombinedOutput>(file, path);
    }

    JobsOutcome RunZoneJobs(const std::vector<ZoneJob>& jobs, const JobOptions& options, CombinedOutput* output)
    {
        std::filesystem::path folder = options.spillFolder;
        if (folder.empty())
        {
            std::error_code error;
            folder = std::filesystem::temp_directory_path(error);
        }
        Combiner combiner(output, folder, jobs.size());
        std::vector<std::uint64_t> sizes;
        for (const ZoneJob& job : jobs)
            sizes.push_back(job.size);
        std::vector<std::size_t> order(jobs.size());
        std::iota(order.begin(), order.end(), std::size_t {0});
        if (options.start == JobStart::LongJobsEarly)
            order = JobStartOrder(sizes, options.workers);
        else if (options.start == JobStart::LargestFirst)
            std::stable_sort(order.begin(), order.end(),
                             [&](std::size_t a, std::size_t b) { return sizes[a] > sizes[b]; });
        std::atomic<std::size_t> next {0};
        const auto work = [&] {
            for (std::size_t taken = next++; taken < order.size(); taken = next++)
            {
                const std::size_t index = order[taken];
                CombinerOutput jobOutput(combiner, index);
                combiner.Finish(index, RunBody(jobs[index], jobOutput));
            }
        };
        const std::size_t workers = std::clamp<std::size_t>(options.workers, 1, std::max<std::size_t>(jobs.size(), 1));
        std::vector<std::thread> threads;
        for (std::size_t i = 1; i < workers; ++i)
            threads.emplace_back(work);
        work();
        for (std::thread& thread : threads)
            thread.join();
        return combiner.Outcome();
    }
}
