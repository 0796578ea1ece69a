// Runs against failing files: an output that cannot take the bytes (a full
// device, a file-size limit at the first, a middle and the last batch), zone
// files that cannot be opened or read, and zone files that are deleted or cut
// short while a run reads them. Every run must end with both files closed,
// the worker reference cleared, the final status set and any failure reported
// exactly once; whatever reached the output must be whole lines of the
// output a sound run would have written.

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "engine_test_support.h"
#include "run/extraction_worker.h"
#include "run/headless_run.h"
#include "extraction/run_messages.h"
#include "input/zone_line_reader.h"

using namespace plexor;
using plexor::test::kGtld;
using plexor::test::kSe;
using namespace std::chrono_literals;

namespace
{
    constexpr std::size_t kEntries = 3500; // four batches: 1000, 1000, 1000, 500

    // One kind of run with a zone that gives kEntries entries. The domain
    // modes run with name servers appended, so that some entries grow by a
    // second line and the last entry of each batch is held back.
    struct ModeCase
    {
        const char* name;
        ExtractMode mode;
        std::int32_t zoneType;
        std::string zone;
    };

    std::vector<ModeCase> ModeCases()
    {
        std::string gtldDomains = "$ORIGIN COM.\n";
        std::string gtldHosts;
        std::string seDomains;
        std::string seHosts;
        for (std::size_t i = 0; i < kEntries; ++i)
        {
            const std::string n = std::to_string(100000 + i);
            gtldDomains += "DOMAIN" + n + " NS NS1.HOST.NET.\n";
            seDomains += "- Name=domain" + n + ".se\nx\nName Server=ns1.host.se\n";
            if (i % 3 == 0)
            {
                gtldDomains += "DOMAIN" + n + " NS NS2.HOST" + n + "\n";
                seDomains += "- Name=domain" + n + ".se\nx\nName Server=ns2.host.se\n";
            }
            gtldHosts += "NS" + n + ".HOST A 192.0.2.1\n";
            seHosts += "- Name=ns" + n + ".host.se\nx\nIP Address=192.0.2.1\n";
        }
        return {{"gtld domains", ExtractMode::Domains, kGtld, gtldDomains},
                {"gtld name servers", ExtractMode::NameServers, kGtld, gtldHosts},
                {"se domains", ExtractMode::Domains, kSe, seDomains},
                {"se name servers", ExtractMode::NameServers, kSe, seHosts}};
    }

    RunFilters AppendFilters()
    {
        RunFilters filters = test::OpenFilters();
        filters.appendNameServers = 1;
        return filters;
    }

    struct FileRun
    {
        std::optional<std::string> failure;
        int failureReports = 0;
        std::string statusText;
        bool referenceCleared = false;
        bool filesClosed = false;
        std::uint64_t linesRead = 0;
        std::uint64_t namesExtracted = 0;
    };

