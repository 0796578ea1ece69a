#include <chrono>
#include <csignal>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include "engine_test_support.h"
#include "run/extraction_worker.h"
#include "run/headless_run.h"
#include "extraction/run_messages.h"

using namespace plexor;
using plexor::test::kGtld;
using plexor::test::kSe;
using namespace std::chrono_literals;
using plexor::test::OpenFilters;
using plexor::test::OutputLines;
using plexor::test::RunWorker;

namespace
{
    // n host-address lines, each one entry in the gTLD name-server mode.
    std::string AddressLines(std::size_t n, std::string_view prefix = "")
    {
        std::string zone(prefix);
        for (std::size_t i = 0; i < n; ++i)
            zone += "H" + std::to_string(i) + " A 1\n";
        return zone;
    }

    void ExpectCompletedRun(const test::WorkerResult& result)
    {
        EXPECT_FALSE(result.failure) << *result.failure;
        EXPECT_TRUE(result.referenceCleared);
        EXPECT_TRUE(result.filesClosed);
    }

    TEST(ChooseExtractor, AnyNonZeroModeOrZoneTypeCounts)
    {
        // Zone type 2 is the master file; every other non-zero type is .SE.
        struct Case
        {
            std::int32_t mode;
            std::int32_t zoneType;
            Extractor expected;
            MasterExtractor expectedMaster;
        };
        for (const Case& c : {Case {0, 0, &ExtractGtldDomains, nullptr}, Case {0, 1, &ExtractSeDomains, nullptr},
                              Case {0, 3, &ExtractSeDomains, nullptr}, Case {0, -1, &ExtractSeDomains, nullptr},
                              Case {1, 0, &ExtractGtldNameServers, nullptr},
                              Case {1, 1, &ExtractSeNameServers, nullptr},
                              Case {2, 0, &ExtractGtldNameServers, nullptr},
                              Case {-3, 7, &ExtractSeNameServers, nullptr},
                              Case {0, 2, nullptr, &ExtractMasterDomains},
                              Case {1, 2, nullptr, &ExtractMasterNameServers},
                              Case {-3, 2, nullptr, &ExtractMasterNameServers}})
        {
            const ExtractorChoice choice = ChooseExtractor(static_cast<ExtractMode>(c.mode), c.zoneType);
            EXPECT_EQ(choice.extractor, c.expected) << c.mode << "/" << c.zoneType;
            EXPECT_EQ(choice.masterExtractor, c.expectedMaster) << c.mode << "/" << c.zoneType;
        }
    }

    TEST(ExtractionWorker, EmptyZoneGivesEmptyOutputAndZeroCounts)
    {
        const auto result = RunWorker("", ExtractMode::Domains, kGtld, OpenFilters());
        ExpectCompletedRun(result);
        EXPECT_EQ(result.output, "");
        EXPECT_EQ(result.statusText, "[0 Lines]  [0 Names]");
    }

    TEST(ExtractionWorker, EveryEntryEndsInCrLfWhateverItsBytes)
    {
        const std::string zone = std::string("N\0UL A 1\nCR\r A 1\r\nLAST A 1", 25);
        const auto result = RunWorker(zone, ExtractMode::NameServers, kGtld, OpenFilters());
        ExpectCompletedRun(result);
        EXPECT_EQ(result.output, std::string("N\0UL\r\nCR\r\r\nLAST\r\n", 17));
        EXPECT_EQ(result.statusText, "[3 Lines]  [3 Names]");
    }

    TEST(ExtractionWorker, BatchBoundariesLoseNothing)
    {
        for (std::size_t n : {999u, 1000u, 1001u, 2000u, 2345u})
        {
            const auto result = RunWorker(AddressLines(n), ExtractMode::NameServers, kGtld, OpenFilters());
            ExpectCompletedRun(result);
            const auto lines = OutputLines(result.output);
            ASSERT_EQ(lines.size(), n);
            for (std::size_t i = 0; i < n; ++i)
                ASSERT_EQ(lines[i], "H" + std::to_string(i));
            EXPECT_EQ(result.statusText, FormatStatusText(static_cast<std::uint32_t>(n), static_cast<std::uint32_t>(n)));
        }
    }

