// The master-file layout: the reader's rules, case by case, through the
// domain extractor in append mode (which shows each record's owner and
// server); the four modes; the pass-over of repeated NS lines against the
// full reading of the same records; the layout hint.

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "engine_test_support.h"
#include "extraction/extraction_state.h"
#include "run/extraction_worker.h"
#include "extraction/extractors.h"
#include "run/headless_run.h"
#include "layouts/layout_hint.h"
#include "scan/line_index.h"
#include "layouts/master/master_chunk_scan.h"
#include "layouts/master/master_extractors.h"
#include "layouts/master/master_file_reader.h"
#include "scan/record_lines.h"
#include "run/run_setup.h"
#include "input/zone_line_reader.h"

using namespace plexor;
using plexor::test::ExtractAll;
using plexor::test::kGtld;
using plexor::test::kMaster;
using plexor::test::kSe;
using plexor::test::LinesRead;
using plexor::test::OpenFilters;
using plexor::test::OutputLines;
using plexor::test::RunWorker;

namespace
{
    using Entries = std::vector<std::string>;

    RunFilters AppendFilters()
    {
        RunFilters filters = OpenFilters();
        filters.appendNameServers = 1;
        return filters;
    }

    std::size_t PhysicalLines(std::string_view zone)
    {
        std::size_t lines = 0;
        for (const char c : zone)
            lines += c == '\n' ? 1 : 0;
        return lines + (!zone.empty() && zone.back() != '\n' ? 1 : 0);
    }

    struct RuleCase
    {
        const char* rule;
        const char* zone;
        Entries entries; // domains with their servers appended
        std::uint64_t unreadable;
    };

    // One case per rule of the reader, each a small zone with the entries it
    // must give and the records it must count as unreadable.
    const RuleCase kRuleCases[] = {
        {"blanks and tabs, in runs, separate fields", "a.example.\t 3600 \t IN\tNS  ns1.example.\n",
         {"a.example: ns1.example"}, 0},
        {"CR LF ends a line", "a.example. NS n1.x.\r\nb.example. NS n2.x.\r\n", {"a.example: n1.x", "b.example: n2.x"}, 0},
        {"a CR inside a line separates", "a.example.\rNS\rn1.x.\n", {"a.example: n1.x"}, 0},
        {"a comment ends the line, whatever it holds", "a.example. NS n1.x. ; ( \" \\\n; b.example. NS n2.x.\n",
         {"a.example: n1.x"}, 0},
        {"a quoted string may hold blanks, ; and parentheses",
         "t.example. TXT \"x ( ; y )\" \"\"\nb.example. NS n.x.\n", {"b.example: n.x"}, 0},
        {"escapes pass through, an escaped dot does not separate labels",
         "a\\.b.example. NS n.x.\n\\065bc.example. NS n.x.\n", {"a\\.b.example: n.x", "\\065bc.example: n.x"}, 0},
        {"an escaped blank stays in the name as \\032", "a\\ b.example. NS n.x.\n", {"a\\032b.example: n.x"}, 0},
        {"an escaped parenthesis or quote opens nothing",
         "t.example. TXT \\( \\\"abc\nb.example. NS n.x.\n", {"b.example: n.x"}, 0},
        {"parentheses join lines into one record", "a.example. ( 3600\n IN NS ; comment\n n1.x. )\n",
         {"a.example: n1.x"}, 0},
        {"parentheses inside a quoted string do not count", "t.example. TXT ( \"(\" )\nb.example. NS n.x.\n",
         {"b.example: n.x"}, 0},
        {"a line that begins with a blank has the previous owner",
         "a.example. NS n1.x.\n\tNS n2.x.\n  3600 IN NS n3.x.\n", {"a.example: n1.x,n2.x,n3.x"}, 0},
        {"the previous owner is kept across other types",
         "a.example. DS 1 8 2 AB\n NS n1.x.\n", {"a.example: n1.x"}, 0},
        {"@ is the origin, relative names take the origin",
         "$ORIGIN example.\n@ NS n1\nsub NS n2\nsub2 NS n3.other.\n",
         {"sub.example: n2.example", "sub2.example: n3.other"}, 0},
        {"before any $ORIGIN or SOA the origin is the root", "a NS b\n", {"a: b"}, 0},
        {"before any $ORIGIN the origin is the owner of the first SOA",
         "example. SOA ns. host. 1 2 3 4 5\nsub NS n\nother. SOA ns. host. 1 2 3 4 5\nsub2 NS n\n",
         {"sub.example: n.example", "sub2.example: n.example"}, 0},
        {"$ORIGIN is relative to the origin before it", "$ORIGIN example.\n$ORIGIN sub\nx NS n\n",
         {"x.sub.example: n.sub.example"}, 0},
        {"$ORIGIN overrides the first SOA's owner as origin",
         "example. SOA ns. host. 1 2 3 4 5\n$ORIGIN other.\nx NS n\n", {"x.other: n.other"}, 0},
        {"$TTL is understood, $INCLUDE and other $ lines are skipped",
         "$TTL 1h\n$INCLUDE other.zone sub\n$GENERATE 1-3 h$ A 1.2.3.$\na.example. NS n.x.\n", {"a.example: n.x"},
         0},
        {"TTL and class are optional, either order, any case, with units",
         "a.x. 1h30m IN NS n.\nb.x. in 2D ns n.\nc.x. CLASS1 3600 Ns n.\nd.x. ch nS n.\ne.x. 1W2d NS n.\n"
         "f.x. IN IN NS n.\n",
         {"a.x: n", "b.x: n", "c.x: n", "d.x: n", "e.x: n"}, 0},
        {"the apex is the owner of the first SOA",
         "$ORIGIN foo.\nexample. SOA ns. host. 1 2 3 4 5\nexample. NS n.\nfoo. NS m.\n", {"foo: m"}, 0},
        {"before any SOA the apex is the first $ORIGIN",
         "$ORIGIN example.\n@ NS n.\n$ORIGIN other.\n@ NS m.\n", {"other: m"}, 0},
        {"without SOA and $ORIGIN there is no apex", "example. NS n.\nsub.example. NS m.\n",
         {"example: n", "sub.example: m"}, 0},
        {"the root is never a domain", ". NS a.root-servers.net.\n", {}, 0},
        {"only NS records yield anything",
         "a.x. RRSIG NS 8 2 3600 1 2 3 x. AB\nb.x. NSEC c.x. NS DS\nc.x. TYPE2 \\# 0\nd.x. A 1.2.3.4\n"
         "e.x. TXT NS\n",
         {}, 0},
        {"names compare without regard to case, output in lower case",
         "A.Example. NS N1.X.\na.example. NS n2.X.\n", {"a.example: n1.x,n2.x"}, 0},
        {"a record the zone repeats gives its server once",
         "vermeulen4.x. IN NS ns.example.\nvermeulen4.x. IN NS ns.example.\n", {"vermeulen4.x: ns.example"}, 0},
        {"a repeat is found among other servers, a longer name is no repeat",
         "a.x. NS n.x.\na.x. NS m.x.\na.x. NS N.x.\na.x. NS n.x.y.\na.x. NS n.\na.x. NS m.x.\n",
         {"a.x: n.x,m.x,n.x.y,n"}, 0},
        {"a server that is the root names no host", "a.x. NS .\nb.x. NS n.\n", {"b.x: n"}, 0},
        {"a record without type is unreadable", "a.x. 3600 IN\nb.x. NS n.\n", {"b.x: n"}, 1},
        {"an NS record without server is unreadable", "a.x. NS ; none\nb.x. NS n.\n", {"b.x: n"}, 1},
        {"a stray ) makes the record unreadable", "a.x. NS n. )\nb.x. NS n.\n", {"b.x: n"}, 1},
        {"a quoted string open at the line's end makes it unreadable",
         "a.x. TXT \"abc\nb.x. NS n.\na.x. NS \"n.\n", {"b.x: n"}, 2},
        {"a parenthesis open at the end of the file", "b.x. NS n.\na.x. NS ( m.\n c.x. NS n.\n", {"b.x: n"}, 1},
        {"a name with an empty label is unreadable", "a..x. NS n.\n.a.x. NS n.\nb.x. NS n..x.\nc.x. NS n.\n",
         {"c.x: n"}, 3},
        {"a quoted owner or server is unreadable", "\"a.x.\" NS n.\nb.x. NS \"n.\"\n", {}, 2},
        {"a blank owner before any owner is unreadable", "\tNS n.\nb.x. NS n.\n", {"b.x: n"}, 1},
        {"$ORIGIN without a name and $TTL without a TTL are unreadable", "$ORIGIN\n$TTL soon\na.x. NS n.\n",
         {"a.x: n"}, 2},
        {"an escape of nothing is unreadable", "a.x\\\nb.x. NS n.\n", {"b.x: n"}, 1},
    };