    // Polls until the worker has ended the run; false if it did not within
    // the limit (the run is then aborted so that the thread can be joined).
    bool AwaitEnd(const HeadlessRunContext& context, std::chrono::seconds limit = 120s)
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (context.IsRunActive())
        {
            if (std::chrono::steady_clock::now() > deadline)
            {
                SetAbortRequested(true);
                SetPaused(false);
                return false;
            }
            std::this_thread::sleep_for(2ms);
        }
        return true;
    }

    FileRun Collect(HeadlessRunContext& context)
    {
        FileRun run;
        run.failure = context.Failure();
        run.failureReports = context.FailureReports();
        run.statusText = context.FinalStatusText();
        run.referenceCleared = !context.IsRunActive();
        run.filesClosed = !context.zoneFile.IsOpen() && !context.outputFile.IsOpen();
        GetRunCounters(run.linesRead, run.namesExtracted);
        return run;
    }

    // A whole run on real files, through the worker on its own thread.
    FileRun RunOnFiles(const std::string& zonePath, const std::string& outputPath, ExtractMode mode,
                       std::int32_t zoneType, const RunFilters& filters, Inflater inflater = DefaultInflater())
    {
        HeadlessRunContext context(mode, zoneType, LineEnd::CrLf, inflater);
        context.ShareRun(CurrentRun());
        EXPECT_TRUE(context.zoneFile.Open(zonePath)) << zonePath;
        EXPECT_TRUE(context.outputFile.Create(outputPath)) << outputPath;
        PrepareRun(filters);
        context.SetWorkerReference();
        std::thread worker(ExtractionWorker, &context);
        EXPECT_TRUE(AwaitEnd(context)) << "the run did not end";
        worker.join();
        return Collect(context);
    }

    // What every ended run must show, failed or not.
    void ExpectEndedRun(const FileRun& run, const std::string& what)
    {
        EXPECT_TRUE(run.referenceCleared) << what;
        EXPECT_TRUE(run.filesClosed) << what;
        EXPECT_EQ(run.statusText, FormatStatusText(run.linesRead, run.namesExtracted)) << what;
    }

    void ExpectFailedRun(const FileRun& run, const std::string& message, const std::string& what)
    {
        ExpectEndedRun(run, what);
        EXPECT_EQ(run.failureReports, 1) << what;
        EXPECT_EQ(run.failure, message) << what;
        EXPECT_TRUE(IsAbortRequested()) << "a failed run is marked as ended: " << what;
    }

    // Whole lines, each a line of the sound run's output, in its order.
    void ExpectWholeLinesOf(const std::string& written, const std::string& sound, const std::string& what)
    {
        const auto lines = test::OutputLines(written);
        const auto soundLines = test::OutputLines(sound);
        ASSERT_LE(lines.size(), soundLines.size()) << what;
        for (std::size_t i = 0; i < lines.size(); ++i)
            ASSERT_EQ(lines[i], soundLines[i]) << what << ", line " << i;
    }

    class FaultInjection : public ::testing::Test
    {
    protected:
        void SetUp() override
        {
            for (ModeCase& c : ModeCases())
            {
                const test::WorkerResult sound = test::RunWorker(c.zone, c.mode, c.zoneType, AppendFilters());
                ASSERT_FALSE(sound.failure);
                ASSERT_EQ(test::OutputLines(sound.output).size(), kEntries) << c.name;
                cases.push_back({std::move(c), sound.output, sound.statusText});
            }
        }

        struct Prepared
        {
            ModeCase mode;
            std::string soundOutput;
            std::string soundStatus;
        };

        std::string ZoneFileFor(const Prepared& c, std::string_view suffix = "")
        {
            std::string path = test::TempPath(std::string(c.mode.name) + std::string(suffix) + ".zone");
            for (char& ch : path)
            {
                if (ch == ' ')
                    ch = '-';
            }
            return path;
        }

        std::vector<Prepared> cases;
    };

    TEST_F(FaultInjection, FullDeviceFailsEveryModeAtTheFirstBatch)
    {
        if (!std::filesystem::exists("/dev/full"))
            GTEST_SKIP() << "no /dev/full here";
        for (const Prepared& c : cases)
        {
            const std::string zonePath = ZoneFileFor(c);
            test::WriteFile(zonePath, c.mode.zone);
            const FileRun run = RunOnFiles(zonePath, "/dev/full", c.mode.mode, c.mode.zoneType, AppendFilters());
            ExpectFailedRun(run, UnableToWriteMessage("/dev/full", "No space left on device"), c.mode.name);
            // The first flush fails; the run reads no further batch.
            EXPECT_LE(run.namesExtracted, kBatchLimit + 1) << c.mode.name;
            EXPECT_NE(run.statusText, c.soundStatus) << c.mode.name;
        }
    }

