// The comparison of two zone files against a plain set difference of the two
// lists that plain runs write, and its ends: a failing older file, an abort
// in either file, the memory of the fingerprint set.

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <future>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include "compare/fingerprint_list.h"
#include "compare/name_fingerprints.h"
#include "compare/zone_changes.h"
#include "engine_test_support.h"
#include "extraction/run_messages.h"

namespace plexor::test
{
    namespace
    {
        using Lines = std::vector<std::string>;

        struct Domain
        {
            std::string label;
            std::vector<std::string> servers;
        };
        using Day = std::vector<Domain>;

        std::vector<std::string> RandomServers(std::mt19937& random)
        {
            static const char* const kServers[] = {"ns1.hosta.net", "ns2.hosta.net", "ns1.hostb.org",
                                                   "dns.example",   "ns.example",    "ns.example.net"};
            std::vector<std::string> servers;
            for (std::size_t n = 1 + random() % 3; servers.size() < n;)
                servers.push_back(kServers[random() % std::size(kServers)]); // repeats are repeated records
            return servers;
        }

        // Yesterday at random, and today: some domains dropped, some moved to
        // other servers, some added.
        std::pair<Day, Day> RandomDays(std::mt19937& random)
        {
            std::set<std::string> used;
            const auto fresh = [&] {
                for (;;)
                    if (std::string label = RandomLabel(random); used.insert(label).second)
                        return label;
            };
            Day older;
            for (int i = 0, n = static_cast<int>(random() % 40); i < n; ++i)
                older.push_back({fresh(), RandomServers(random)});
            Day today;
            for (const Domain& domain : older)
            {
                const unsigned roll = random() % 10;
                if (roll < 2)
                    continue;
                today.push_back(roll < 4 ? Domain {domain.label, RandomServers(random)} : domain);
                if (random() % 6 == 0)
                    today.push_back({fresh(), RandomServers(random)});
            }
            return {older, today};
        }

        // The day in a layout's form: records in their order or shuffled,
        // and a few host records for the name-server mode.
        std::string Render(const Day& day, std::int32_t layout, std::mt19937& random)
        {
            Lines records;
            for (const Domain& domain : day)
            {
                for (const std::string& server : domain.servers)
                {
                    if (layout == kGtld)
                        records.push_back(ToUpperAscii(domain.label) + " NS " + ToUpperAscii(server) + ".\n");
                    else if (layout == kSe)
                        records.push_back("- Name=" + domain.label + ".se\nx\n    Name Server=" + server + "\n");
                    else
                        records.push_back((random() % 5 == 0 ? ToUpperAscii(domain.label) : domain.label) + " 86400 IN NS "
                                          + server + ".\n");
                }
                if (random() % 4 == 0)
                {
                    const std::string host = "ns" + std::to_string(random() % 3) + "." + domain.label;
                    if (layout == kGtld)
                        records.push_back(ToUpperAscii(host) + " A 192.0.2.1\n");
                    else if (layout == kSe)
                        records.push_back("- Name=" + host + ".se\nx\n    IP Address=192.0.2.1\n");
                    else
                        records.push_back(host + " IN A 192.0.2.1\n");
                }
            }
            if (random() % 2 == 0)
                std::shuffle(records.begin(), records.end(), random);
            std::string zone = layout == kGtld ? "$ORIGIN COM.\n"
                             : layout == kSe   ? "- Name=se\nx\n    Name Server=a.ns.se\n"
                                               : "$ORIGIN com.\n@ IN SOA a. b. 1 2 3 4 5\n@ IN NS a.gtld.\n";
            for (const std::string& record : records)
                zone += record;
            return zone;
        }

        struct Settings
        {
            ExtractMode mode;
            std::int32_t layout;
            RunFilters filters;
            bool Appended() const { return mode == ExtractMode::Domains && filters.appendNameServers != 0; }
        };

