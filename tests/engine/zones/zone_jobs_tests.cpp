#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <future>
#include <mutex>
#include <random>
#include <set>
#include <stdexcept>
#include <thread>

#include "engine_test_support.h"
#include "zones/zone_jobs.h"

namespace plexor
{
    namespace fs = std::filesystem;

    namespace
    {
        // A combined output in memory; `takeBack` chooses whether it can
        // take bytes back, `failAfter` makes writes fail past that size.
        class MemoryOutput final : public CombinedOutput
        {
        public:
            explicit MemoryOutput(bool takeBack, std::size_t failAfter = SIZE_MAX)
                : m_takeBack(takeBack), m_failAfter(failAfter)
            {
            }
            bool Write(std::string_view bytes) override
            {
                if (text.size() + bytes.size() > m_failAfter)
                    return false;
                text.append(bytes);
                return true;
            }
            bool CanTakeBack() const override { return m_takeBack; }
            bool TakeBackTo(std::uint64_t size) override
            {
                EXPECT_TRUE(m_takeBack);
                EXPECT_LE(size, text.size());
                text.resize(size);
                return true;
            }
            std::string Failure() const override { return "disk full"; }
            std::string text;

        private:
            bool m_takeBack;
            std::size_t m_failAfter;
        };

        // Holds each job at its gates until the test's thread lets it on,
        // so that jobs end, and write, in an order the test picks at random.
        class Gates
        {
        public:
            void Arrive(std::size_t job)
            {
                std::unique_lock lock(m_mutex);
                m_waiting.insert(job);
                m_changed.notify_all();
                m_changed.wait(lock, [&] { return m_released.count(job) != 0; });
                m_released.erase(job);
            }
            void Done()
            {
                std::lock_guard lock(m_mutex);
                ++m_done;
                m_changed.notify_all();
            }
            // Lets one waiting job on at a time, chosen by `random`, until
            // `jobs` jobs are done.
            void Drive(std::size_t jobs, std::mt19937& random)
            {
                std::unique_lock lock(m_mutex);
                for (;;)
                {
                    m_changed.wait(lock, [&] { return !m_waiting.empty() || m_done == jobs; });
                    if (m_waiting.empty())
                        return;
                    auto it = m_waiting.begin();
                    std::advance(it, random() % m_waiting.size());
                    m_released.insert(*it);
                    m_waiting.erase(it);
                    m_changed.notify_all();
                }
            }

        private:
            std::mutex m_mutex;
            std::condition_variable m_changed;
            std::set<std::size_t> m_waiting;
            std::set<std::size_t> m_released;
            std::size_t m_done = 0;
        };

        enum class Fault
        {
            None,
            AfterFirstPart,
            AfterSecondPart,
            AtTheEnd,
            Throws
        };

        struct Plan
        {
            std::vector<std::array<std::string, 3>> parts;
            std::vector<Fault> faults;
        };

        Plan RandomPlan(std::size_t jobs, std::mt19937& random)
        {
            Plan plan;
            for (std::size_t j = 0; j < jobs; ++j)
            {
                std::array<std::string, 3> parts;
                for (std::size_t p = 0; p < parts.size(); ++p)
                {
                    // Now and then a part larger than the spill copy's buffer.
                    const std::size_t size = random() % 8 == 0 ? 70000 + random() % 70000 : random() % 40;
                    const char letter = static_cast<char>('a' + (j * 3 + p) % 26);
                    parts[p] = std::to_string(j) + std::string(size, letter) + "\n";
                }
                plan.parts.push_back(parts);
                const unsigned roll = random() % 10;
                plan.faults.push_back(roll < 6 ? Fault::None : static_cast<Fault>(roll - 5));
            }
            return plan;
        }