    TEST(MasterFileReader, EveryRule)
    {
        for (const RuleCase& c : kRuleCases)
        {
            EXPECT_EQ(ExtractAll(&ExtractMasterDomains, c.zone, AppendFilters()), c.entries) << c.rule;
            EXPECT_EQ(CurrentRunState().unreadableRecords.load(), c.unreadable) << c.rule;
            EXPECT_EQ(LinesRead(), PhysicalLines(c.zone)) << c.rule;
        }
    }

    // The NS records a reader hands out line by line, owner and server, each
    // line followed in memory by kLineProbeBytes bytes that are not part of
    // it. With its shortcuts off, every line goes through the rules alone;
    // with them on, the lines it may pass over (RepeatsLastNsRecord) are
    // records of the owner before, their server not read ("=").
    std::vector<std::pair<std::string, std::string>> ReadRecords(std::string_view zone, bool shortcuts)
    {
        MasterFileReader reader;
        reader.UseShortcuts(shortcuts);
        std::vector<std::pair<std::string, std::string>> records;
        std::size_t start = 0;
        while (start < zone.size())
        {
            std::size_t end = zone.find('\n', start);
            end = end == std::string_view::npos ? zone.size() : end;
            std::size_t length = end - start;
            if (length > 0 && zone[start + length - 1] == '\r')
                --length;
            const std::string padded = std::string(zone.substr(start, length)) + std::string(kLineProbeBytes, '(');
            const std::string_view line(padded.data(), length);
            const bool plain = shortcuts && IsPlainMasterText(line.data(), line.size(), false);
            if (shortcuts && reader.RepeatsLastNsRecord(line, plain))
                records.emplace_back(records.back().first, "=");
            else if (reader.ReadLine(line, plain))
                records.emplace_back(reader.Record().owner, reader.Record().server);
            start = end + 1;
        }
        reader.EndOfFile();
        return records;
    }

    // Every rule holds for the rules alone, and the reader's shortcuts hand
    // out what they do; both count the same unreadable records.
    TEST(MasterFileReader, EveryRuleShortcutsSameAsRulesAlone)
    {
        for (const RuleCase& c : kRuleCases)
        {
            PrepareRun(OpenFilters());
            const auto rules = ReadRecords(c.zone, false);
            EXPECT_EQ(CurrentRunState().unreadableRecords.load(), c.unreadable) << c.rule;
            PrepareRun(OpenFilters());
            const auto shortcuts = ReadRecords(c.zone, true);
            EXPECT_EQ(CurrentRunState().unreadableRecords.load(), c.unreadable) << c.rule;
            ASSERT_EQ(shortcuts.size(), rules.size()) << c.rule;
            for (std::size_t i = 0; i < rules.size(); ++i)
            {
                EXPECT_EQ(shortcuts[i].first, rules[i].first) << c.rule;
                if (shortcuts[i].second != "=")
                {
                    EXPECT_EQ(shortcuts[i].second, rules[i].second) << c.rule;
                }
            }
        }
    }