    TEST(ExtractionWorker, LineCapEndsTheRunAfterTheBatchThatReachesIt)
    {
        // Exactly at the cap: the 2000th batch brings linesRead to 2,000,000.
        auto result = RunWorker(AddressLines(kLineCap + 500), ExtractMode::NameServers, kGtld, OpenFilters());
        ExpectCompletedRun(result);
        EXPECT_EQ(result.statusText, "[2000000 Lines]  [2000000 Names]");
        EXPECT_EQ(OutputLines(result.output).size(), kLineCap);
        EXPECT_TRUE(CurrentRunState().stoppedAtLineLimit.load()) << "500 lines were left";

        // One comment line first: the batch that crosses the cap is still
        // written whole, and the status shows the count above the cap.
        result = RunWorker(AddressLines(kLineCap + 500, ";\n"), ExtractMode::NameServers, kGtld, OpenFilters());
        ExpectCompletedRun(result);
        EXPECT_EQ(result.statusText, "[2000001 Lines]  [2000000 Names]");
        EXPECT_TRUE(IsAbortRequested()) << "the worker sets the abort flag at the cap";
        EXPECT_TRUE(CurrentRunState().stoppedAtLineLimit.load());
    }

    // The run's line limit: the run ends after the batch in which linesRead
    // reaches it, and says whether the zone had lines left.
    TEST(ExtractionWorker, LineLimitEndsTheRunAndTellsWhetherLinesWereLeft)
    {
        struct Case
        {
            const char* what;
            std::string zone;
            std::uint64_t lineLimit;
            std::string statusText;
            std::size_t outputLines;
            bool stoppedAtLineLimit;
        };
        // No limit: well past the default limit (cheap comment lines).
        std::string pastDefault(2 * (kLineCap + 100), '\n');
        for (std::size_t i = 0; i < pastDefault.size(); i += 2)
            pastDefault[i] = ';';
        pastDefault += "H A 1\n";
        const Case cases[] = {
            {"no limit", pastDefault, 0, "[2000101 Lines]  [1 Names]", 1, false},
            {"reached at the last line", AddressLines(2000), 2000, "[2000 Lines]  [2000 Names]", 2000, false},
            {"reached at the last line, no LF", AddressLines(1999) + "H1999 A 1", 2000,
             "[2000 Lines]  [2000 Names]", 2000, false},
            {"reached with a line left", AddressLines(2001), 2000, "[2000 Lines]  [2000 Names]", 2000, true},
            {"reached with only an empty line left", AddressLines(2000) + "\n", 2000, "[2000 Lines]  [2000 Names]",
             2000, true},
            {"smaller than a batch: the whole batch is written", AddressLines(2345), 10,
             "[1000 Lines]  [1000 Names]", 1000, true},
            {"larger than the zone", AddressLines(2345), 5000, "[2345 Lines]  [2345 Names]", 2345, false},
        };
        for (const Case& c : cases)
        {
            RunFilters filters = OpenFilters();
            filters.lineLimit = c.lineLimit;
            for (const bool compressed : {false, true})
            {
                const std::string what = std::string(c.what) + (compressed ? ", gzip" : "");
                const auto result =
                    RunWorker(compressed ? test::Gzip(c.zone) : c.zone, ExtractMode::NameServers, kGtld, filters);
                ExpectCompletedRun(result);
                EXPECT_EQ(result.statusText, c.statusText) << what;
                EXPECT_EQ(OutputLines(result.output).size(), c.outputLines) << what;
                EXPECT_EQ(CurrentRunState().stoppedAtLineLimit.load(), c.stoppedAtLineLimit) << what;
            }
        }

        // Past the limit the zone is only looked at: damage there leaves the
        // run whole, and counts as lines left.
        RunFilters filters = OpenFilters();
        filters.lineLimit = 2000;
        const auto result =
            RunWorker(test::Gzip(AddressLines(2000)) + "garbage", ExtractMode::NameServers, kGtld, filters);
        ExpectCompletedRun(result);
        EXPECT_EQ(OutputLines(result.output).size(), 2000u);
        EXPECT_TRUE(CurrentRunState().stoppedAtLineLimit.load());
    }