        // What a plain run writes for the file; `lines` gets the lines it
        // counted.
        Lines PlainList(const std::string& zonePath, const Settings& settings, std::uint64_t& lines)
        {
            const std::string output = TempPath("plain.txt");
            HeadlessRunOptions options;
            options.lineEnd = LineEnd::Lf;
            const HeadlessRunResult result =
                RunHeadless(zonePath, output, settings.mode, settings.layout, settings.filters, options);
            EXPECT_FALSE(result.error) << *result.error;
            lines = result.linesRead;
            return LfLines(ReadFile(output));
        }

        // The model: the entries of `list` whose names `other` lacks, each
        // name once, in their order.
        Lines SetDifference(const Lines& list, const Lines& other, bool appended)
        {
            std::set<std::string, std::less<>> others;
            for (const std::string& entry : other)
                others.emplace(ComparedName(entry, appended));
            std::set<std::string, std::less<>> written;
            Lines result;
            for (const std::string& entry : list)
            {
                const std::string_view name = ComparedName(entry, appended);
                if (!others.contains(name) && written.emplace(name).second)
                    result.push_back(entry);
            }
            return result;
        }

        HeadlessRunResult Compare(const std::string& zonePath, const std::string& olderPath, ZoneChanges changes,
                                  const Settings& settings, const std::string& outputPath,
                                  HeadlessRunOptions options = {})
        {
            options.lineEnd = LineEnd::Lf;
            options.changes = changes;
            options.comparisonBody = &CompareZones;
            options.olderZonePath = olderPath;
            return RunHeadless(zonePath, outputPath, settings.mode, settings.layout, settings.filters, options);
        }

        // Both files in memory, through the worker itself.
        Lines CompareInMemory(const std::string& zone, const std::string& older, ZoneChanges changes,
                              const Settings& settings)
        {
            std::string output;
            HeadlessRunContext context(settings.mode, settings.layout, LineEnd::Lf);
            context.ShareRun(CurrentRun());
            context.changes = changes;
            context.zoneFile.OpenMemory(zone, "today");
            context.olderZoneFile.OpenMemory(older, "yesterday");
            context.outputFile.CreateInMemory(output);
            PrepareRun(settings.filters);
            context.SetWorkerReference();
            ComparisonWorker(&context);
            EXPECT_FALSE(context.Failure());
            EXPECT_FALSE(context.zoneFile.IsOpen() || context.olderZoneFile.IsOpen() || context.outputFile.IsOpen());
            return LfLines(output);
        }

        std::string MasterZone(int first, int count)
        {
            std::string zone = "$ORIGIN com.\n";
            for (int i = first; i < first + count; ++i)
                zone += "name" + std::to_string(i) + " IN NS ns.example.\n";
            return zone;
        }

        Settings RandomSettings(std::mt19937& random)
        {
            static constexpr std::int32_t kLayouts[] = {kGtld, kSe, kMaster};
            Settings settings {random() % 3 == 0 ? ExtractMode::NameServers : ExtractMode::Domains,
                               kLayouts[random() % 3], OpenFilters()};
            settings.filters.appendNameServers = static_cast<std::int32_t>(random() % 2);
            if (random() % 3 == 0)
            {
                settings.filters.minChars = 3;
                settings.filters.maxChars = 12;
                settings.filters.excludedChars = "x";
            }
            settings.filters.lineLimit = random() % 2 == 0 ? 0 : 7; // ignored by a comparison
            return settings;
        }
    }