    TEST(MasterFileReader, BadInputYieldsOnlyWellFormedRecords)
    {
        const std::string cases[] = {
            std::string("(", 1),
            std::string(100000, '('),
            std::string(100000, ')'),
            std::string("a.x. NS n.\n\0\0\0 NS \xff\xfe\n", 19),
            "\"\n\"\n\"",
            "a.x. NS n.\n" + std::string(3 << 20, 'a') + " NS n.\nb.x. NS n.\n",
            "a.x. ( NS\n" + std::string(5000, '\n') + "n. )\nb.x. NS n.\n",
        };
        for (const std::string& zone : cases)
        {
            const Entries entries = ExtractAll(&ExtractMasterDomains, zone, AppendFilters());
            EXPECT_EQ(LinesRead(), PhysicalLines(zone));
            for (const std::string& entry : entries)
                EXPECT_EQ(entry.find_first_of(" \t\r\n", entry.find(": ") + 2), std::string::npos) << entry;
        }
        // A long owner is read whole; the record of the unreadable line and
        // the file of only "(" count once each.
        const std::string longOwner = std::string(3 << 20, 'a');
        EXPECT_EQ(ExtractAll(&ExtractMasterDomains, longOwner + " NS n.\n", OpenFilters()), Entries {longOwner});
        ExtractAll(&ExtractMasterDomains, std::string(100000, '('), OpenFilters());
        EXPECT_EQ(CurrentRunState().unreadableRecords.load(), 1u);
    }

    const char* const kZone = "; zone transfer\n"
                              "example.\t3600\tIN\tSOA\tns.example. host.example. (\n"
                              "\t\t1 2 3 4 5 )\n"
                              "example.\t3600\tIN\tNS\tns.example.\n"
                              "Alpha.example.\t3600\tIN\tNS\tNS1.Host.NET.\n"
                              "alpha.example.\t3600\tIN\tNS\tns2.host.net.\n"
                              "alpha.example.\t3600\tIN\tDS\t1 8 2 AB\n"
                              "shop-beta.example. 3600 IN NS ns1.host.net.\n"
                              "shop-beta.example. 3600 IN NS ns9.other.org.\n"
                              "alpha.example.\t3600\tIN\tNS\tns3.host.net.\n"
                              "xray.example. 3600 IN NS ns1.host.net.\n"
                              "ns.example. 3600 IN A 192.0.2.1\n";

    TEST(MasterDomains, RepeatedOwnersAndFilters)
    {
        EXPECT_EQ(ExtractAll(&ExtractMasterDomains, kZone, OpenFilters()),
                  (Entries {"alpha.example", "shop-beta.example", "alpha.example", "xray.example"}))
            << "an owner separated by another accepted domain is written again";
        EXPECT_EQ(LinesRead(), 12u);
        EXPECT_EQ(CurrentRunState().unreadableRecords.load(), 0u);

        struct FilterCase
        {
            const char* what;
            RunFilters filters;
            Entries entries;
        };
        RunFilters length = OpenFilters();
        length.minChars = 12;
        length.maxChars = 13;
        RunFilters excluded = OpenFilters();
        excluded.excludedChars = "y-";
        RunFilters words = OpenFilters();
        words.includeWordsText = "shop,RAY";
        RunFilters servers = OpenFilters();
        servers.nameServerText = "NS9.OTHER,ns3.host";
        RunFilters notAtStart = OpenFilters();
        notAtStart.nameServerText = "host.net";
        RunFilters serversAppend = servers;
        serversAppend.appendNameServers = 1;
        const FilterCase cases[] = {
            {"length in bytes", length, {"alpha.example", "xray.example"}},
            {"excluded characters, typed in lower case; a rejected domain between two records of one "
             "accepted domain does not part them",
             excluded,
             {"alpha.example"}},
            {"include words, either case", words, {"shop-beta.example", "xray.example"}},
            {"servers that begin with an entry", servers, {"shop-beta.example", "alpha.example"}},
            {"an entry inside the server does not match", notAtStart, {}},
            {"only the matching servers are appended", serversAppend,
             {"shop-beta.example: ns9.other.org", "alpha.example: ns3.host.net"}},
        };
        for (const FilterCase& c : cases)
            EXPECT_EQ(ExtractAll(&ExtractMasterDomains, kZone, c.filters), c.entries) << c.what;
    }

    TEST(MasterDomains, AppendKeepsEntriesWholeAcrossBatches)
    {
        // 1000 domains of one server each, then one of three servers whose
        // further lines come after the batch is full.
        std::string zone = "$ORIGIN example.\n@ SOA ns host 1 2 3 4 5\n";
        Entries expected;
        for (int i = 0; i < 1001; ++i)
        {
            const std::string name = "d" + std::to_string(i);
            zone += name + " NS ns1.x.\n";
            expected.push_back(name + ".example: ns1.x");
        }
        zone += "\tNS ns2.x.\nd1000 ( NS\n ns3.x. )\nlast NS ns1.x.\n";
        expected.back() += ",ns2.x,ns3.x";
        expected.push_back("last.example: ns1.x");
        const auto result = RunWorker(zone, ExtractMode::Domains, kMaster, AppendFilters());
        EXPECT_FALSE(result.failure);
        EXPECT_EQ(OutputLines(result.output), expected);
        EXPECT_EQ(result.statusText, "[1007 Lines]  [1002 Names]");
    }