    // Counts past 2^32 - 1 go on, in the counters and in the status text,
    // which below 2^32 reads as before.
    TEST(ExtractionWorker, CountsPassTwoToTheThirtyTwoWithoutWrapping)
    {
        EXPECT_EQ(FormatStatusText(4294967295u, 0), "[4294967295 Lines]  [0 Names]");

        constexpr std::uint64_t kTwo32 = std::uint64_t {1} << 32;
        for (const std::uint64_t lineLimit : {std::uint64_t {0}, kTwo32 + 2})
        {
            HeadlessRunContext context(ExtractMode::NameServers, kGtld);
            context.ShareRun(CurrentRun());
            std::string output;
            context.zoneFile.OpenMemory(AddressLines(10));
            context.outputFile.CreateInMemory(output);
            RunFilters filters = OpenFilters();
            filters.lineLimit = lineLimit;
            PrepareRun(filters);
            // As if a whole registry zone had been read up to here.
            CurrentRunState().linesRead.store(kTwo32 - 4);
            CurrentRunState().namesExtracted.store(kTwo32 - 1);
            context.SetWorkerReference();
            std::thread worker(ExtractionWorker, &context);
            worker.join();
            EXPECT_EQ(test::LinesRead(), kTwo32 + 6);
            EXPECT_EQ(test::NamesExtracted(), kTwo32 + 9);
            EXPECT_EQ(context.FinalStatusText(), "[4294967302 Lines]  [4294967305 Names]");
            EXPECT_EQ(OutputLines(output).size(), 10u);
            // A limit above 2^32 is reached in the first batch, which holds
            // the whole zone.
            EXPECT_FALSE(CurrentRunState().stoppedAtLineLimit.load());
        }
    }

    TEST(ExtractionWorker, GzipZoneGivesTheSameOutputAsPlain)
    {
        const std::string gtld = "$ORIGIN COM.\nA NS N1.A\nA NS N2.B.\nB NS N1.A\nN1.A A 1\n";
        std::string se;
        for (int i = 0; i < 3000; ++i)
            se += "- Name=d" + std::to_string(i / 2) + ".se\nx\nName Server=n" + std::to_string(i) + "\n- Name=h"
                + std::to_string(i) + ".se\nx\nIP Address=1\n";
        RunFilters filters = OpenFilters();
        filters.appendNameServers = 1;
        for (const auto& [zone, type] : {std::pair {gtld, kGtld}, std::pair {se, kSe}})
        {
            for (ExtractMode mode : {ExtractMode::Domains, ExtractMode::NameServers})
            {
                const auto plain = RunWorker(zone, mode, type, filters);
                EXPECT_FALSE(plain.output.empty());
                for (const Inflater inflater : AvailableInflaters())
                {
                    const auto gz = RunWorker(test::Gzip(zone), mode, type, filters, inflater);
                    ExpectCompletedRun(gz);
                    EXPECT_EQ(gz.output, plain.output) << InflaterName(inflater);
                    EXPECT_EQ(gz.statusText, plain.statusText) << InflaterName(inflater);
                }
            }
        }
    }