    TEST(ZoneChanges, NewAndDroppedNamesAreTheSetDifferencesOfThePlainLists)
    {
        std::mt19937 random(20261210);
        for (int round = 0; round < 60; ++round)
        {
            const Settings settings = RandomSettings(random);
            const auto [olderDay, todayDay] = RandomDays(random);
            const std::string older = Render(olderDay, settings.layout, random);
            const std::string today = Render(todayDay, settings.layout, random);
            const bool gzip = round % 3 == 1;
            const std::string olderPath = TempPath(gzip ? "older.gz" : "older.zone");
            const std::string todayPath = TempPath(gzip ? "today.gz" : "today.zone");
            WriteFile(olderPath, gzip ? Gzip(older) : older);
            WriteFile(todayPath, gzip ? Gzip(today) : today);

            Settings whole = settings;
            whole.filters.lineLimit = 0;
            std::uint64_t olderLines = 0;
            std::uint64_t todayLines = 0;
            const Lines olderList = PlainList(olderPath, whole, olderLines);
            const Lines todayList = PlainList(todayPath, whole, todayLines);
            const Lines expectedNew = SetDifference(todayList, olderList, settings.Appended());
            const Lines expectedDropped = SetDifference(olderList, todayList, settings.Appended());
            SCOPED_TRACE("round " + std::to_string(round) + "\nolder:\n" + older + "today:\n" + today);

            const std::string output = TempPath("changes.txt");
            for (const ZoneChanges changes : {ZoneChanges::NewNames, ZoneChanges::DroppedNames})
            {
                const Lines& expected = changes == ZoneChanges::NewNames ? expectedNew : expectedDropped;
                const HeadlessRunResult result = Compare(todayPath, olderPath, changes, settings, output);
                ASSERT_FALSE(result.error) << *result.error;
                EXPECT_FALSE(result.comparisonAborted);
                EXPECT_EQ(LfLines(ReadFile(output)), expected);
                EXPECT_EQ(result.statusText, FormatStatusText(result.linesRead, expected.size()));
                EXPECT_EQ(result.linesRead, olderLines + todayLines)
                    << "the status counts the lines of both files";
                if (round % 4 == 0)
                {
                    EXPECT_EQ(CompareInMemory(today, older, changes, settings), expected);
                }
            }
            // The older file being today's gives nothing.
            ASSERT_FALSE(Compare(todayPath, todayPath, ZoneChanges::NewNames, settings, output).error);
            EXPECT_EQ(ReadFile(output), "");
        }
    }

#ifndef _WIN32
    namespace
    {
        // A named pipe that a thread fills: `first`, then, once `go` is
        // set, `rest`.
        class FilledPipe final
        {
        public:
            FilledPipe(std::string first, std::string rest)
                : m_path(TempPath("pipe"))
            {
                // A run that was aborted closes the pipe before the rest is
                // written: the write must fail, not end the test process.
                std::signal(SIGPIPE, SIG_IGN);
                EXPECT_EQ(::mkfifo(m_path.c_str(), 0600), 0);
                m_writer = std::thread([this, first = std::move(first), rest = std::move(rest)] {
                    const int fd = ::open(m_path.c_str(), O_WRONLY);
                    WriteAll(fd, first);
                    m_go.get_future().wait();
                    WriteAll(fd, rest);
                    ::close(fd);
                });
            }
            ~FilledPipe()
            {
                Go();
                m_writer.join();
                std::filesystem::remove(m_path);
            }
            const std::string& Path() const { return m_path; }
            void Go()
            {
                if (!m_started)
                    m_go.set_value();
                m_started = true;
            }

        private:
            static void WriteAll(int fd, std::string_view bytes)
            {
                while (!bytes.empty())
                {
                    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
                    if (written <= 0)
                        return;
                    bytes.remove_prefix(static_cast<std::size_t>(written));
                }
            }

            std::string m_path;
            std::promise<void> m_go;
            bool m_started = false;
            std::thread m_writer;
        };
    }

    TEST(ZoneChanges, TodaysZoneMayComeThroughAPipe)
    {
        Settings settings {ExtractMode::Domains, kMaster, OpenFilters()};
        // Would cut the older file after its first batch: a comparison
        // reads both whole.
        settings.filters.lineLimit = 1000;
        const std::string older = TempPath("older.zone");
        WriteFile(older, MasterZone(0, 3000));
        FilledPipe today(MasterZone(10, 1500), MasterZone(5000, 2));
        today.Go();
        const std::string output = TempPath("new.txt");
        const HeadlessRunResult result = Compare(today.Path(), older, ZoneChanges::NewNames, settings, output);
        ASSERT_FALSE(result.error) << *result.error;
        EXPECT_EQ(LfLines(ReadFile(output)), (Lines {"name5000.com", "name5001.com"}));
    }