    TEST(MasterDomains, AbortBeforeALineAndLimitZeroReadNothing)
    {
        PrepareRun(OpenFilters());
        ZoneLineReader reader;
        reader.OpenMemory("a.x. NS n.\nb.x. NS n.\nc.x. NS n.\n");
        MasterRunState run;
        Batch batch;
        EXPECT_EQ(ExtractMasterDomains(run, reader, batch, 0), 0u);
        EXPECT_EQ(LinesRead(), 0u);
        EXPECT_EQ(ExtractMasterDomains(run, reader, batch, 2), 2u);
        EXPECT_EQ(LinesRead(), 2u);
        SetAbortRequested(true);
        EXPECT_EQ(ExtractMasterDomains(run, reader, batch, 2), 0u);
        EXPECT_EQ(ExtractMasterNameServers(run, reader, batch, 2), 0u);
        EXPECT_EQ(LinesRead(), 2u) << "no line is read once an abort is requested";
        SetAbortRequested(false);
        EXPECT_EQ(ExtractMasterDomains(run, reader, batch, 2), 1u);
        EXPECT_EQ(batch, (Batch {"a.x", "b.x", "c.x"}));
    }

    TEST(MasterNameServers, DistinctServersOfTheDelegationsInOrder)
    {
        RunFilters strict;
        strict.maxChars = 1;
        strict.excludedChars = "N";
        strict.includeWordsText = "nothing";
        strict.nameServerText = "nothing";
        for (const RunFilters& filters : {OpenFilters(), strict})
        {
            EXPECT_EQ(ExtractAll(&ExtractMasterNameServers, kZone, filters),
                      (Entries {"ns1.host.net", "ns2.host.net", "ns9.other.org", "ns3.host.net"}))
                << "the apex's own server ns.example is not one";
            EXPECT_EQ(LinesRead(), 12u);
        }
        // Across calls of a small limit, a server is still written once.
        std::string zone;
        Entries expected;
        for (int i = 0; i < 50; ++i)
        {
            zone += "d" + std::to_string(i) + ". NS s" + std::to_string(i % 7) + ".\n";
            if (i < 7)
                expected.push_back("s" + std::to_string(i));
        }
        EXPECT_EQ(ExtractAll(&ExtractMasterNameServers, zone, OpenFilters(), 2), expected);
        // A call ends on the line of its limit-th new server, not later
        // (the line limit is checked between calls): the first 7 lines
        // bring s0 to s6, the repeats after them nothing.
        for (const std::uint32_t limit : {1u, 3u, 7u, 8u})
        {
            PrepareRun(OpenFilters());
            ZoneLineReader reader;
            reader.OpenMemory(zone);
            MasterRunState run;
            Batch batch;
            EXPECT_EQ(ExtractMasterNameServers(run, reader, batch, limit), std::min(limit, 7u)) << limit;
            EXPECT_EQ(LinesRead(), limit <= 7 ? limit : 50u) << limit;
        }
    }

    TEST(DistinctNames, GrowsWithDistinctNamesOnly)
    {
        DistinctNames names;
        for (int round = 0; round < 3; ++round)
        {
            for (int i = 0; i < 20000; ++i)
                EXPECT_EQ(names.Insert("ns" + std::to_string(i) + ".example"), round == 0) << i;
        }
        EXPECT_EQ(names.Size(), 20000u);
        EXPECT_TRUE(names.Insert(std::string(600000, 'n'))) << "a name longer than a block";
        EXPECT_FALSE(names.Insert(std::string(600000, 'n')));
        EXPECT_TRUE(names.Insert(""));
        EXPECT_FALSE(names.Insert(""));
    }

    // The same records written so that the reader passes over the further NS
    // lines of an owner, and written with comments, parentheses, blank owners
    // and other spellings that it must read in full, give the same output in
    // every mode and filter.
    struct Record
    {
        std::string owner;
        std::string type;
        std::string data;
    };

    std::string Plain(const std::vector<Record>& records)
    {
        std::string zone = "example.\t3600\tin\tsoa\tns.example. host.example. 1 2 3 4 5\n";
        for (const Record& r : records)
            zone += r.owner + "\t3600\tin\t" + r.type + "\t" + r.data + "\n";
        return zone;
    }

    std::string Decorated(const std::vector<Record>& records, std::mt19937& random)
    {
        std::string zone = "; header\nexample. 3600 IN SOA ns.example. host.example. (\n 1 2 3 4 5 )\n";
        std::string previousOwner;
        for (const Record& r : records)
        {
            std::string owner = r.owner;
            if (random() % 4 == 0 && owner.size() > 9 && owner != "example.")
                owner = owner.substr(0, owner.size() - 9); // relative to the origin, example.
            if (random() % 3 == 0)
            {
                for (char& c : owner)
                    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            }
            if (r.owner == previousOwner && random() % 2 == 0)
                owner = random() % 2 ? "\t" : "   "; // the previous owner
            previousOwner = r.owner;
            switch (random() % 5)
            {
            case 0:
                zone += owner + " IN 3600 " + r.type + " " + r.data + " ; (\"\n";
                break;
            case 1:
                zone += owner + " ( 3600 IN\n  " + r.type + " " + r.data + " )\n";
                break;
            case 2:
                zone += owner + "  " + r.type + "\t" + r.data + "\r\n";
                break;
            case 3:
                zone += owner + " 1h IN " + r.type + " ( " + r.data + " ) ; x\n\n";
                break;
            default:
                zone += owner + "\t3600\tIN\t" + r.type + "\t" + r.data + "\n";
                break;
            }
        }
        return zone;
    }