    // A domain whose name-server lines straddle the 1000-entry boundary keeps
    // all its servers on one line, in both layouts.
    TEST(ExtractionWorker, AppendModeKeepsLinesWholeAcrossBatches)
    {
        RunFilters filters = OpenFilters();
        filters.appendNameServers = 1;

        std::string gtld = "$ORIGIN COM.\n";
        std::string se;
        std::vector<std::string> expected;
        for (int d = 1; d <= 2001; ++d)
        {
            // The 1000th, 2000th and the last domain get three servers.
            const int servers = (d % 1000 == 0 || d == 2001) ? 3 : 1;
            std::string entry = "D" + std::to_string(d);
            std::string gtldEntry = entry + ".COM: ";
            std::string seEntry = entry + ": ";
            for (int s = 1; s <= servers; ++s)
            {
                gtld += entry + " NS NS" + std::to_string(s) + ".HOST.NET.\n";
                se += "- Name=" + entry + "\nx\nName Server=ns" + std::to_string(s) + "\n";
                gtldEntry += (s > 1 ? "," : "") + std::string("NS") + std::to_string(s) + ".HOST.NET";
                seEntry += (s > 1 ? "," : "") + std::string("ns") + std::to_string(s);
            }
            expected.push_back(gtldEntry + "|" + seEntry);
        }

        const auto gtldResult = RunWorker(gtld, ExtractMode::Domains, kGtld, filters);
        const auto seResult = RunWorker(se, ExtractMode::Domains, kSe, filters);
        ExpectCompletedRun(gtldResult);
        ExpectCompletedRun(seResult);
        const auto gtldLines = OutputLines(gtldResult.output);
        const auto seLines = OutputLines(seResult.output);
        ASSERT_EQ(gtldLines.size(), expected.size());
        ASSERT_EQ(seLines.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i)
            EXPECT_EQ(gtldLines[i] + "|" + seLines[i], expected[i]) << "entry " << i;
        EXPECT_EQ(gtldResult.statusText, "[2008 Lines]  [2001 Names]");
        EXPECT_EQ(seResult.statusText, "[2007 Lines]  [2001 Names]");
    }

    TEST(ExtractionWorker, AbortBeforeTheFirstBatchWritesNothing)
    {
        RunFilters filters = OpenFilters();
        filters.appendNameServers = 1;
        HeadlessRunContext context(ExtractMode::Domains, kGtld);
        context.ShareRun(CurrentRun());
        std::string output;
        context.zoneFile.OpenMemory(AddressLines(10) + "A NS N1.\nA NS N2.\n");
        context.outputFile.CreateInMemory(output);
        PrepareRun(filters);
        SetGtldOriginSuffix("");
        context.SetWorkerReference();
        // Abort requested before the start: nothing read, nothing written.
        SetAbortRequested(true);
        ExtractionWorker(&context);
        EXPECT_EQ(output, "");
        EXPECT_EQ(context.FinalStatusText(), "[0 Lines]  [0 Names]");
        EXPECT_FALSE(context.IsRunActive());
    }

    TEST(ExtractionWorker, MissingOrClosedWindowTouchesNothing)
    {
        EXPECT_EQ(ExtractionWorker(nullptr), 0u);

        HeadlessRunContext context(ExtractMode::NameServers, kGtld);
        context.ShareRun(CurrentRun());
        std::string output;
        context.zoneFile.OpenMemory("H A 1\n");
        context.outputFile.CreateInMemory(output);
        context.windowAlive = false;
        PrepareRun(OpenFilters());
        context.SetWorkerReference();
        EXPECT_EQ(ExtractionWorker(&context), 0u);
        EXPECT_TRUE(context.IsRunActive()) << "the reference stays set";
        EXPECT_TRUE(context.zoneFile.IsOpen());
        EXPECT_TRUE(context.outputFile.IsOpen());
        EXPECT_EQ(context.FinalStatusText(), "");
        std::uint64_t lines = 0;
        std::uint64_t names = 0;
        GetRunCounters(lines, names);
        EXPECT_EQ(lines, 0u);
    }

    class ReadFailure : public ::testing::TestWithParam<Inflater>
    {
    };

    INSTANTIATE_TEST_SUITE_P(Each, ReadFailure, test::EachInflater(), test::InflaterParamName);

    TEST_P(ReadFailure, ReadFailureEndsTheRunAndIsReported)
    {
        const std::string gz = test::Gzip(AddressLines(50000));
        const auto result =
            RunWorker(gz.substr(0, gz.size() / 2), ExtractMode::NameServers, kGtld, OpenFilters(), GetParam());
        ASSERT_TRUE(result.failure);
        EXPECT_EQ(*result.failure, "Error: Unable to read 'zone'");
        EXPECT_TRUE(result.referenceCleared);
        EXPECT_TRUE(result.filesClosed);
        EXPECT_TRUE(IsAbortRequested());
        const auto lines = OutputLines(result.output);
        EXPECT_GT(lines.size(), 0u) << "what was read before the failure is kept";
        for (std::size_t i = 0; i < lines.size(); ++i)
            ASSERT_EQ(lines[i], "H" + std::to_string(i));
        EXPECT_EQ(result.statusText, FormatStatusText(static_cast<std::uint32_t>(lines.size()),
                                                      static_cast<std::uint32_t>(lines.size())));
    }

