#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "compare/zone_changes.h"
#include "engine_test_support.h"
#include "run/headless_run.h"
#include "zones/layout_recognition.h"
#include "zones/zone_runs.h"

namespace plexor
{
    namespace fs = std::filesystem;

    namespace
    {
        // Zones of the three layouts, large enough for several batches, so
        // that a zone's output reaches the combined output straight and
        // through its temporary file. `day` changes a few names, so that
        // comparisons find some.
        std::string GtldZone(const std::string& origin, std::size_t domains, int day = 0)
        {
            std::string text = "$ORIGIN " + origin + ".\n";
            for (std::size_t i = 0; i < domains; ++i)
            {
                const std::string label = "D" + std::to_string(i % 97 == 0 ? i + 1000000 * day : i);
                text += label + " NS NS1.HOST.NET.\n" + label + " NS NS2.HOST.NET.\n";
            }
            return text;
        }

        std::string MasterZone(const std::string& origin, std::size_t domains, int day = 0)
        {
            std::string text = origin + ". 3600 IN SOA ns." + origin + ". admin 1 2 3 4 5\n";
            for (std::size_t i = 0; i < domains; ++i)
                text += "n" + std::to_string(i % 89 == 0 ? i + 1000000 * day : i) + "." + origin
                        + ". 86400 IN NS ns.example.net.\n";
            return text;
        }

        std::string SeZone(std::size_t domains, int day = 0)
        {
            std::string text = "- Name=se\n  Status=ok\n  Name Server=a.ns.se\n";
            for (std::size_t i = 0; i < domains; ++i)
            {
                const std::string name = "x" + std::to_string(i % 71 == 0 ? i + 1000000 * day : i) + ".se";
                text += "- Name=" + name + "\n  Status=ok\n  Name Server=ns.host.se\n";
            }
            return text;
        }

        class ZoneRuns : public ::testing::Test
        {
        protected:
            void SetUp() override
            {
                m_folder = fs::path(test::TempPath("zone_runs"));
                fs::remove_all(m_folder);
                fs::create_directories(m_folder);
            }
            void TearDown() override { fs::remove_all(m_folder); }

            fs::path Write(const std::string& name, const std::string& bytes)
            {
                const fs::path path = m_folder / name;
                fs::create_directories(path.parent_path());
                test::WriteFile(path.string(), bytes);
                return path;
            }

            static ZoneFile FileOf(const fs::path& path, std::string failure = {})
            {
                return ZoneFile {path, path.string(), false, std::move(failure)};
            }

            // What the run of one zone file alone writes (its layout
            // recognised), or nothing when that run fails.
            static std::optional<std::string> AloneOutput(const fs::path& zone, const fs::path& output,
                                                          const ZoneRunSetup& setup, const fs::path* older = nullptr)
            {
                const LayoutRecognition found = RecogniseLayout(zone);
                if (!found.layout)
                    return std::nullopt;
                HeadlessRunOptions options;
                options.lineEnd = setup.lineEnd;
                if (older != nullptr)
                {
                    options.changes = setup.changes;
                    options.olderZonePath = *older;
                    options.comparisonBody = &CompareZones;
                }
                const HeadlessRunResult result = RunHeadless(zone, output, setup.mode,
                                                             static_cast<std::int32_t>(ToZoneType(*found.layout)),
                                                             setup.filters, options);
                if (result.error)
                    return std::nullopt;
                return test::ReadFile(output.string());
            }

            ZoneRunSetup SetupFor(unsigned jobs) const
            {
                ZoneRunSetup setup;
                setup.filters = test::OpenFilters();
                setup.filters.lineLimit = 0;
                setup.lineEnd = LineEnd::Lf;
                setup.jobs = jobs;
                setup.output.file = m_folder / "combined.txt";
                return setup;
            }

            fs::path m_folder;
        };

        struct Failing
        {
            const char* what;
            ZoneFile file;
        };
    }