    TEST(MasterDomains, RepeatedLinesPassedOverSameAsFullReading)
    {
        std::mt19937 random(20261209);
        const char* const servers[] = {"ns1.host.net.", "ns2.host.net.", "NS3.Other.org.", "ns4.host.net.", "."};
        RunFilters append = OpenFilters();
        append.appendNameServers = 1;
        RunFilters filtered = OpenFilters();
        filtered.minChars = 11;
        filtered.maxChars = 11;
        filtered.excludedChars = "q";
        RunFilters listed = OpenFilters();
        listed.nameServerText = "ns3,NS4.HOST";
        for (int round = 0; round < 40; ++round)
        {
            std::vector<Record> records;
            for (int d = 0; d < 300; ++d)
            {
                const std::string owner = "d" + std::to_string(random() % 40) + (random() % 5 ? "q" : "") + ".example.";
                const int count = 1 + static_cast<int>(random() % 4);
                for (int s = 0; s < count; ++s)
                    records.push_back({owner, random() % 9 ? "ns" : "NS", servers[random() % 5]});
                if (random() % 4 == 0)
                    records.push_back({owner, "ds", "1 8 2 ABCD"});
                if (random() % 9 == 0)
                    records.push_back({"example.", "ns", servers[random() % 4]});
            }
            const std::string plain = Plain(records);
            const std::string decorated = Decorated(records, random);
            for (const RunFilters& filters : {OpenFilters(), append, filtered, listed})
            {
                for (const ExtractMode mode : {ExtractMode::Domains, ExtractMode::NameServers})
                {
                    const auto a = RunWorker(plain, mode, kMaster, filters);
                    const std::uint64_t unreadableA = CurrentRunState().unreadableRecords.load();
                    const auto b = RunWorker(decorated, mode, kMaster, filters);
                    ASSERT_EQ(a.output, b.output) << "round " << round << "\n" << decorated;
                    ASSERT_FALSE(a.output.empty());
                    EXPECT_EQ(unreadableA, 0u);
                    EXPECT_EQ(CurrentRunState().unreadableRecords.load(), 0u);
                }
            }
        }
    }

    // Each kernel's plain-text searches (alone, and with the line-end index)
    // agree with a byte-by-byte reading of the rule, for specials and dot
    // pairs anywhere, at block borders and in the tail; so do those of the
    // run's kernel.
    using PlainMasterTextSearch = test::EachKernel;
    TEST_P(PlainMasterTextSearch, SameAsByteByByteRule)
    {
        std::mt19937 random(5);
        const char alphabet[] = "aaaaaaaaaaaaaaaa....\n\n\t ()\"\\;";
        for (int round = 0; round < 3000; ++round)
        {
            // Sizes near whole blocks half of the time.
            const std::size_t size = random() % 2 ? random() % 300 : 64 * (random() % 5) + random() % 3;
            const std::size_t from = random() % 70;
            std::string bytes(from + size + kLineProbeBytes, 'a');
            for (std::size_t i = 0; i < bytes.size(); ++i) // bytes around the data must not count
                bytes[i] = alphabet[random() % (sizeof alphabet - 1)];
            if (random() % 2 == 0)
            {
                // Plain, ending in a dot half of the time, then perhaps
                // with one byte that is not.
                for (std::size_t i = from; i < from + size; ++i)
                    bytes[i] = i > from && bytes[i - 1] == '.' ? 'a' : "aab.\n"[random() % 5];
                if (size > 1 && bytes[from + size - 2] != '.' && random() % 2 == 0)
                    bytes[from + size - 1] = '.';
                if (size > 0 && random() % 2 == 0)
                    bytes[from + random() % size] = alphabet[random() % (sizeof alphabet - 1)];
            }
            if (random() % 2 == 0)
                bytes[from + size] = '.'; // after the data: never a dot pair
            const bool dotBefore = random() % 2 == 0;
            bool expected = true;
            std::vector<std::uint32_t> lineFeeds;
            for (std::size_t i = from; i < from + size; ++i)
            {
                const char c = bytes[i];
                const bool dotBeforeThis = i == from ? dotBefore : bytes[i - 1] == '.';
                if (c == '(' || c == ')' || c == '"' || c == '\\' || c == ';' || (c == '.' && dotBeforeThis))
                    expected = false;
                if (c == '\n')
                    lineFeeds.push_back(static_cast<std::uint32_t>(i));
            }
            SCOPED_TRACE(::testing::Message() << "round " << round << ": " << bytes.substr(from, size));
            const char* data = bytes.data() + from;
            EXPECT_EQ(IsPlainMasterText(data, size, dotBefore), expected);
            const auto indexed = [&](auto search) {
                LineEndIndex lineEnds;
                const bool plain = search(bytes.data(), from, from + size, dotBefore, lineEnds);
                EXPECT_EQ(std::vector<std::uint32_t>(lineEnds.data(), lineEnds.data() + lineEnds.size()), lineFeeds);
                return plain;
            };
            EXPECT_EQ(Kernel().isPlainMasterText(data, size, dotBefore), expected);
            EXPECT_EQ(indexed(IndexPlainMasterText), expected);
            EXPECT_EQ(indexed(Kernel().indexPlainMasterText), expected);
        }
    }
    PLEXOR_INSTANTIATE_FOR_EACH_KERNEL(PlainMasterTextSearch);

    // The lines from line 1 on of `text`, indexed as a chunk is, with room
    // for the probes past its end; every kernel's search must give what the
    // reference kernel's gives; with `servers`, the servers too.
    SimpleNsLines FindSimple(const std::string& text, bool servers = false)
    {
        const std::string bytes = text + std::string(kLineProbeBytes, '\0');
        LineEndIndex lineEnds;
        lineEnds.Add(bytes.data(), 0, text.size());
        SimpleNsLines lines;
        lines.Find(bytes.data(), lineEnds, servers);
        const auto same = [&](const SimpleNsLines& other) {
            return other.found == lines.found && other.lastOwnerSize == lines.lastOwnerSize
                && other.entries.size() == lines.entries.size()
                && std::equal(other.entries.begin(), other.entries.end(), lines.entries.begin(),
                              [](const SimpleNsLines::Entry& a, const SimpleNsLines::Entry& b) {
                                  return a.line == b.line && a.ownerOffset == b.ownerOffset
                                      && a.ownerLength == b.ownerLength;
                              })
                && other.servers.size() == lines.servers.size()
                && std::equal(other.servers.begin(), other.servers.end(), lines.servers.begin(),
                              [](const SimpleNsLines::Server& a, const SimpleNsLines::Server& b) {
                                  return a.line == b.line && a.offset == b.offset && a.length == b.length;
                              });
        };
        for (const scan::Kernel kernel : scan::kAllKernels)
        {
            if (const scan::KernelTable* table = scan::KernelFor(kernel))
            {
                SimpleNsLines other;
                other.withServers = servers;
                table->findSimpleNsLines(bytes.data(), lineEnds, other);
                EXPECT_TRUE(same(other)) << table->name;
            }
        }
        return lines;
    }