        std::vector<ZoneJob> JobsOf(const Plan& plan, Gates& gates)
        {
            std::vector<ZoneJob> jobs;
            for (std::size_t j = 0; j < plan.parts.size(); ++j)
            {
                jobs.push_back({[&plan, &gates, j](JobOutput& output) -> JobResult {
                                    const auto& parts = plan.parts[j];
                                    const Fault fault = plan.faults[j];
                                    struct DoneOnExit
                                    {
                                        Gates& gates;
                                        ~DoneOnExit() { gates.Done(); }
                                    } done {gates};
                                    EXPECT_TRUE(output.Write(parts[0]));
                                    gates.Arrive(j);
                                    if (fault == Fault::AfterFirstPart)
                                        return {false, "fault 1"};
                                    EXPECT_TRUE(output.Write(parts[1]));
                                    gates.Arrive(j);
                                    if (fault == Fault::AfterSecondPart)
                                        return {false, "fault 2"};
                                    EXPECT_TRUE(output.Write(parts[2]));
                                    if (fault == Fault::Throws)
                                        throw std::runtime_error("thrown");
                                    return {fault != Fault::AtTheEnd, fault == Fault::AtTheEnd ? "fault 3" : ""};
                                },
                                plan.parts[j][0].size()});
            }
            return jobs;
        }

        std::string Expected(const Plan& plan)
        {
            std::string text;
            for (std::size_t j = 0; j < plan.parts.size(); ++j)
            {
                if (plan.faults[j] == Fault::None)
                    text += plan.parts[j][0] + plan.parts[j][1] + plan.parts[j][2];
            }
            return text;
        }

        const char* FailureOf(Fault fault)
        {
            switch (fault)
            {
            case Fault::AfterFirstPart:
                return "fault 1";
            case Fault::AfterSecondPart:
                return "fault 2";
            case Fault::AtTheEnd:
                return "fault 3";
            case Fault::Throws:
                return "thrown";
            case Fault::None:
                break;
            }
            return "";
        }

        fs::path EmptyFolder(std::string_view name)
        {
            const fs::path folder = test::TempPath(name);
            fs::remove_all(folder);
            fs::create_directories(folder);
            return folder;
        }
    }

    TEST(ZoneJobs, CombinedOutputIsTheListOrderConcatenationWhateverTheEndingOrder)
    {
        std::mt19937 random(2026);
        const fs::path spill = EmptyFolder("spill");
        for (unsigned workers = 1; workers <= 4; ++workers)
        {
            for (int trial = 0; trial < 24; ++trial)
            {
                const std::size_t count = 1 + random() % 9;
                const Plan plan = RandomPlan(count, random);
                Gates gates;
                const std::vector<ZoneJob> jobs = JobsOf(plan, gates);
                const bool takeBack = trial % 3 != 0;
                MemoryOutput memory(takeBack);
                std::string failure;
                const fs::path filePath = spill.parent_path() / "combined.txt";
                std::unique_ptr<CombinedOutput> file = MakeFileCombinedOutput(filePath, failure);
                ASSERT_TRUE(file) << failure;
                CombinedOutput* output = trial % 3 == 2 ? file.get() : &memory;
                JobOptions options;
                options.workers = workers;
                options.start = static_cast<JobStart>(trial / 3 % 3);
                options.spillFolder = spill;

                JobsOutcome outcome;
                std::thread runner([&] { outcome = RunZoneJobs(jobs, options, output); });
                std::mt19937 driver(random());
                gates.Drive(count, driver);
                runner.join();

                const std::string context = "workers " + std::to_string(workers) + ", trial " + std::to_string(trial);
                const bool toFile = output == file.get();
                file.reset(); // closed before it is read
                const std::string combined = toFile ? test::ReadFile(filePath.string()) : memory.text;
                EXPECT_EQ(combined, Expected(plan)) << context;
                EXPECT_FALSE(outcome.outputFailure) << context;
                ASSERT_EQ(outcome.results.size(), count) << context;
                for (std::size_t j = 0; j < count; ++j)
                {
                    EXPECT_EQ(outcome.results[j].ok, plan.faults[j] == Fault::None) << context << ", job " << j;
                    EXPECT_EQ(outcome.results[j].failure, FailureOf(plan.faults[j])) << context << ", job " << j;
                }
                EXPECT_TRUE(fs::is_empty(spill)) << context << ": a temporary file was left";
            }
        }
    }