    // An abort while one file is still being written: the run ends as
    // aborted, never as a result, and what it wrote is whole lines of the
    // complete answer, in its order.
    TEST(ZoneChanges, AnAbortInEitherFileIsReportedAsAborted)
    {
        const Settings settings {ExtractMode::Domains, kMaster, OpenFilters()};
        for (const bool inFirstFile : {true, false})
        {
            SCOPED_TRACE(inFirstFile ? "abort in the first file" : "abort in the second file");
            // New names: the older file is read first, today's second.
            const std::string heldText = MasterZone(0, 4000);
            const std::string fileText = MasterZone(2000, 4000);
            const std::string other = TempPath(inFirstFile ? "today.zone" : "older.zone");
            WriteFile(other, inFirstFile ? fileText : heldText);
            const std::string& piped = inFirstFile ? heldText : fileText;
            const std::size_t cut = piped.find('\n', piped.size() / 2) + 1;
            FilledPipe pipe(piped.substr(0, cut), piped.substr(cut));
            const std::uint64_t abortAfter = inFirstFile ? 10 : LfLines(heldText).size() + 10;

            HeadlessRunOptions options;
            options.watchInterval = std::chrono::milliseconds(1);
            options.watch = [&](const HeadlessRunProgress& progress) {
                if (progress.linesRead >= abortAfter && !IsAbortRequested())
                {
                    SetAbortRequested(true);
                    pipe.Go();
                }
            };
            const std::string output = TempPath("new.txt");
            const HeadlessRunResult result =
                Compare(inFirstFile ? other : pipe.Path(), inFirstFile ? pipe.Path() : other, ZoneChanges::NewNames,
                        settings, output, options);
            EXPECT_FALSE(result.error);
            EXPECT_TRUE(result.comparisonAborted);
            const Lines written = LfLines(ReadFile(output));
            if (inFirstFile)
            {
                EXPECT_TRUE(written.empty());
            }
            Lines complete = LfLines(MasterZone(4000, 2000));
            complete.erase(complete.begin()); // $ORIGIN
            ASSERT_LE(written.size(), complete.size());
            for (std::size_t i = 0; i < written.size(); ++i)
                EXPECT_EQ(written[i], complete[i].substr(0, complete[i].find(' ')) + ".com");
        }
    }
#endif

    TEST(ZoneChanges, AnOlderFileThatFailsEndsTheRunNamingIt)
    {
        const Settings settings {ExtractMode::Domains, kMaster, OpenFilters()};
        const std::string today = TempPath("today.zone");
        WriteFile(today, MasterZone(0, 3000));
        const std::string whole = Gzip(MasterZone(1000, 3000));
        std::string corrupt = whole;
        corrupt[corrupt.size() / 2] = static_cast<char>(corrupt[corrupt.size() / 2] ^ 0x55);
        const std::string folder = TempPath("folder");
        std::filesystem::create_directory(folder);
        const struct
        {
            const char* name;
            std::optional<std::string> bytes; // none: no such file
            bool folder;
            const char* verb;
        } cases[] = {
            {"missing", std::nullopt, false, "open"},
            {"a folder", std::nullopt, true, "open"},
            {"truncated gzip", whole.substr(0, whole.size() * 2 / 3), false, "read"},
            {"corrupt gzip", corrupt, false, "read"},
        };
        for (const auto& c : cases)
        {
            for (const ZoneChanges changes : {ZoneChanges::NewNames, ZoneChanges::DroppedNames})
            {
                SCOPED_TRACE(std::string(c.name) + (changes == ZoneChanges::NewNames ? ", new" : ", dropped"));
                const std::string older = c.folder ? folder : TempPath("older.gz");
                if (c.bytes)
                    WriteFile(older, *c.bytes);
                const HeadlessRunResult result = Compare(today, older, changes, settings, TempPath("out.txt"));
                ASSERT_TRUE(result.error);
                EXPECT_EQ(result.error->rfind("Error: Unable to " + std::string(c.verb) + " '" + older + "'", 0), 0u)
                    << *result.error;
                EXPECT_FALSE(result.comparisonAborted);
            }
        }
        // The older file is refused as the output, as the zone file is.
        const std::string older = TempPath("older.zone");
        WriteFile(older, MasterZone(0, 10));
        const HeadlessRunResult result = Compare(today, older, ZoneChanges::NewNames, settings, older);
        EXPECT_TRUE(result.outputIsZoneFile);
        EXPECT_EQ(ReadFile(older), MasterZone(0, 10));
    }