    TEST(SimpleNsLines, FirstNsLineOfEachRunOfOneOwner)
    {
        const std::string longOwner = std::string(70, 'l') + ".example.";
        const std::string text = std::string("line 0 may have begun before ( \\ \"\n")  // 0
            + "a.example.\t3600\tin\tns\tns1.host.net.\n"                              // 1: a
            + "a.example.\t3600\tin\tns\tns2.host.net.\n"                              // 2
            + "a.example.\t3600\tin\tds\t1 8 2 AB\n"                                   // 3
            + "a.example.\t3600\tin\tns\tns3.host.net.\n"                              // 4: a again, no entry
            + "Rel\t3600\tIN\tA\t192.0.2.1\n"                                          // 5: not NS
            + "b.example. 3600 IN NS ns1.host.net.\r\n"                                  // 6: b
            + "c.example.\t7200\tin\tns\tns.c.example.\n"                              // 7: c
            + "b.example.\t3600\tin\tNs\tns9.x\n"                                      // 8: b again, after c
            + longOwner + "\t3600\tin\tns\tns.x.\n"                                    // 9
            + "example.\t3600\tin\tns\tns.x.\n"                                        // 10: the apex: the reader's
            + "Last.Owner\t1\tin\ttxt\tx\n";                                          // 11
        const SimpleNsLines lines = FindSimple(text);
        ASSERT_TRUE(lines.found);
        std::vector<std::pair<std::uint32_t, std::string>> entries;
        for (const SimpleNsLines::Entry& e : lines.entries)
            entries.emplace_back(e.line, text.substr(e.ownerOffset, e.ownerLength));
        const std::vector<std::pair<std::uint32_t, std::string>> expected = {
            {1, "a.example"}, {6, "b.example"}, {7, "c.example"}, {8, "b.example"},
            {9, longOwner.substr(0, longOwner.size() - 1)}, {10, "example"}};
        EXPECT_EQ(entries, expected);
        EXPECT_EQ(lines.lastOwnerSize, 10u) << "Last.Owner, as written";
        EXPECT_TRUE(lines.servers.empty()) << "not asked for";

        // Asked for, every NS line's server field as written, none of its
        // line end; the entries stay the same.
        const SimpleNsLines withServers = FindSimple(text, true);
        ASSERT_TRUE(withServers.found);
        EXPECT_EQ(withServers.entries.size(), lines.entries.size());
        std::vector<std::pair<std::uint32_t, std::string>> servers;
        for (const SimpleNsLines::Server& e : withServers.servers)
            servers.emplace_back(e.line, text.substr(e.offset, e.length));
        const std::vector<std::pair<std::uint32_t, std::string>> expectedServers = {
            {1, "ns1.host.net."}, {2, "ns2.host.net."}, {4, "ns3.host.net."}, {6, "ns1.host.net."},
            {7, "ns.c.example."}, {8, "ns9.x"},         {9, "ns.x."},         {10, "ns.x."}};
        EXPECT_EQ(servers, expectedServers);
        // A further field after the server, and a repeated line with a CR.
        const SimpleNsLines more = FindSimple(std::string("x\n") + "a.\t1\tin\tns\tn1.x. y\n"
                                                  + "a.\t1\tin\tns\tn2.x.\r\n" + "a.\t1\tin\tns\tN3.X\tz\n",
                                              true);
        ASSERT_TRUE(more.found);
        ASSERT_EQ(more.servers.size(), 3u);
        EXPECT_EQ(more.servers[0].length, 5u);
        EXPECT_EQ(more.servers[1].length, 5u);
        EXPECT_EQ(more.servers[2].length, 4u);
    }

    // Any line from line 1 on that is not simple leaves the whole chunk to
    // the reader.
    TEST(SimpleNsLines, ALineThatIsNotSimpleLeavesTheChunkToTheReader)
    {
        const char* const lines[] = {
            "",                                     // empty
            "\tx.\t3600\tin\tns\tn.",              // the previous owner
            "$ORIGIN x.",                           // a directive
            ".x.\t3600\tin\tds\t1",                 // an empty label
            "x.\t3600\tin\tsoa\tn. h. 1 2 3 4 5",    // sets the apex and origin
            "x\t3600\tin\tns\tn.",                  // a relative owner of an NS record
            "X.\t3600\tin\tns\tn.",                 // an NS owner in upper case
            "x.\t3600\tin\tns\t@",                  // the origin as server
            "x.\t3600\tin\tns\t.",                  // the root as server
            "x.\t3600\tin\tns",                      // no server
            "x.\t1h\tin\tns\tn.",                   // a TTL with units
            "x.\tin\t3600\tns\tn.",                 // class before TTL
            "x.\t3600\tch\tns\tn.",                 // another class
            "x.\t3600\tns\tn.",                      // no class
            "x.\t3600\tin",                          // no type
            "x.",                                   // an owner alone
            "x.\t3600\tin\tns\t                                                                    n.",
        };
        for (const char* line : lines)
        {
            SCOPED_TRACE(line);
            EXPECT_FALSE(FindSimple(std::string("a.\t1\tin\tns\tn.\n") + "b.\t1\tin\tns\tn.\n" + line + "\n").found);
        }
        EXPECT_TRUE(FindSimple("x\nx.\t3600\tin\ta\t192.0.2.1\n").found);
    }

