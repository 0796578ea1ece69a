// Job control under hostile timing: hundreds of runs in quick succession,
// each started, paused, resumed and aborted at points drawn from a PRNG with
// a fixed seed, the way the dialog drives the worker. After every run: one
// worker made each of its calls once and never overlapped another, both
// files are closed, the worker reference is clear, the status is final, and
// the output is whole CR LF lines that begin the output of the same run left
// to finish.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "engine_test_support.h"
#include "run/extraction_worker.h"
#include "run/headless_run.h"
#include "extraction/run_messages.h"

using namespace plexor;
using plexor::test::kGtld;
using plexor::test::kSe;
using plexor::test::LinesRead;
using namespace std::chrono_literals;

namespace
{
    constexpr int kRuns = 300;
    constexpr std::uint32_t kSeed = 20261208;
    constexpr auto kRunDeadline = 60s;

    // Passes everything through to a headless context and counts the
    // worker's calls. A worker's first call is IsWindowAlive and its last
    // ClearWorkerReference, so the live count is the number of workers
    // between the two.
    class CountingContext final : public RunContext
    {
    public:
        explicit CountingContext(HeadlessRunContext& inner)
            : m_inner(inner)
        {
        }

        bool IsWindowAlive() const override
        {
            ++windowChecks;
            const int live = ++s_liveWorkers;
            int seen = s_mostLiveWorkers.load();
            while (live > seen && !s_mostLiveWorkers.compare_exchange_weak(seen, live))
            {
            }
            return m_inner.IsWindowAlive();
        }
        EngineRun& Run() override { return m_inner.Run(); }
        ExtractMode RunMode() const override { return m_inner.RunMode(); }
        std::int32_t RunZoneType() const override { return m_inner.RunZoneType(); }
        ZoneLineReader& ZoneFile() override { return m_inner.ZoneFile(); }
        OutputWriter& OutputFile() override { return m_inner.OutputFile(); }
        void ReportRunFailure(const std::string& message) override
        {
            ++failureReports;
            m_inner.ReportRunFailure(message);
        }
        void SetFinalStatusText(const std::string& text) override
        {
            ++statusTexts;
            m_inner.SetFinalStatusText(text);
        }
        void ClearWorkerReference() override
        {
            ++referenceClears;
            --s_liveWorkers;
            m_inner.ClearWorkerReference();
        }

        mutable std::atomic<int> windowChecks {0};
        std::atomic<int> failureReports {0};
        std::atomic<int> statusTexts {0};
        std::atomic<int> referenceClears {0};

        static inline std::atomic<int> s_liveWorkers {0};
        static inline std::atomic<int> s_mostLiveWorkers {0};

    private:
        HeadlessRunContext& m_inner;
    };

    struct Kind
    {
        const char* name;
        ExtractMode mode;
        std::int32_t zoneType;
        bool append;
        std::string zone;
        std::string zonePath;    // the same zone as a file
        std::string fullOutput;  // of the run left to finish
        std::string fullStatus;
        std::uint32_t zoneLines; // lines in the zone
    };

    std::string GtldDomainZone()
    {
        std::string zone = "; stress zone\n$ORIGIN COM.\n";
        for (int i = 0; i < 6000; ++i)
        {
            const std::string name = "DOMAIN" + std::to_string(i);
            for (int s = 0; s <= i % 3; ++s)
                zone += name + " NS NS" + std::to_string(s) + ".HOST" + std::to_string(i % 7) + ".NET.\n";
            if (i % 5 == 0)
                zone += "NS0." + name + " A 192.0.2." + std::to_string(i % 250) + "\n";
        }
        return zone;
    }

    std::string SeZone()
    {
        std::string zone = "- Name=se\nx\nx\n";
        for (int i = 0; i < 4000; ++i)
        {
            const std::string name = "domain" + std::to_string(i) + ".se";
            for (int s = 0; s <= i % 2; ++s)
                zone += "- Name=" + name + "\nstate\n    Name Server=ns" + std::to_string(s) + ".host.se\n";
            if (i % 3 == 0)
                zone += "- Name=ns" + std::to_string(i) + ".host.se\nstate\n  IP Address=192.0.2.1\n";
        }
        return zone;
    }

