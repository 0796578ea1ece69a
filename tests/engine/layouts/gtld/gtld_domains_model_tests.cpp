// The gTLD domain extractor against a plain model of its rules, on random
// zones built to provoke its shortcuts: runs of lines with the same label,
// labels around the 32 bytes the fast path looks at, CR LF and bare LF,
// "$ORIGIN" and other "$" lines, comments, apex lines, blanks in odd places
// and lines longer than the reader's chunks. Zones are read from memory and
// from files (where the reading thread finds line beginnings ahead), whole
// through the worker and in calls with small limits.

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "engine_test_support.h"
#include "extraction/extractors.h"
#include "run/run_setup.h"
#include "input/zone_line_reader.h"

using namespace plexor;

namespace
{
    struct ModelFilters
    {
        const char* name;
        RunFilters filters;
    };

    std::vector<std::string> SplitAt(std::string_view text, char separator)
    {
        std::vector<std::string> parts;
        std::size_t start = 0;
        for (std::size_t at; (at = text.find(separator, start)) != std::string_view::npos; start = at + 1)
            parts.emplace_back(text.substr(start, at - start));
        parts.emplace_back(text.substr(start));
        return parts;
    }

    // The rules read straight: one line at a time, no shortcut.
    std::string ModelOutput(std::string_view zone, const RunFilters& filters)
    {
        // One CR is dropped only where an LF follows it.
        std::vector<std::string> lines = SplitAt(zone, '\n');
        const bool lastHasLf = lines.back().empty();
        if (lastHasLf)
            lines.pop_back();
        for (std::size_t i = 0; i < lines.size(); ++i)
        {
            if ((i + 1 < lines.size() || lastHasLf) && !lines[i].empty() && lines[i].back() == '\r')
                lines[i].pop_back();
        }
        std::vector<std::string> words;
        if (!filters.includeWordsText.empty())
            words = SplitAt(ToUpperAscii(filters.includeWordsText), ',');
        const std::string excluded = ToUpperAscii(filters.excludedChars);
        std::vector<std::string> patterns;
        for (const std::string& server : SplitAt(ToUpperAscii(filters.nameServerText), ','))
        {
            if (!server.empty())
                patterns.push_back(" NS " + server);
        }
        const bool append = filters.appendNameServers != 0;

        std::string suffix;
        std::string previous;
        std::vector<std::string> entries;
        for (const std::string& line : lines)
        {
            if (line.empty())
                continue;
            const std::size_t p = line.find(" NS ");
            if (line.starts_with("$ORIGIN "))
            {
                std::string word = line.substr(8);
                word.erase(0, word.find_first_not_of(" \t"));
                word = word.substr(0, word.find_first_of(" \t\r\n\v\f;"));
                while (!word.empty() && word.back() == '.')
                    word.pop_back();
                suffix = word.empty() ? "" : "." + word;
            }
            else
            {
                const std::string head = line.substr(0, 5);
                if (p == std::string::npos || line[0] == ';' || line[0] == ' ' || head == "COM. " || head == "NET. "
                    || head == "ORG. " || head == "EDU. ")
                    continue;
            }
            bool listed = patterns.empty();
            for (const std::string& pattern : patterns)
                listed = listed || line.find(pattern) != std::string::npos;
            if (!listed || p == std::string::npos || p == 0)
                continue;

            const std::string name = line.substr(0, p) + suffix;
            std::string server = line.substr(p + 4);
            if (!server.empty() && server.back() == '.')
                server.pop_back();
            else
                server += suffix;
            if (name == previous)
            {
                if (append && !entries.empty())
                    entries.back() += "," + server;
                continue;
            }
            const auto length = static_cast<long long>(name.size());
            if (length > filters.maxChars || length < filters.minChars)
                continue;
            bool hasWord = words.empty();
            for (const std::string& word : words)
                hasWord = hasWord || name.find(word) != std::string::npos;
            if (!hasWord || name.find_first_of(excluded) != std::string::npos)
                continue;
            entries.push_back(append ? name + ": " + server : name);
            previous = name;
        }
        std::string output;
        for (const std::string& entry : entries)
            output += entry + "\r\n";
        return output;
    }

    // A zone of about `lines` lines; long lines only when asked for.
    std::string RandomZone(std::uint32_t seed, std::size_t lines, bool longLines)
    {
        std::mt19937 random(seed);
        const auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
        std::vector<std::string> labels;
        for (const std::size_t length : {1, 2, 3, 4, 5, 8, 12, 23, 26, 27, 28, 29, 30, 31, 32, 40})
        {
            std::string label;
            for (std::size_t i = 0; i < length; ++i)
                label += "ABQZ-.1"[pick(7)];
            labels.push_back(label);
        }
        labels.push_back("$X");
        const char* const servers[] = {"NS1.X.NET.", "NS2.Y", "NS.Z.COM.", "", "A", "NS1.Q-Z"};
        const char* const specials[] = {";c", " x NS y", "COM. NS A.", "NET. NS B", "", "NS1.X A 1.2.3.4", " NS ",
                                        "X NS", "X  NS Y", "$TTL 3600", "$ORIGIN X NS Y", "\tX NS Y"};
        const char* const origins[] = {"$ORIGIN COM.", "$ORIGIN NET.", "$ORIGIN INFO.", "$ORIGIN  X ;c", "$ORIGIN "};
        const char* const ends[] = {"\n", "\n", "\n", "\r\n", "\r\r\n"};

        std::string zone;
        std::string line;
        std::string previous;
        for (std::size_t i = 0; i < lines; ++i)
        {
            const std::size_t roll = pick(100);
            if (roll < 3)
                line = origins[pick(std::size(origins))];
            else if (roll < 7)
                line = specials[pick(std::size(specials))];
            else if (roll < 60 && !previous.empty())
            {
                // Another line of the same domain, or the very same line.
                const std::size_t p = previous.find(" NS ");
                line = p != std::string::npos && pick(2) == 0 ? previous.substr(0, p + 4) + servers[pick(6)]
                                                               : previous;
            }
            else
            {
                std::string label = labels[pick(labels.size())];
                if (longLines && pick(200) == 0)
                    label = std::string(20000 + pick(300000), 'L');
                const char* const keys[] = {" NS ", " NS ", " NS ", " A ", " NSX ", "NS "};
                line = label + keys[pick(std::size(keys))] + servers[pick(6)];
            }
            previous = line;
            zone += line;
            zone += ends[pick(std::size(ends))];
        }
        if (pick(3) == 0 && !zone.empty())
            zone.pop_back(); // no LF after the last line
        return zone;
    }