    // For every number of jobs, with one zone failing in each way at a
    // random place: the combined output is the single-file runs' outputs in
    // list order, the failed zone contributes nothing and has a failed row,
    // and one output per zone holds the same bytes with no file left for the
    // failed zone.
    TEST_F(ZoneRuns, CombinedOutputIsTheSingleRunsInOrderWhateverFailsAndHowManyJobs)
    {
        const std::vector<fs::path> good = {
            Write("good/a.zone", GtldZone("COM", 6000)),
            Write("good/b.txt.gz", test::Gzip(MasterZone("org", 5000))),
            Write("good/c.zone", SeZone(3000)),
            Write("good/d.zone", MasterZone("net", 40)),
            Write("good/e.zone.gz", test::Gzip(GtldZone("NET", 3000))),
        };
        const std::string big = test::Gzip(MasterZone("info", 60000));
        std::string corrupt = test::Gzip(MasterZone("biz", 60000));
        for (std::size_t i = corrupt.size() / 2; i < corrupt.size() / 2 + 64; ++i)
            corrupt[i] = static_cast<char>(corrupt[i] ^ 0x5A);
        const std::vector<Failing> failing = {
            {"missing", FileOf(m_folder / "gone.zone", "No such file or directory")},
            {"a folder", FileOf(fs::path(m_folder / "good"))},
            {"truncated gzip", FileOf(Write("bad/truncated.gz", big.substr(0, big.size() / 2)))},
            {"corrupt gzip", FileOf(Write("bad/corrupt.gz", corrupt))},
            {"layout not recognised", FileOf(Write("bad/page.html", "<html><body>no zone</body></html>\n"))},
        };

        std::vector<std::string> alone;
        for (std::size_t i = 0; i < good.size(); ++i)
        {
            const auto output = AloneOutput(good[i], m_folder / "alone.txt", SetupFor(1));
            ASSERT_TRUE(output) << good[i];
            alone.push_back(*output);
        }

        std::mt19937 random(20261211);
        for (unsigned jobs = 1; jobs <= 4; ++jobs)
        {
            for (const Failing& fail : failing)
            {
                const std::size_t at = random() % (good.size() + 1);
                std::vector<ZoneFile> zones;
                std::string expected;
                for (std::size_t i = 0; i < good.size(); ++i)
                {
                    if (i == at)
                        zones.push_back(fail.file);
                    zones.push_back(FileOf(good[i]));
                    expected += alone[i];
                }
                if (at == good.size())
                    zones.push_back(fail.file);
                const std::string what = std::string(fail.what) + " at " + std::to_string(at) + ", "
                                         + std::to_string(jobs) + " jobs";

                ZoneRunSetup setup = SetupFor(jobs);
                const ZonesOutcome outcome = RunZones(zones, setup);
                ASSERT_FALSE(outcome.outputFailure) << what;
                EXPECT_EQ(test::ReadFile(setup.output.file.string()), expected) << what;
                ASSERT_EQ(outcome.rows.size(), zones.size()) << what;
                for (std::size_t i = 0; i < zones.size(); ++i)
                {
                    const ZoneRow& row = outcome.rows[i];
                    EXPECT_EQ(row.file, zones[i].display) << what;
                    if (i == at)
                    {
                        EXPECT_EQ(row.result, ZoneResult::Failed) << what;
                        EXPECT_FALSE(row.reason.empty()) << what;
                    }
                    else
                        EXPECT_EQ(row.result, ZoneResult::Ok) << what << ": " << row.file << ": " << row.reason;
                }
                EXPECT_EQ(SummaryExitCode(outcome.rows), 1) << what;

                setup.output = {{}, m_folder / ("each" + std::to_string(jobs))};
                fs::create_directories(setup.output.folder);
                const ZonesOutcome each = RunZones(zones, setup);
                for (std::size_t i = 0; i < good.size(); ++i)
                    EXPECT_EQ(test::ReadFile((setup.output.folder / OutputNameFor(good[i])).string()), alone[i])
                        << what;
                std::size_t files = 0;
                for ([[maybe_unused]] const auto& entry : fs::directory_iterator(setup.output.folder))
                    ++files;
                EXPECT_EQ(files, good.size()) << what << ": the failed zone leaves no file, not even a hidden one";
                fs::remove_all(setup.output.folder);
            }
        }
    }

    // The table forms name each entry's zone, and a combined tsv table has
    // its header line once.
    TEST_F(ZoneRuns, CombinedTableHasOneHeaderAndAZoneColumn)
    {
        const std::vector<ZoneFile> zones = {FileOf(Write("a.zone", GtldZone("COM", 2))),
                                             FileOf(Write("b.zone", MasterZone("org", 1)))};
        ZoneRunSetup setup = SetupFor(2);
        setup.form = OutputForm::Tsv;
        ASSERT_FALSE(RunZones(zones, setup).outputFailure);
        EXPECT_EQ(test::ReadFile(setup.output.file.string()),
                  "name\tservers\tunicode\tzone\n"
                  "D0.COM\t\t\tcom\nD1.COM\t\t\tcom\nn0.org\t\t\torg\n");
    }