    TEST(ZoneJobs, StartOrderMovesForwardOnlyTheJobsThatWouldRunPastTheOthers)
    {
        struct Case
        {
            std::vector<std::uint64_t> sizes;
            unsigned workers;
            std::vector<std::size_t> order;
        };
        const Case cases[] = {
            {{5, 50, 1, 50, 20}, 2, {3, 4, 0, 1, 2}},
            {{5, 50, 1, 50, 20}, 3, {1, 3, 4, 0, 2}},
            {{5, 50, 1, 50, 20}, 1, {0, 1, 2, 3, 4}},
            {{5, 50, 1, 50, 20}, 0, {0, 1, 2, 3, 4}},
            // A pull: the largest zone early in the list keeps its place.
            {{10, 57, 10, 30, 20, 1}, 2, {3, 4, 5, 0, 1, 2}},
            {{1, 1, 1, 100}, 2, {3, 0, 1, 2}},
            {{0, 0, 0}, 2, {0, 1, 2}},
            {{}, 2, {}},
        };
        for (const Case& c : cases)
            EXPECT_EQ(JobStartOrder(c.sizes, c.workers), c.order)
                << c.sizes.size() << " jobs, " << c.workers << " workers";
    }

    TEST(ZoneJobs, TheStartOrderIsTheOneAskedForAndTheOutputStaysInListOrder)
    {
        std::mutex mutex;
        std::vector<std::size_t> started;
        std::vector<ZoneJob> jobs;
        const std::uint64_t sizes[] = {5, 50, 1, 50, 20};
        for (std::size_t j = 0; j < std::size(sizes); ++j)
            jobs.push_back({[&, j](JobOutput& output) {
                                {
                                    std::lock_guard lock(mutex);
                                    started.push_back(j);
                                }
                                output.Write(std::to_string(j));
                                return JobResult {};
                            },
                            sizes[j]});
        MemoryOutput output(true);
        JobOptions options;
        options.start = JobStart::LargestFirst;
        RunZoneJobs(jobs, options, &output);
        EXPECT_EQ(started, (std::vector<std::size_t> {1, 3, 4, 0, 2}));
        EXPECT_EQ(output.text, "01234");

        // One worker: no job runs past the others.
        started.clear();
        output.text.clear();
        options.start = JobStart::LongJobsEarly;
        RunZoneJobs(jobs, options, &output);
        EXPECT_EQ(started, (std::vector<std::size_t> {0, 1, 2, 3, 4}));
        EXPECT_EQ(output.text, "01234");

        started.clear();
        options.start = JobStart::InListOrder;
        const JobsOutcome dropped = RunZoneJobs(jobs, options, nullptr);
        EXPECT_EQ(started, (std::vector<std::size_t> {0, 1, 2, 3, 4}));
        EXPECT_EQ(dropped.results.size(), 5u);
    }

    TEST(ZoneJobs, AFailingCombinedOutputFailsTheJobsNotYetCombined)
    {
        for (const bool takeBack : {true, false})
        {
            for (unsigned workers = 1; workers <= 3; ++workers)
            {
                std::vector<ZoneJob> jobs;
                for (int j = 0; j < 4; ++j)
                    jobs.push_back({[j](JobOutput& output) {
                                        const bool written = output.Write(std::string(10, static_cast<char>('a' + j)));
                                        return written ? JobResult {} : JobResult {false, "could not write"};
                                    },
                                    0});
                MemoryOutput output(takeBack, 25); // room for two jobs and a half
                JobOptions options;
                options.workers = workers;
                options.spillFolder = EmptyFolder("spill-full");
                const JobsOutcome outcome = RunZoneJobs(jobs, options, &output);
                const std::string context = std::string(takeBack ? "take back" : "spill") + ", workers "
                    + std::to_string(workers);
                EXPECT_EQ(output.text, std::string(10, 'a') + std::string(10, 'b')) << context;
                ASSERT_TRUE(outcome.outputFailure) << context;
                EXPECT_TRUE(outcome.results[0].ok && outcome.results[1].ok) << context;
                EXPECT_FALSE(outcome.results[2].ok || outcome.results[3].ok) << context;
                EXPECT_TRUE(fs::is_empty(options.spillFolder)) << context;
            }
        }
    }