    class WorkerThreads : public ::testing::Test
    {
    protected:
        void Start(std::string zone)
        {
            context.ShareRun(CurrentRun());
            context.zoneFile.OpenMemory(std::move(zone));
            context.outputFile.CreateInMemory(output);
            PrepareRun(OpenFilters());
        }

        void Launch()
        {
            context.SetWorkerReference();
            worker = std::thread(ExtractionWorker, &context);
        }

        void Join()
        {
            worker.join();
            EXPECT_FALSE(context.IsRunActive());
            EXPECT_FALSE(context.zoneFile.IsOpen());
            EXPECT_FALSE(context.outputFile.IsOpen());
            std::uint64_t lines = 0;
            std::uint64_t names = 0;
            GetRunCounters(lines, names);
            EXPECT_EQ(context.FinalStatusText(), FormatStatusText(lines, names));
            EXPECT_EQ(OutputLines(output).size(), names);
        }

        static std::uint64_t Lines() { return test::LinesRead(); }

        HeadlessRunContext context {ExtractMode::NameServers, kGtld};
        std::string output;
        std::thread worker;
    };

    TEST_F(WorkerThreads, PausedBeforeTheFirstBatchThenResumed)
    {
        Start(AddressLines(3000));
        SetPaused(true);
        Launch();
        std::this_thread::sleep_for(50ms);
        EXPECT_EQ(Lines(), 0u) << "nothing is read while paused";
        EXPECT_TRUE(context.IsRunActive());
        SetPaused(false);
        Join();
        EXPECT_EQ(context.FinalStatusText(), "[3000 Lines]  [3000 Names]");
    }

    TEST_F(WorkerThreads, AbortWhilePausedEndsWithoutResuming)
    {
        Start(AddressLines(3000));
        SetPaused(true);
        Launch();
        // As job control does it: abort, and clear the pause so the worker
        // wakes up and stops.
        SetAbortRequested(true);
        SetPaused(false);
        Join();
        EXPECT_EQ(Lines(), 0u);
        EXPECT_EQ(output, "");
    }

    TEST_F(WorkerThreads, PauseInsideABatchStopsReadingAndAbortEndsTheRun)
    {
        Start(AddressLines(kLineCap));
        Launch();
        while (Lines() == 0 && context.IsRunActive())
            std::this_thread::yield();
        SetPaused(true);
        std::this_thread::sleep_for(std::chrono::milliseconds(kExtractorPausePollMs + 20));
        const std::uint64_t whilePaused = Lines();
        std::this_thread::sleep_for(std::chrono::milliseconds(kExtractorPausePollMs + 20));
        if (!context.IsRunActive())
            GTEST_SKIP() << "the run ended before the pause took hold";
        EXPECT_EQ(Lines(), whilePaused) << "no line is read while paused";
        EXPECT_LT(whilePaused, kLineCap);

        SetAbortRequested(true);
        SetPaused(false);
        Join();
        EXPECT_LE(Lines(), whilePaused + 1);
        const auto lines = OutputLines(output);
        for (std::size_t i = 0; i < lines.size(); ++i)
            ASSERT_EQ(lines[i], "H" + std::to_string(i));
    }

    class HeadlessRunFiles : public ::testing::Test
    {
    protected:
        void SetUp() override
        {
            zonePath = test::TempPath("zone");
            std::string zone = "$ORIGIN COM.\n";
            for (int i = 0; i < 3500; ++i)
            {
                const std::string name = "DOMAIN" + std::to_string(100000 + i);
                zone += name + " NS NS1.HOST.NET.\n";
                expected += name + ".COM\r\n";
            }
            test::WriteFile(zonePath, zone);
            filters = OpenFilters();
        }