    // Polls (with short sleeps) until the run has read `lines` lines or has
    // ended.
    void AwaitLinesOrEnd(const HeadlessRunContext& context, std::uint64_t lines)
    {
        while (context.IsRunActive() && LinesRead() < lines)
            std::this_thread::yield();
    }

    bool AwaitEnd(const HeadlessRunContext& context)
    {
        const auto deadline = std::chrono::steady_clock::now() + kRunDeadline;
        while (context.IsRunActive())
        {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(1ms);
        }
        return true;
    }

    // The output of a run that may have been cut short: whole lines, each
    // equal to the line of the finished run, except that in append mode the
    // last one may lack name servers that the run did not get to read.
    void ExpectPrefixOfFullOutput(const std::string& output, const Kind& kind, const std::string& what)
    {
        const auto lines = test::OutputLines(output);
        const auto full = test::OutputLines(kind.fullOutput);
        ASSERT_LE(lines.size(), full.size()) << what;
        for (std::size_t i = 0; i < lines.size(); ++i)
        {
            if (kind.append && i + 1 == lines.size())
                ASSERT_EQ(full[i].compare(0, lines[i].size(), lines[i]), 0) << what << ", last line";
            else
                ASSERT_EQ(lines[i], full[i]) << what << ", line " << i;
        }
    }

    class JobControlStress : public ::testing::Test
    {
    protected:
        static void SetUpTestSuite()
        {
            const std::string gtld = GtldDomainZone();
            const std::string se = SeZone();
            s_kinds = {
                {"gtld domains", ExtractMode::Domains, kGtld, false, gtld, "", "", "", 0},
                {"gtld domains with servers", ExtractMode::Domains, kGtld, true, gtld, "", "", "", 0},
                {"gtld name servers", ExtractMode::NameServers, kGtld, false, gtld, "", "", "", 0},
                {"se domains", ExtractMode::Domains, kSe, false, se, "", "", "", 0},
                {"se domains with servers", ExtractMode::Domains, kSe, true, se, "", "", "", 0},
                {"se name servers", ExtractMode::NameServers, kSe, false, se, "", "", "", 0},
            };
            for (Kind& kind : s_kinds)
            {
                kind.zonePath = test::TempPath(kind.zoneType == kGtld ? "gtld.zone" : "se.zone");
                test::WriteFile(kind.zonePath, kind.zone);
                const test::WorkerResult full = test::RunWorker(kind.zone, kind.mode, kind.zoneType, Filters(kind));
                kind.fullOutput = full.output;
                kind.fullStatus = full.statusText;
                kind.zoneLines = static_cast<std::uint32_t>(std::count(kind.zone.begin(), kind.zone.end(), '\n'));
            }
            s_outputPath = test::TempPath("out.txt");
        }

        static RunFilters Filters(const Kind& kind)
        {
            RunFilters filters = test::OpenFilters();
            filters.appendNameServers = kind.append ? 1 : 0;
            return filters;
        }

        static inline std::vector<Kind> s_kinds;
        static inline std::string s_outputPath;
    };