#ifndef _WIN32
    // Lowers the file-size limit for its lifetime, with SIGXFSZ ignored so
    // that the write fails instead of the process being killed.
    class FileSizeLimit final
    {
    public:
        explicit FileSizeLimit(std::size_t bytes)
        {
            m_handler = std::signal(SIGXFSZ, SIG_IGN);
            m_ok = getrlimit(RLIMIT_FSIZE, &m_previous) == 0;
            rlimit lowered = m_previous;
            lowered.rlim_cur = static_cast<rlim_t>(bytes);
            m_ok = m_ok && setrlimit(RLIMIT_FSIZE, &lowered) == 0;
        }

        ~FileSizeLimit()
        {
            setrlimit(RLIMIT_FSIZE, &m_previous);
            std::signal(SIGXFSZ, m_handler);
        }

        FileSizeLimit(const FileSizeLimit&) = delete;
        FileSizeLimit& operator=(const FileSizeLimit&) = delete;

        bool Ok() const { return m_ok; }

    private:
        rlimit m_previous {};
        void (*m_handler)(int) = SIG_DFL;
        bool m_ok = false;
    };

    TEST_F(FaultInjection, FileSizeLimitFailsEveryModeAtTheFirstAMiddleAndTheLastBatch)
    {
        for (const Prepared& c : cases)
        {
            const std::string zonePath = ZoneFileFor(c);
            test::WriteFile(zonePath, c.mode.zone);
            // The bytes of the first 1500 entries: the limit falls inside
            // the second batch. One byte short of the whole output: only the
            // last write fails (in append mode that of the held-back entry).
            std::size_t middle = 0;
            for (int line = 0; line < 1500; ++line)
                middle = c.soundOutput.find("\r\n", middle) + 2;
            struct Limit
            {
                const char* where;
                std::size_t bytes;
            };
            for (const Limit limit : {Limit {"first batch", 0}, Limit {"middle batch", middle},
                                      Limit {"last batch", c.soundOutput.size() - 1}})
            {
                const std::string what = std::string(c.mode.name) + ", " + limit.where;
                const std::string outputPath = ZoneFileFor(c, limit.where) + ".out";
                std::filesystem::remove(outputPath);
                FileRun run;
                {
                    FileSizeLimit lowered(limit.bytes);
                    ASSERT_TRUE(lowered.Ok());
                    run = RunOnFiles(zonePath, outputPath, c.mode.mode, c.mode.zoneType, AppendFilters());
                }
                ExpectFailedRun(run, UnableToWriteMessage(outputPath, "File too large"), what);
                const std::string written = test::ReadFile(outputPath);
                EXPECT_LE(written.size(), limit.bytes) << what;
                EXPECT_EQ(written, c.soundOutput.substr(0, written.size())) << what;
                if (limit.bytes < c.soundOutput.size() / 2)
                {
                    // The run stops at the batch that failed.
                    EXPECT_LE(run.namesExtracted, 2 * kBatchLimit + 1) << what;
                }
            }
        }
    }

    // Runs `body` in a child process without root's right to read any file;
    // returns the child's exit status (0 when every check held).
    template <typename Body>
    int InChildWithoutPrivileges(Body body)
    {
        std::fflush(nullptr);
        const pid_t child = fork();
        if (child == 0)
        {
            if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
                _exit(3);
            _exit(body() ? 0 : 1);
        }
        int status = 0;
        if (child < 0 || waitpid(child, &status, 0) != child)
            return -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    TEST(ZoneFileFaults, NoReadPermissionIsAnOpenFailure)
    {
        const std::string zonePath = test::TempPath("locked.zone");
        const std::string readablePath = test::TempPath("readable.zone");
        const std::string outputPath = test::TempPath("locked.out");
        test::WriteFile(zonePath, "H A 1\n");
        test::WriteFile(readablePath, "H A 1\n");
        std::filesystem::remove(outputPath);
        ASSERT_EQ(chmod(zonePath.c_str(), 0), 0);
        ASSERT_EQ(chmod(readablePath.c_str(), 0644), 0);
        // Root reads any file whatever its mode, so the check runs in a child
        // that has given up root. The readable file beside the locked one
        // shows that the child can reach the folder: the refusal is due to
        // the mode alone.
        const int status = InChildWithoutPrivileges([&] {
            ZoneLineReader control;
            if (!control.Open(readablePath))
                return false;
            const HeadlessRunResult result = RunHeadless(zonePath, outputPath, ExtractMode::NameServers, kGtld,
                                                         test::OpenFilters());
            return result.error == UnableToOpenMessage(zonePath, "Permission denied")
                && !std::filesystem::exists(outputPath);
        });
        EXPECT_EQ(status, 0) << "1: wrong result, 3: could not drop privileges";
        std::filesystem::remove(zonePath);
    }
#endif

    // The gzip cases run with each inflater of the build.
    class GzipFaultInjection : public FaultInjection, public ::testing::WithParamInterface<Inflater>
    {
    };

    INSTANTIATE_TEST_SUITE_P(Each, GzipFaultInjection, test::EachInflater(), test::InflaterParamName);

    // Zone files that open but cannot be read to their end: the run reports
    // "Error: Unable to read" once and keeps only whole lines.
    TEST_P(GzipFaultInjection, UnreadableZoneDataEndsEveryModeWithAReadFailure)
    {
        for (const Prepared& c : cases)
        {
            const std::string gz = test::Gzip(c.mode.zone);
            std::string flipped = gz;
            flipped[gz.size() / 2] = static_cast<char>(flipped[gz.size() / 2] ^ 0x5A);
            // The trailer: CRC-32, then the data's length, little-endian.
            std::string wrongCrc = gz;
            wrongCrc[gz.size() - 7] = static_cast<char>(wrongCrc[gz.size() - 7] ^ 0x10);
            std::string wrongLength = gz;
            wrongLength[gz.size() - 4] = static_cast<char>(wrongLength[gz.size() - 4] ^ 0x01);
            struct Damage
            {
                const char* what;
                std::string bytes;
                bool wholeOutput; // the data itself arrives intact
            };
            for (const Damage& damage : {Damage {"gzip cut in half", gz.substr(0, gz.size() / 2), false},
                                         Damage {"gzip without its trailer", gz.substr(0, gz.size() - 8), true},
                                         Damage {"gzip with a flipped byte", flipped, false},
                                         Damage {"gzip with garbage after it", gz + "garbage\n", true},
                                         Damage {"gzip with a wrong CRC-32", wrongCrc, false},
                                         Damage {"gzip with a wrong length", wrongLength, false}})
            {
                const std::string what =
                    std::string(c.mode.name) + ", " + damage.what + ", " + InflaterName(GetParam());
                const std::string zonePath = ZoneFileFor(c, damage.what);
                const std::string outputPath = zonePath + ".out";
                test::WriteFile(zonePath, damage.bytes);
                const FileRun run =
                    RunOnFiles(zonePath, outputPath, c.mode.mode, c.mode.zoneType, AppendFilters(), GetParam());
                ExpectFailedRun(run, UnableToReadMessage(zonePath), what);
                const std::string written = test::ReadFile(outputPath);
                EXPECT_EQ(test::OutputLines(written).size(), run.namesExtracted) << what;
                if (damage.wholeOutput)
                    EXPECT_EQ(written, c.soundOutput) << what;
                else if (std::string_view(damage.what) != "gzip with a flipped byte")
                    ExpectWholeLinesOf(written, c.soundOutput, what);
            }
        }
    }

#ifdef __linux__
    // A file whose very first read fails with an I/O error.
    TEST(ZoneFileFaults, ReadErrorOnTheFirstReadIsReported)
    {
        const std::string path = "/proc/self/mem";
        if (!std::filesystem::exists(path))
            GTEST_SKIP() << "no " << path;
        const std::string outputPath = test::TempPath("out");
        const FileRun run = RunOnFiles(path, outputPath, ExtractMode::Domains, kGtld, test::OpenFilters());
        ExpectFailedRun(run, UnableToReadMessage(path, "Input/output error"), "read error");
        EXPECT_EQ(run.statusText, "[0 Lines]  [0 Names]");
        EXPECT_EQ(test::ReadFile(outputPath), "");
    }
#endif

#ifndef _WIN32
    // A large zone, deleted or cut short while a run on it is paused; the
    // run then goes on. The run is paused from its start, so the moment of
    // the change is certain whatever the machine's speed or load: the
    // reading thread has read no more than its few chunks ahead, well before
    // the cut.
    class ZoneChangedDuringRun : public ::testing::Test
    {
    public:
        Inflater inflater = DefaultInflater();

    protected:
        static constexpr std::size_t kLines = 600000;
        static constexpr std::size_t kLineLength = 21; // "H0000000 A 192.0.2.1\n"

        static std::string HostLine(std::size_t i)
        {
            char line[48];
            std::snprintf(line, sizeof line, "H%07zu A 192.0.2.1\n", i);
            return line;
        }

        static std::string BigZone()
        {
            std::string zone;
            zone.reserve(kLines * kLineLength);
            for (std::size_t i = 0; i < kLines; ++i)
                zone += HostLine(i);
            return zone;
        }

        // Starts a paused name-server run on the file, lets `change` act on
        // the file, resumes the run and waits for its end. (Pausing only
        // once some lines were read would race the worker, which can read
        // the whole zone before a busy machine lets this thread pause it.)
        template <typename Change>
        FileRun RunChanging(const std::string& zonePath, Change change)
        {
            HeadlessRunContext context(ExtractMode::NameServers, kGtld, LineEnd::CrLf, inflater);
            context.ShareRun(CurrentRun());
            EXPECT_TRUE(context.zoneFile.Open(zonePath));
            EXPECT_TRUE(context.outputFile.Create(outputPath));
            PrepareRun(test::OpenFilters());
            SetPaused(true);
            context.SetWorkerReference();
            std::thread worker(ExtractionWorker, &context);
            change();
            SetPaused(false);
            EXPECT_TRUE(AwaitEnd(context)) << "the run did not end";
            worker.join();
            return Collect(context);
        }

        // Whole lines, each the host of the zone line of its number.
        void ExpectHostLines(std::size_t count)
        {
            const auto lines = test::OutputLines(test::ReadFile(outputPath));
            ASSERT_EQ(lines.size(), count);
            for (std::size_t i = 0; i < lines.size(); ++i)
                ASSERT_EQ(lines[i], HostLine(i).substr(0, 8)) << "line " << i;
        }

        std::string outputPath = test::TempPath("out");
    };

    TEST_F(ZoneChangedDuringRun, DeletedZoneIsStillReadToItsEnd)
    {
        const std::string zonePath = test::TempPath("zone");
        test::WriteFile(zonePath, BigZone());
        const FileRun run = RunChanging(zonePath, [&] { EXPECT_TRUE(std::filesystem::remove(zonePath)); });
        ExpectEndedRun(run, "deleted");
        EXPECT_FALSE(run.failure);
        // The open file keeps its data: nothing is lost.
        EXPECT_EQ(run.linesRead, kLines);
        ExpectHostLines(kLines);
    }

    TEST_F(ZoneChangedDuringRun, ZoneCutShortEndsAtTheCutWithWholeEntries)
    {
        const std::string zonePath = test::TempPath("zone");
        test::WriteFile(zonePath, BigZone());
        // Cut inside line 300000, after its "H0300000 A" but before the blank
        // that would make it an address line.
        constexpr std::size_t kCutLine = 300000;
        const FileRun run = RunChanging(zonePath, [&] {
            std::filesystem::resize_file(zonePath, kCutLine * kLineLength + 10);
        });
        ExpectEndedRun(run, "cut short");
        EXPECT_FALSE(run.failure);
        // The rest of the cut line is read as a last line without LF.
        EXPECT_EQ(run.linesRead, kCutLine + 1);
        ExpectHostLines(kCutLine);
        std::filesystem::remove(zonePath);
    }

    class CompressedZoneChangedDuringRun : public ZoneChangedDuringRun, public ::testing::WithParamInterface<Inflater>
    {
    };

    INSTANTIATE_TEST_SUITE_P(Each, CompressedZoneChangedDuringRun, test::EachInflater(), test::InflaterParamName);

    TEST_P(CompressedZoneChangedDuringRun, CompressedZoneCutShortIsAReadFailure)
    {
        inflater = GetParam();
        const std::string zonePath = test::TempPath("zone.gz");
        const std::string gz = test::Gzip(BigZone());
        test::WriteFile(zonePath, gz);
        const FileRun run = RunChanging(zonePath, [&] { std::filesystem::resize_file(zonePath, gz.size() / 2); });
        ExpectFailedRun(run, UnableToReadMessage(zonePath), "compressed, cut short");
        EXPECT_LT(run.namesExtracted, kLines);
        ExpectHostLines(run.namesExtracted);
        std::filesystem::remove(zonePath);
    }
#endif
}
