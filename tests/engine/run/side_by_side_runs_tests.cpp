// Headless runs side by side in one process: each has its own settings,
// counters and flags, so two at once give what each gives alone. Part of the
// zones test program, which also runs under TSan.

#include <array>
#include <filesystem>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "engine_test_support.h"
#include "run/headless_run.h"

namespace plexor
{
    namespace
    {
        using test::kGtld;
        using test::kMaster;

        struct RunCase
        {
            std::string zone;
            std::int32_t zoneType;
            ExtractMode mode;
            RunFilters filters;
            std::filesystem::path zonePath;
            std::filesystem::path outputPath;
        };

        std::string GtldZone(std::size_t domains)
        {
            std::string text = "$ORIGIN COM.\n";
            for (std::size_t i = 0; i < domains; ++i)
            {
                const std::string label = "DOMAIN" + std::to_string(i) + (i % 3 == 0 ? "X" : "");
                text += label + " NS NS1.HOST.NET.\n" + label + " NS NS2.HOST.NET.\n";
            }
            return text;
        }

        std::string MasterZone(std::size_t domains)
        {
            std::string text = "$ORIGIN org.\n@ 3600 IN SOA ns.org. admin.org. 1 2 3 4 5\n";
            for (std::size_t i = 0; i < domains; ++i)
                text += "name-" + std::to_string(i) + " 86400 IN NS ns" + std::to_string(i % 7) + ".example.net.\n";
            return text;
        }

        HeadlessRunResult RunOnce(const RunCase& c)
        {
            HeadlessRunOptions options;
            options.lineEnd = LineEnd::Lf;
            return RunHeadless(c.zonePath, c.outputPath, c.mode, c.zoneType, c.filters, options);
        }

        void ExpectSame(const HeadlessRunResult& alone, const HeadlessRunResult& together, const std::string& what)
        {
            EXPECT_EQ(together.error, alone.error) << what;
            EXPECT_EQ(together.statusText, alone.statusText) << what;
            EXPECT_EQ(together.stoppedAtLineLimit, alone.stoppedAtLineLimit) << what;
            EXPECT_EQ(together.linesRead, alone.linesRead) << what;
            EXPECT_EQ(together.namesExtracted, alone.namesExtracted) << what;
        }
    }

    // The two runs differ in every setting a shared state would mix up:
    // layout, mode, length bounds, excluded characters, the line limit.
    TEST(SideBySideRuns, TwoRunsAtOnceGiveWhatEachGivesAlone)
    {
        const std::filesystem::path folder = std::filesystem::path(testing::TempDir()) / "side_by_side";
        std::filesystem::create_directories(folder);
        std::array<RunCase, 3> cases;
        cases[0] = {GtldZone(60000), kGtld, ExtractMode::Domains, test::OpenFilters(), {}, {}};
        cases[0].filters.excludedChars = "x";
        cases[1] = {MasterZone(80000), kMaster, ExtractMode::Domains, test::OpenFilters(), {}, {}};
        cases[1].filters.minChars = 10;
        cases[1].filters.lineLimit = 50000;
        cases[2] = {GtldZone(40000), kGtld, ExtractMode::NameServers, test::OpenFilters(), {}, {}};
        for (std::size_t i = 0; i < cases.size(); ++i)
        {
            cases[i].zonePath = folder / ("zone" + std::to_string(i));
            test::WriteFile(cases[i].zonePath.string(), cases[i].zone);
        }

        std::array<HeadlessRunResult, 3> alone;
        std::array<std::string, 3> aloneOutput;
        for (std::size_t i = 0; i < cases.size(); ++i)
        {
            cases[i].outputPath = folder / ("alone" + std::to_string(i));
            alone[i] = RunOnce(cases[i]);
            ASSERT_FALSE(alone[i].error) << *alone[i].error;
            aloneOutput[i] = test::ReadFile(cases[i].outputPath.string());
        }
        ASSERT_TRUE(alone[1].stoppedAtLineLimit);
        ASSERT_NE(aloneOutput[0], aloneOutput[2]);

        for (int round = 0; round < 3; ++round)
        {
            std::array<HeadlessRunResult, 3> together;
            std::array<std::thread, 3> threads;
            for (std::size_t i = 0; i < cases.size(); ++i)
            {
                cases[i].outputPath = folder / ("together" + std::to_string(i));
                threads[i] = std::thread([&, i] { together[i] = RunOnce(cases[i]); });
            }
            for (std::thread& thread : threads)
                thread.join();
            for (std::size_t i = 0; i < cases.size(); ++i)
            {
                const std::string what = "round " + std::to_string(round) + ", run " + std::to_string(i);
                ExpectSame(alone[i], together[i], what);
                EXPECT_EQ(test::ReadFile(cases[i].outputPath.string()), aloneOutput[i]) << what;
            }
        }
        std::filesystem::remove_all(folder);
    }

    // A run in a thread of its own leaves the thread's default run alone:
    // the window's state is not touched by a headless run beside it.
    TEST(SideBySideRuns, AHeadlessRunLeavesTheDefaultRunAlone)
    {
        EngineRun& defaultRun = DefaultEngineRun();
        ResetRunState();
        defaultRun.state.linesRead.store(7);
        const std::filesystem::path folder = std::filesystem::path(testing::TempDir()) / "default_run";
        std::filesystem::create_directories(folder);
        test::WriteFile((folder / "zone").string(), GtldZone(100));
        HeadlessRunResult result;
        std::thread([&] {
            result = RunHeadless(folder / "zone", folder / "out", ExtractMode::Domains, kGtld, test::OpenFilters());
        }).join();
        ASSERT_FALSE(result.error);
        EXPECT_EQ(result.namesExtracted, 100u);
        EXPECT_EQ(defaultRun.state.linesRead.load(), 7u);
        EXPECT_EQ(&CurrentRun(), &defaultRun);
        std::filesystem::remove_all(folder);
    }
}