    TEST(ZoneJobs, ATemporaryFileThatCannotBeMadeFailsItsJobOnly)
    {
        // Jobs that wait keep a few hundred KiB in memory; these write more.
        const std::string big(std::size_t {1} << 20, 'x');
        std::vector<ZoneJob> jobs;
        for (int j = 0; j < 3; ++j)
            jobs.push_back({[j, &big](JobOutput& output) {
                                return output.Write(std::to_string(j)) && output.Write(big) ? JobResult {}
                                                                                              : JobResult {false, "stopped"};
                            },
                            0});
        MemoryOutput output(false); // every job goes through a temporary file
        JobOptions options;
        options.spillFolder = test::TempPath("no-such-folder");
        const JobsOutcome outcome = RunZoneJobs(jobs, options, &output);
        EXPECT_EQ(output.text, "");
        for (const JobResult& result : outcome.results)
        {
            EXPECT_FALSE(result.ok);
            EXPECT_TRUE(result.failure.starts_with("a temporary file could not be created: ")) << result.failure;
        }
        EXPECT_FALSE(outcome.outputFailure);
    }

#ifndef _WIN32
    TEST(ZoneJobs, AWaitingJobsTemporaryFileHasNoNameWhileItIsUsed)
    {
        // A killed process must leave nothing behind: the second job's
        // large output waits in a file that the folder no longer lists.
        const fs::path spill = EmptyFolder("spill-unnamed");
        const std::string big(std::size_t {1} << 20, 'x');
        std::promise<void> written;
        std::shared_future<void> writtenFuture = written.get_future().share();
        bool listedWhileWaiting = true;
        std::vector<ZoneJob> jobs;
        jobs.push_back({[&](JobOutput& output) {
                            writtenFuture.wait();
                            listedWhileWaiting = !fs::is_empty(spill);
                            return output.Write("head\n") ? JobResult {} : JobResult {false, "stopped"};
                        },
                        0});
        jobs.push_back({[&](JobOutput& output) {
                            const bool ok = output.Write(big);
                            written.set_value();
                            return ok ? JobResult {} : JobResult {false, "stopped"};
                        },
                        0});
        MemoryOutput output(true);
        JobOptions options;
        options.workers = 2;
        options.spillFolder = spill;
        const JobsOutcome outcome = RunZoneJobs(jobs, options, &output);
        EXPECT_TRUE(outcome.results[0].ok && outcome.results[1].ok);
        EXPECT_EQ(output.text, "head\n" + big);
        EXPECT_FALSE(listedWhileWaiting);
    }
#endif

    TEST(ZoneJobs, SmallWaitingOutputsNeedNoTemporaryFile)
    {
        // Many small zones waiting behind a large one, as in a pull: their
        // bytes wait in memory, and no file is made for them.
        std::vector<ZoneJob> jobs;
        for (int j = 0; j < 200; ++j)
            jobs.push_back({[j](JobOutput& output) {
                                return output.Write(std::to_string(j) + "\n") ? JobResult {} : JobResult {false, "stopped"};
                            },
                            0});
        MemoryOutput output(false);
        JobOptions options;
        options.workers = 2;
        options.spillFolder = test::TempPath("no-such-folder");
        const JobsOutcome outcome = RunZoneJobs(jobs, options, &output);
        std::string expected;
        for (int j = 0; j < 200; ++j)
            expected += std::to_string(j) + "\n";
        EXPECT_EQ(output.text, expected);
        for (const JobResult& result : outcome.results)
            EXPECT_TRUE(result.ok) << result.failure;
    }
}