    // Zones of simple lines, where the NS lines the reader finds ahead stand
    // for the lines themselves, give what the same records written so that
    // every line is read in full give, in both modes, with and without
    // append mode and a server list, across batches and buffer refills;
    // every line is counted. Servers in upper case and relative ones are
    // resolved as the reader resolves them.
    TEST(MasterDomains, SimpleNsLinesTakenAheadSameAsFullReading)
    {
        std::mt19937 random(20261210);
        const char* const servers[] = {"ns1.host.net.", "ns2.host.net.", "ns3.other.org.", "NS4.Host.NET.", "ns5.rel"};
        const char* const heads[] = {"\t3600\tin\t", "\t3600\tIN\t", " 86400 in "};
        RunFilters filtered = OpenFilters();
        filtered.minChars = 11;
        filtered.maxChars = 11;
        filtered.excludedChars = "q";
        RunFilters append = OpenFilters();
        append.appendNameServers = 1;
        RunFilters listed = filtered;
        listed.nameServerText = "ns4.,ns3";
        for (int round = 0; round < 2; ++round)
        {
            std::vector<Record> records;
            std::string simple = "example.\t3600\tin\tsoa\tns.example. host.example. 1 2 3 4 5\n";
            // About 1.3 MB: more than one buffer of the reader.
            for (int d = 0; d < 9000; ++d)
            {
                const std::string owner =
                    "d" + std::to_string(random() % 3000) + (random() % 5 ? "q" : "") + ".example.";
                const std::string head = heads[random() % 3];
                const std::string end = random() % 7 ? "\n" : "\r\n";
                const auto add = [&](const std::string& o, const char* type, const std::string& data) {
                    records.push_back({o, type, data});
                    simple += o + head + type + "\t" + data + end;
                };
                for (int s = 0, count = 1 + static_cast<int>(random() % 4); s < count; ++s)
                {
                    add(owner, random() % 9 ? "ns" : "NS", servers[random() % 5]);
                    if (random() % 8 == 0)
                        add(owner, "ds", "1 8 2 ABCD");
                }
                if (random() % 6 == 0)
                    add("ns1." + owner, "a", "192.0.2.1");
                if (random() % 50 == 0)
                    add("example.", "ns", servers[random() % 5]);
            }
            const std::string decorated = Decorated(records, random);
            const auto lines = static_cast<std::uint64_t>(std::count(simple.begin(), simple.end(), '\n'));
            const std::pair<ExtractMode, RunFilters> runs[] = {
                {ExtractMode::Domains, OpenFilters()}, {ExtractMode::Domains, filtered},
                {ExtractMode::Domains, append},        {ExtractMode::Domains, listed},
                {ExtractMode::NameServers, OpenFilters()}};
            for (const auto& [mode, filters] : runs)
            {
                SCOPED_TRACE(testing::Message() << "round " << round << ", mode " << static_cast<int>(mode)
                                                << ", append " << filters.appendNameServers << ", servers "
                                                << filters.nameServerText);
                const auto a = RunWorker(simple, mode, kMaster, filters);
                const auto b = RunWorker(decorated, mode, kMaster, filters);
                ASSERT_EQ(a.output, b.output);
                if (filters.maxChars != filtered.maxChars && mode == ExtractMode::Domains)
                {
                    ASSERT_GT(std::count(a.output.begin(), a.output.end(), '\n'), 1000) << "more than one batch";
                }
                EXPECT_EQ(a.statusText.find("[" + std::to_string(lines) + " Lines]"), 0u) << a.statusText;
            }
        }
        // The reader finds them in the buffers it reads from memory too.
        ZoneLineReader reader;
        reader.OpenMemory("a.\t1\tin\tns\tn.\nb.\t1\tin\tns\tn.\nc.\t1\tin\tns\tn.\n");
        FindPlainLines(reader, true);
        std::string_view line;
        ASSERT_TRUE(reader.ReadLine(line));
        const ZoneLineReader::LineRun run = reader.BufferedLines();
        ASSERT_NE(FoundNsLines(run), nullptr);
        EXPECT_EQ(FoundNsLines(run)->entries.size(), 2u);
    }

    // The zone read from a file (chunks read ahead, with the reading
    // thread's shortcuts) gives the output, status and count of unreadable
    // records that it gives read from memory, with and without append mode,
    // in both modes; the zone must hold unreadable records.
    void ExpectFileRunsMatchMemoryRuns(const std::string& zone, const std::string& name)
    {
        const std::string zonePath = test::TempPath(name + ".zone");
        const std::string outputPath = test::TempPath(name + ".out");
        test::WriteFile(zonePath, zone);
        RunFilters append = OpenFilters();
        append.appendNameServers = 1;
        for (const RunFilters& filters : {OpenFilters(), append})
        {
            for (const ExtractMode mode : {ExtractMode::Domains, ExtractMode::NameServers})
            {
                const auto memory = RunWorker(zone, mode, kMaster, filters);
                const std::uint64_t unreadable = CurrentRunState().unreadableRecords.load();
                const HeadlessRunResult file = RunHeadless(zonePath, outputPath, mode, kMaster, filters);
                EXPECT_FALSE(file.error);
                EXPECT_EQ(test::ReadFile(outputPath), memory.output);
                EXPECT_EQ(file.statusText, memory.statusText);
                EXPECT_EQ(file.unreadableRecords, unreadable);
                EXPECT_GT(unreadable, 0u);
            }
        }
    }

    // Read from a file, the reading thread marks stretches without special
    // bytes, where the pass-over and the reading of new owners skip their
    // own checks: plain stretches between decorated ones, some with empty
    // labels and specials near chunk borders, give what the same zone gives
    // read from memory.
    TEST(MasterDomains, PlainChunksReadAheadSameAsFullReading)
    {
        std::mt19937 random(7);
        std::vector<Record> records;
        // About 3 MB: a dozen read-ahead chunks.
        for (int d = 0; d < 10000; ++d)
        {
            const std::string owner = "domain" + std::to_string(random() % 900) + ".example.";
            for (int s = 0, count = 1 + static_cast<int>(random() % 4); s < count; ++s)
                records.push_back({owner, "ns", "ns" + std::to_string(random() % 50) + ".host.net."});
            if (random() % 50 == 0)
                records.push_back({owner, "ns", "ns1..host.net."});
            if (random() % 70 == 0)
                records.push_back({owner, "txt", "\"a ( b\""});
        }
        const std::string zone = Plain(records) + Decorated(records, random) + Plain(records);
        ExpectFileRunsMatchMemoryRuns(zone, "plain-chunks");
    }