        std::string zonePath;
        std::string expected;
        RunFilters filters;
    };

    TEST_F(HeadlessRunFiles, CompletedRunWritesTheFile)
    {
        const std::string out = test::TempPath("out");
        const auto result = RunHeadless(zonePath, out, ExtractMode::Domains, kGtld, filters);
        EXPECT_FALSE(result.error);
        EXPECT_EQ(result.statusText, "[3501 Lines]  [3500 Names]");
        EXPECT_EQ(test::ReadFile(out), expected);
    }

    // The headless run lies below the comparison and is handed its body: a
    // comparison asked for without it would quietly be a plain run, so it is
    // refused before any file is opened or created.
    TEST_F(HeadlessRunFiles, AComparisonWithoutItsBodyIsRefusedBeforeAnyFileIsTouched)
    {
        const std::string out = test::TempPath("not-created");
        std::filesystem::remove(out);
        for (const ZoneChanges changes : {ZoneChanges::NewNames, ZoneChanges::DroppedNames})
        {
            HeadlessRunOptions options;
            options.changes = changes;
            options.olderZonePath = zonePath;
            EXPECT_THROW(RunHeadless(zonePath, out, ExtractMode::Domains, kGtld, filters, options),
                         std::invalid_argument);
            EXPECT_FALSE(std::filesystem::exists(out));
        }
    }

    // The options of the command-line program: LF line ends across several
    // batches, and the watcher, called on the calling thread while the run
    // goes on, sees the zone's size and never more bytes or lines than the
    // run has.
    TEST_F(HeadlessRunFiles, LfLineEndsAndTheWatcherSeeTheRun)
    {
        const std::string out = test::TempPath("out");
        HeadlessRunOptions options;
        options.lineEnd = LineEnd::Lf;
        std::vector<HeadlessRunProgress> seen;
        const std::thread::id caller = std::this_thread::get_id();
        options.watch = [&](const HeadlessRunProgress& progress) {
            EXPECT_EQ(std::this_thread::get_id(), caller);
            seen.push_back(progress);
        };
        const auto result = RunHeadless(zonePath, out, ExtractMode::Domains, kGtld, filters, options);
        EXPECT_FALSE(result.error);
        std::string expectedLf = expected;
        std::erase(expectedLf, '\r');
        EXPECT_EQ(test::ReadFile(out), expectedLf);
        ASSERT_FALSE(seen.empty()) << "watched at least once, right after the start";
        const auto zoneSize = std::filesystem::file_size(zonePath);
        for (const HeadlessRunProgress& progress : seen)
        {
            EXPECT_EQ(progress.rawSize, zoneSize);
            EXPECT_LE(progress.rawBytesRead, zoneSize);
            EXPECT_LE(progress.linesRead, 3501u);
            EXPECT_LE(progress.namesExtracted, progress.linesRead);
        }
    }

    // The runner's and the dialog's path: the limit on a file read ahead,
    // plain and compressed.
    TEST_F(HeadlessRunFiles, LineLimitOnAFileTellsWhetherLinesWereLeft)
    {
        const std::string gzPath = test::TempPath("zone.gz");
        test::WriteFile(gzPath, test::Gzip(test::ReadFile(zonePath)));
        const std::string out = test::TempPath("out");
        for (const std::string& path : {zonePath, gzPath})
        {
            filters.lineLimit = 3501; // every line
            auto result = RunHeadless(path, out, ExtractMode::Domains, kGtld, filters);
            EXPECT_FALSE(result.error);
            EXPECT_FALSE(result.stoppedAtLineLimit) << path;
            EXPECT_EQ(test::ReadFile(out), expected);

            filters.lineLimit = 1500;
            result = RunHeadless(path, out, ExtractMode::Domains, kGtld, filters);
            EXPECT_FALSE(result.error);
            EXPECT_TRUE(result.stoppedAtLineLimit) << path;
            EXPECT_EQ(result.statusText, "[2001 Lines]  [2000 Names]") << path;
            EXPECT_EQ(test::ReadFile(out), expected.substr(0, 2000 * std::string("DOMAIN100000.COM\r\n").size()));
        }
    }