    TEST(FingerprintSet, HoldsAtMost32BytesPerNameWhileItGrows)
    {
        FingerprintSet set;
        const FingerprintKey key = FingerprintKey::Random();
        constexpr int kNames = 2000000;
        const auto name = [&](char kind, int i) { return Fingerprint(kind + std::to_string(i), key); };
        std::size_t most = 0;
        for (int i = 0; i < kNames; ++i)
        {
            ASSERT_TRUE(set.Insert(name('n', i)));
            if (i >= 100000 && i % 10000 == 0)
                most = std::max(most, set.MemoryBytes() * 1000 / set.Size());
        }
        EXPECT_LE(most, 32000u) << "bytes per name x 1000";
        EXPECT_EQ(set.Size(), static_cast<std::size_t>(kNames));
        for (int i = 0; i < kNames; i += 997)
        {
            EXPECT_TRUE(set.Contains(name('n', i)));
            EXPECT_FALSE(set.Insert(name('n', i)));
            EXPECT_FALSE(set.Contains(name('m', i)));
        }
    }
}

namespace plexor::test
{
    // Exact in any order; in the list's own order the lookups take the
    // sequential way; at most 32 bytes per name.
    TEST(FingerprintList, FindsExactlyTheListsNamesInAnyOrder)
    {
        const FingerprintKey key = FingerprintKey::Random();
        constexpr int kNames = 1000000;
        const auto name = [&](int i) { return Fingerprint("n" + std::to_string(i), key); };
        const auto listed = [](int i) { return i < kNames && i % 10 != 3; };
        FingerprintList list;
        std::vector<NameFingerprint> batch;
        for (int i = 0; i < kNames; ++i)
        {
            if (!listed(i))
                continue;
            batch.push_back(name(i));
            if (i % 7 == 0)
                batch.push_back(name(i)); // repeated at once: kept once
            if (batch.size() >= 1000)
            {
                list.Append(batch);
                batch.clear();
            }
        }
        list.Append(batch);
        list.BuildIndex();
        EXPECT_EQ(list.Size(), static_cast<std::size_t>(kNames / 10 * 9));
        EXPECT_LE(list.MemoryBytes(), 32 * list.Size());

        // Today's order (some names dropped, some added), then backwards.
        for (const bool backwards : {false, true})
        {
            SCOPED_TRACE(backwards ? "backwards" : "in the list's order");
            const std::uint64_t inOrderBefore = list.InOrderLookups();
            constexpr int kQueries = kNames + kNames / 10;
            for (int start = 0; start < kQueries; start += 1000)
            {
                std::vector<NameFingerprint> queries;
                std::vector<int> numbers;
                for (int k = start; k < std::min(start + 1000, kQueries); ++k)
                {
                    numbers.push_back(backwards ? kQueries - 1 - k : k);
                    queries.push_back(name(numbers.back()));
                }
                std::unique_ptr<bool[]> found = std::make_unique<bool[]>(queries.size());
                list.ContainsAll(queries, std::span<bool>(found.get(), queries.size()));
                for (std::size_t q = 0; q < queries.size(); ++q)
                    ASSERT_EQ(found[q], listed(numbers[q])) << numbers[q];
            }
            if (!backwards)
            {
                EXPECT_GE(list.InOrderLookups() - inOrderBefore, static_cast<std::uint64_t>(kNames / 10 * 8));
            }
        }
    }
}