    TEST_F(JobControlStress, RandomStartsPausesResumesAndAborts)
    {
        for (const Kind& kind : s_kinds)
            ASSERT_FALSE(kind.fullOutput.empty()) << kind.name;

        std::mt19937 random(kSeed);
        const auto below = [&](std::uint32_t n) { return n == 0 ? 0u : static_cast<std::uint32_t>(random() % n); };
        int aborted = 0;
        int pauses = 0;
        int onFiles = 0;
        int finished = 0;
        const auto started = std::chrono::steady_clock::now();

        for (int run = 0; run < kRuns; ++run)
        {
            const Kind& kind = s_kinds[below(static_cast<std::uint32_t>(s_kinds.size()))];
            const bool fromFiles = below(4) == 0;
            const std::string what = "run " + std::to_string(run) + " (" + kind.name + (fromFiles ? ", files" : "") + ")";
            onFiles += fromFiles ? 1 : 0;

            HeadlessRunContext inner(kind.mode, kind.zoneType);
            inner.ShareRun(CurrentRun());
            std::string memoryOutput;
            if (fromFiles)
            {
                ASSERT_TRUE(inner.zoneFile.Open(kind.zonePath)) << what;
                ASSERT_TRUE(inner.outputFile.Create(s_outputPath)) << what;
            }
            else
            {
                inner.zoneFile.OpenMemory(kind.zone, "zone");
                inner.outputFile.CreateInMemory(memoryOutput, "output");
            }
            CountingContext context(inner);
            PrepareRun(Filters(kind));

            // What happens in this run, in order: perhaps a pause (at a
            // line count, or before the start), perhaps an abort (at a line
            // count, while paused, or at once).
            const std::uint32_t span = kind.zoneLines + kind.zoneLines / 10;
            // Pauses are drawn less often than aborts: a paused extractor
            // looks again only every 100 ms, a paused worker every second.
            const bool pauseBeforeStart = below(40) == 0;
            const bool pauseDuring = below(6) == 0;
            const std::uint32_t pauseAt = below(span);
            const std::uint32_t abortChoice = below(10);
            const std::uint32_t abortAt = below(span);

            if (pauseBeforeStart)
                SetPaused(true);
            inner.SetWorkerReference();
            std::thread worker(ExtractionWorker, static_cast<RunContext*>(&context));

            bool abortedThisRun = false;
            const auto abort = [&] {
                // As job control does it: abort, and let a paused run go on
                // to its end.
                SetAbortRequested(true);
                SetPaused(false);
                abortedThisRun = true;
            };

            if (pauseBeforeStart)
            {
                ++pauses;
                if (abortChoice < 5)
                    abort();
                else
                    SetPaused(false);
            }
            if (!abortedThisRun && pauseDuring)
            {
                AwaitLinesOrEnd(inner, pauseAt);
                SetPaused(true);
                ++pauses;
                // A paused run comes to a stand: once the worker has seen the
                // flag (a poll may read it stale, so give it a moment), at
                // most the line it was on is still counted.
                std::this_thread::sleep_for(5ms);
                const std::uint64_t standing = LinesRead();
                std::this_thread::sleep_for(5ms);
                if (inner.IsRunActive())
                {
                    EXPECT_LE(LinesRead(), standing + 1) << what << ": read on while paused";
                }
                if (abortChoice < 3)
                    abort();
                else
                    SetPaused(false);
            }
            if (!abortedThisRun && abortChoice < 7)
            {
                if (abortChoice != 6)
                    AwaitLinesOrEnd(inner, abortAt);
                abort();
            }

            const bool ended = AwaitEnd(inner);
            EXPECT_TRUE(ended) << what << ": the run did not end";
            if (!ended)
                abort();
            worker.join();
            aborted += abortedThisRun ? 1 : 0;

            std::uint64_t lines = 0;
            std::uint64_t names = 0;
            GetRunCounters(lines, names);
            EXPECT_EQ(context.windowChecks.load(), 1) << what;
            EXPECT_EQ(context.referenceClears.load(), 1) << what;
            EXPECT_EQ(context.statusTexts.load(), 1) << what;
            EXPECT_EQ(context.failureReports.load(), 0) << what << ": " << inner.Failure().value_or("");
            EXPECT_EQ(CountingContext::s_liveWorkers.load(), 0) << what;
            EXPECT_FALSE(inner.IsRunActive()) << what;
            EXPECT_FALSE(inner.zoneFile.IsOpen()) << what;
            EXPECT_FALSE(inner.outputFile.IsOpen()) << what;
            EXPECT_EQ(inner.FinalStatusText(), FormatStatusText(lines, names)) << what;

            const std::string output = fromFiles ? test::ReadFile(s_outputPath) : memoryOutput;
            EXPECT_EQ(test::OutputLines(output).size(), names) << what;
            ExpectPrefixOfFullOutput(output, kind, what);
            if (!IsAbortRequested())
            {
                ++finished;
                EXPECT_EQ(output, kind.fullOutput) << what;
                EXPECT_EQ(inner.FinalStatusText(), kind.fullStatus) << what;
            }
            SetPaused(false);
            if (HasFatalFailure() || HasFailure())
                break;
        }

        EXPECT_EQ(CountingContext::s_mostLiveWorkers.load(), 1) << "never more than one worker at a time";
        const auto seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        std::cout << "stress: " << kRuns << " runs, " << finished << " finished, " << aborted << " aborted, "
                  << pauses << " pauses, " << onFiles << " on files, " << seconds << " s\n";
        // Every kind of ending must have happened, or the draw is too narrow.
        EXPECT_GT(finished, kRuns / 10);
        EXPECT_GT(aborted, kRuns / 3);
        EXPECT_GT(pauses, kRuns / 10);
    }
}