    // In plain stretches the reader passes over records of other types
    // without resolving their owners, and hands out lower-case absolute
    // owners of NS lines straight from the line: an owner that a blank-owner
    // line after it takes over, owners in upper case, relative, longer than
    // 64 bytes or with an empty label, TTLs and classes in other spellings
    // and records without a type or data must all give what the same zone
    // gives read line by line from memory.
    TEST(MasterDomains, PlainOtherRecordsPassedOverSameAsFullReading)
    {
        std::mt19937 random(11);
        const char* const heads[] = {"\t3600\tin\t", "\t3600\tIN\t", "\t1h\tin\t", " IN 3600 ", " 3600 ch ", "\t"};
        const char* const others[] = {"ds\t1 8 2 ABCD", "a\t192.0.2.1", "AAAA\t2001:db8::1", "txt\tx", "a", "nsec3\t1 1 0 - X ns"};
        std::string zone = "example.\t3600\tin\tsoa\tns.example. host.example. 1 2 3 4 5\n";
        const auto head = [&] { return std::string(random() % 5 ? heads[0] : heads[random() % 6]); };
        // About 3 MB: a dozen read-ahead chunks.
        for (int d = 0; d < 40000; ++d)
        {
            std::string owner = "domain" + std::to_string(random() % 5000);
            switch (random() % 12)
            {
            case 0:
                owner = "Domain" + owner.substr(6) + ".Example.";
                break;
            case 1:
                break; // relative to the origin
            case 2:
                owner = std::string(60 + random() % 10, 'x') + owner + ".example.";
                break;
            case 3:
                owner = "." + owner + ".example."; // an empty label
                break;
            default:
                owner += ".example.";
                break;
            }
            const auto other = [&] { zone += owner + head() + others[random() % 6] + "\n"; };
            if (random() % 3 == 0)
                other();
            for (int s = 0, count = 1 + static_cast<int>(random() % 3); s < count; ++s)
            {
                const bool blank = random() % 3 == 0;
                zone += (blank ? std::string(random() % 2 ? "\t" : "  ") : owner) + head() + "ns\tns"
                    + std::to_string(random() % 40) + ".host.net.\n";
                if (random() % 6 == 0)
                    other();
            }
            if (random() % 200 == 0)
                zone += owner + "\t3600\tin\n"; // no type
            if (random() % 500 == 0)
                zone += random() % 2 ? "$ORIGIN example.\n" : "$ORIGIN other.\n";
        }
        ExpectFileRunsMatchMemoryRuns(zone, "plain-others");
    }

    TEST(LayoutHint, NamesTheLayoutThatPlainlyFits)
    {
        std::string czds;
        std::string gtld = "$ORIGIN COM.\n";
        std::string se;
        for (int i = 0; i < 40; ++i)
        {
            const std::string n = std::to_string(i);
            czds += "d" + n + ".com.\t172800\tin\tns\tns1.h" + n + ".net.\n";
            gtld += "D" + n + " NS NS1.H" + n + ".NET.\n";
            se += "- Name=d" + n + ".se\n    Created=2020\n    Name Server=ns1.h.se\n";
        }
        const std::string transfer = "; <<>> DiG <<>> axfr se\nse.\t\t7200\tIN\tSOA\ta.ns.se. h.se. 1 2 3 4 5\n"
                                     "se.\t\t7200\tIN\tNS\ta.ns.se.\nalpha.se. 3600 IN NS ns1.alpha.se.\n"
                                     "alpha.se. 3600 IN DS 1 8 2 AB\nbeta.se.\t3600\tIN\tNS\tns1.beta.se.\n";
        struct Case
        {
            const std::string& head;
            std::int32_t chosen;
            std::optional<std::string> hint;
        };
        const std::string master = "No names were found: the zone file looks like the layout \"Standard Zone\"; "
                                   "choose that zone type and run again.";
        const std::string gtldHint = "No names were found: the zone file looks like the layout \"Com,Net,Edu Zone\"; "
                                     "choose that zone type and run again.";
        const std::string seHint = "No names were found: the zone file looks like the layout \"Se Zone\"; "
                                   "choose that zone type and run again.";
        const std::string empty;
        const std::string prose = "This is a text file.\nIt holds no zone at all.\n";
        const Case cases[] = {
            {czds, kGtld, master},      {czds, kSe, master},        {czds, 7, master},
            {czds, kMaster, std::nullopt}, {transfer, kGtld, master}, {transfer, kSe, master},
            {gtld, kSe, gtldHint},      {gtld, kGtld, std::nullopt}, {gtld, kMaster, std::nullopt},
            {se, kGtld, seHint},        {se, kMaster, seHint},      {se, kSe, std::nullopt},
            {empty, kGtld, std::nullopt}, {prose, kSe, std::nullopt}, {prose, kMaster, std::nullopt},
        };
        for (const Case& c : cases)
            EXPECT_EQ(LayoutHintForText(c.head, c.chosen), c.hint) << c.chosen << "\n" << c.head;

        // Only a run that found nothing gets a hint: a gTLD run on the CZDS
        // zone does, a master run on the gTLD zone finds names.
        const std::string zonePath = test::TempPath("czds.zone");
        const std::string outputPath = test::TempPath("out.txt");
        test::WriteFile(zonePath, czds);
        EXPECT_EQ(RunHeadless(zonePath, outputPath, ExtractMode::Domains, kGtld, OpenFilters()).layoutHint, master);
        EXPECT_EQ(RunHeadless(zonePath, outputPath, ExtractMode::Domains, kMaster, OpenFilters()).layoutHint,
                  std::nullopt);
        EXPECT_EQ(LayoutHintForFile(test::TempPath("missing.zone"), kGtld), std::nullopt);
    }
}