    TEST_F(HeadlessRunFiles, OpenFailuresNameTheFile)
    {
        const std::string out = test::TempPath("out");
        auto result = RunHeadless(zonePath + ".missing", out, ExtractMode::Domains, kGtld, filters);
        // The system's reason follows on a second line.
        EXPECT_EQ(result.error, "Error: Unable to open '" + zonePath + ".missing'\nNo such file or directory");
        EXPECT_FALSE(std::filesystem::exists(out)) << "no output is created when the zone cannot be opened";

        const std::string dir = std::filesystem::path(zonePath).parent_path().string();
        result = RunHeadless(dir, out, ExtractMode::Domains, kGtld, filters);
        EXPECT_EQ(result.error, "Error: Unable to open '" + dir + "'\nIs a directory") << "a folder is no zone file";

        result = RunHeadless(zonePath, dir + "/no-such-folder/out", ExtractMode::Domains, kGtld, filters);
        EXPECT_EQ(result.error,
                  "Error: Unable to open '" + dir + "/no-such-folder/out'\nNo such file or directory");

        result = RunHeadless(zonePath, dir, ExtractMode::Domains, kGtld, filters);
        EXPECT_EQ(result.error, "Error: Unable to open '" + dir + "'\nIs a directory");
    }

    TEST_F(HeadlessRunFiles, OutputThatIsTheZoneFileIsRefusedAndTheZoneKept)
    {
        const std::string before = test::ReadFile(zonePath);
        auto result = RunHeadless(zonePath, zonePath, ExtractMode::Domains, kGtld, filters);
        EXPECT_EQ(result.error, UnableToOpenMessage(zonePath, kOutputIsZoneFileReason));
        EXPECT_EQ(test::ReadFile(zonePath), before);

        const std::string link = test::TempPath("link");
        std::filesystem::remove(link);
        std::error_code error;
        std::filesystem::create_symlink(zonePath, link, error);
        if (!error)
        {
            result = RunHeadless(zonePath, link, ExtractMode::Domains, kGtld, filters);
            EXPECT_EQ(result.error, UnableToOpenMessage(link, kOutputIsZoneFileReason));
            EXPECT_EQ(test::ReadFile(zonePath), before);
        }
    }

    TEST_F(HeadlessRunFiles, FullDeviceFailsTheRun)
    {
        if (!std::filesystem::exists("/dev/full"))
            GTEST_SKIP() << "no /dev/full here";
        const auto result = RunHeadless(zonePath, "/dev/full", ExtractMode::Domains, kGtld, filters);
        EXPECT_EQ(result.error, "Error: Unable to write '/dev/full'\nNo space left on device");
        EXPECT_EQ(result.statusText, "[1001 Lines]  [1000 Names]") << "the run ends at the first failed batch";
    }

#ifndef _WIN32
    // A file-size limit fails the write at the first, a middle and the last
    // batch; the run always ends with the failure reported, and the file
    // holds only bytes of the expected output.
    TEST_F(HeadlessRunFiles, FileSizeLimitFailsTheRunAtAnyBatch)
    {
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit previous {};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
        for (const std::size_t limit : {std::size_t {0}, expected.size() / 2, expected.size() - 1})
        {
            const std::string out = test::TempPath("out" + std::to_string(limit));
            std::filesystem::remove(out);
            rlimit lowered = previous;
            lowered.rlim_cur = limit;
            ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &lowered), 0);
            const auto result = RunHeadless(zonePath, out, ExtractMode::Domains, kGtld, filters);
            ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &previous), 0);

            EXPECT_EQ(result.error, UnableToWriteMessage(out, "File too large")) << "limit " << limit;
            const std::string written = test::ReadFile(out);
            EXPECT_LE(written.size(), limit);
            EXPECT_EQ(written, expected.substr(0, written.size()));
        }
        std::signal(SIGXFSZ, previousHandler);
    }
#endif
}