    // Today's folder against yesterday's: each paired zone writes what the
    // single-zone comparison writes; a zone without an older one, one whose
    // older one fails, and an older zone without today's write nothing and
    // are reported.
    TEST_F(ZoneRuns, FolderComparisonPairsByOriginAndReportsWhatItCannotCompare)
    {
        std::string corrupt = test::Gzip(MasterZone("biz", 30000, 1));
        for (std::size_t i = corrupt.size() / 2; i < corrupt.size() / 2 + 64; ++i)
            corrupt[i] = static_cast<char>(corrupt[i] ^ 0x5A);
        // Older files under other names: pairing goes by origin.
        const std::vector<ZoneFile> older = {
            FileOf(Write("old/com-old.zone", GtldZone("COM", 4000, 1))),
            FileOf(Write("old/biz.gz", corrupt)),
            FileOf(Write("old/org-x.txt.gz", test::Gzip(MasterZone("org", 3000, 1)))),
            FileOf(Write("old/gone.zone", MasterZone("gone", 10, 1))),
            FileOf(Write("old/se.zone", SeZone(2000, 1))),
        };
        const std::vector<ZoneFile> today = {
            FileOf(Write("new/biz.gz", test::Gzip(MasterZone("biz", 300, 2)))),
            FileOf(Write("new/com.zone", GtldZone("COM", 4000, 2))),
            FileOf(Write("new/fresh.zone", MasterZone("fresh", 10, 2))),
            FileOf(Write("new/org.txt.gz", test::Gzip(MasterZone("org", 3000, 2)))),
            FileOf(Write("new/se.zone", SeZone(2000, 2))),
        };
        for (const ZoneChanges changes : {ZoneChanges::NewNames, ZoneChanges::DroppedNames})
        {
            for (unsigned jobs : {1u, 3u})
            {
                ZoneRunSetup setup = SetupFor(jobs);
                setup.changes = changes;
                setup.olderZones = older;
                std::string expected;
                for (const auto& [t, o] : {std::pair {1, 0}, std::pair {3, 2}, std::pair {4, 4}})
                {
                    const auto output = AloneOutput(today[t].path, m_folder / "alone.txt", setup, &older[o].path);
                    ASSERT_TRUE(output);
                    ASSERT_FALSE(output->empty()) << "the days differ";
                    expected += *output;
                }
                const ZonesOutcome outcome = RunZones(today, setup);
                EXPECT_EQ(test::ReadFile(setup.output.file.string()), expected);
                ASSERT_EQ(outcome.rows.size(), 6u);
                const std::vector<std::pair<std::string, ZoneResult>> rows = {
                    {"biz", ZoneResult::OlderFileFailed}, {"com", ZoneResult::Ok},
                    {"fresh", ZoneResult::NoOlderFile},   {"org", ZoneResult::Ok},
                    {"se", ZoneResult::Ok},               {"gone", ZoneResult::OnlyInOlderFolder},
                };
                for (std::size_t i = 0; i < rows.size(); ++i)
                {
                    EXPECT_EQ(outcome.rows[i].zone, rows[i].first) << i;
                    EXPECT_EQ(outcome.rows[i].result, rows[i].second) << rows[i].first << ": " << outcome.rows[i].reason;
                }
                EXPECT_EQ(outcome.rows[5].file, older[3].display);
                EXPECT_FALSE(outcome.rows[0].reason.empty());
                EXPECT_EQ(SummaryExitCode(outcome.rows), 1) << "an older file failed";
            }
        }
    }

    // The combined output cannot be created: nothing is read.
    TEST_F(ZoneRuns, AnOutputThatCannotBeOpenedReadsNoZone)
    {
        ZoneRunSetup setup = SetupFor(2);
        setup.output.file = m_folder / "no-folder" / "out.txt";
        const ZonesOutcome outcome = RunZones({FileOf(Write("a.zone", GtldZone("COM", 2)))}, setup);
        ASSERT_TRUE(outcome.outputFailure);
        EXPECT_NE(outcome.outputFailure->find("Unable to open"), std::string::npos);
        EXPECT_TRUE(outcome.rows.empty());
    }
}