    std::vector<ModelFilters> FilterSets()
    {
        std::vector<ModelFilters> sets;
        const auto open = test::OpenFilters();
        sets.push_back({"open", open});
        RunFilters f = open;
        f.minChars = 3;
        f.maxChars = 12;
        sets.push_back({"length", f});
        f = open;
        f.excludedChars = "q-";
        f.includeWordsText = "a,b";
        sets.push_back({"words and characters", f});
        f = open;
        f.nameServerText = "ns1,z";
        sets.push_back({"name servers", f});
        f = open;
        f.appendNameServers = 1;
        sets.push_back({"append", f});
        f.minChars = 4;
        f.maxChars = 30;
        sets.push_back({"append with length", f});
        f = open;
        f.appendNameServers = 1;
        f.nameServerText = "ns2";
        sets.push_back({"append with name servers", f});
        return sets;
    }

    class GtldDomainsModel : public ::testing::Test
    {
    protected:
        void SetUp() override { SetGtldOriginSuffix(""); }
    };

    TEST_F(GtldDomainsModel, LineGroupsSameAsPlainModelFromMemoryAndFiles)
    {
        const std::string path = test::TempPath("model.zone");
        for (std::uint32_t seed = 1; seed <= 16; ++seed)
        {
            // Every fourth zone is large enough to span many chunks.
            const bool large = seed % 4 == 0;
            const std::string zone = RandomZone(seed, large ? 40000 : 1 + seed * 97, large);
            test::WriteFile(path, zone);
            for (const ModelFilters& set : FilterSets())
            {
                const std::string what = "seed " + std::to_string(seed) + ", " + set.name;
                const std::string expected = ModelOutput(zone, set.filters);

                SetGtldOriginSuffix("");
                const auto memory = test::RunWorker(zone, ExtractMode::Domains, test::kGtld, set.filters);
                ASSERT_EQ(memory.output, expected) << what << ", from memory";

                SetGtldOriginSuffix("");
                const std::string out = test::TempPath("model.out");
                const auto result = RunHeadless(path, out, ExtractMode::Domains, test::kGtld, set.filters);
                ASSERT_FALSE(result.error) << what;
                ASSERT_EQ(test::ReadFile(out), expected) << what << ", from a file";
                ASSERT_EQ(result.statusText, memory.statusText) << what;
            }
        }
    }

    TEST_F(GtldDomainsModel, LineGroupsSameAsPlainModelWithSmallLimits)
    {
        const std::string path = test::TempPath("limits.zone");
        const RunFilters filters = test::OpenFilters();
        for (std::uint32_t seed = 100; seed < 104; ++seed)
        {
            const std::string zone = RandomZone(seed, 30000, false);
            test::WriteFile(path, zone);
            const std::string expected = ModelOutput(zone, filters);
            for (const std::uint32_t limit : {1u, 7u, 63u, 64u, 65u})
            {
                SetGtldOriginSuffix("");
                PrepareRun(filters);
                ZoneLineReader reader;
                ASSERT_TRUE(reader.Open(path));
                std::string output;
                for (;;)
                {
                    Batch batch;
                    const std::uint32_t count = ExtractGtldDomains(reader, batch, limit);
                    ASSERT_LE(count, limit);
                    ASSERT_EQ(batch.size(), count);
                    output += batch.Lines(count);
                    if (count == 0)
                        break;
                }
                EXPECT_EQ(output, expected) << "seed " << seed << ", limit " << limit;
                EXPECT_EQ(test::LinesRead(), SplitAt(zone, '\n').size() - (zone.ends_with('\n') ? 1 : 0))
                    << "every line counted once";
            }
        }
    }

    // Chunk buffers are reused, so the bytes after a last line without LF
    // are left over from earlier chunks: here blanks, which must not
    // complete a " NS " that the line itself only begins.
    TEST_F(GtldDomainsModel, BytesAfterTheLastLineAreNotPartOfIt)
    {
        const std::string path = test::TempPath("tail.zone");
        const std::string out = test::TempPath("tail.out");
        // Enough 64-byte blank lines to fill many chunks, every buffer among them.
        const std::string blanks = std::string(63, ' ') + '\n';
        std::string filler;
        for (int i = 0; i < 20 * 1024; ++i)
            filler += blanks;
        for (const char* last : {"A B NS", "AB NS", "$ORIGIN X NS", "A B NS\r"})
        {
            test::WriteFile(path, filler + last);
            for (const std::int32_t append : {0, 1})
            {
                RunFilters filters = test::OpenFilters();
                filters.appendNameServers = append;
                const auto result = RunHeadless(path, out, ExtractMode::Domains, test::kGtld, filters);
                ASSERT_FALSE(result.error);
                EXPECT_EQ(test::ReadFile(out), "") << '"' << last << "\", append " << append;
                EXPECT_EQ(result.statusText, "[20481 Lines]  [0 Names]") << last;
            }
        }
    }
}
