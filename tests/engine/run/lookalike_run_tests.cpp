// Whole look-alike runs against a model: the plain run's list (or the plain
// comparison's), kept where the reference matcher finds a match, written in
// the run's form with the reference's term, kind and distance. Generated
// zones in every layout, with planted variants of each term, IDN labels,
// upper-case owners, combos, exceptions and decoys one edit beyond k; list,
// tsv and jsonl; domains alone and with their servers; plain and gzip.

#include <algorithm>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "compare/zone_changes.h"
#include "engine_test_support.h"
#include "lookalike/match_kind.h"
#include "lookalike/matcher.h"
#include "lookalike/reference_matcher.h"
#include "lookalike/terms.h"
#include "lookalike/unicode_name.h"
#include "output/entry_rows.h"
#include "run/entry_writer.h"

namespace plexor::test
{
    namespace
    {
        using Lines = std::vector<std::string>;

        // Terms as a user types them: a domain name stands for its label, a
        // Unicode term, one of four letters (no distance by default, but
        // combos), one whose ordinary words contain it ("purchase").
        constexpr char kTerms[] = "paypal,amazon.com,münchen,chase,bank";
        constexpr char kExceptions[] = "paypal.com,PURCHASE";

        // IDN labels of planted look-alikes: Cyrillic "раураl", "аmazon",
        // "сhase", the decomposed-able "münchen", a Latin-Cyrillic mix.
        const char* const kIdnLabels[] = {"xn--l-7sba6dbr", "XN--MAZON-3VE", "xn--hase-k6d", "xn--mnchen-3ya",
                                          "xn--paypl-7ve", "xn--zz-broken"};

        class ZoneMaker
        {
        public:
            explicit ZoneMaker(unsigned seed) : m_random(seed) {}

            std::size_t Below(std::size_t n) { return m_random() % n; }

            std::string Edit(std::string s)
            {
                static const std::string kBytes = "abcdefghijklmnopqrstuvwxyz0123456789-";
                const std::size_t at = Below(s.size());
                switch (Below(6))
                {
                case 0: return s.insert(at, "-");
                case 1: return s.insert(at, 1, s[at]);
                case 2: return s.erase(at, 1);
                case 3:
                    if (at + 1 < s.size())
                        std::swap(s[at], s[at + 1]);
                    return s;
                case 4:
                    // A bit flip that stays a letter, digit or hyphen: others
                    // (a parenthesis) mean something else in a master file.
                    if (const char flipped = static_cast<char>(s[at] ^ (1 << Below(5)));
                        kBytes.find(flipped) != std::string::npos)
                        s[at] = flipped;
                    return s;
                default: s[at] = kBytes[Below(kBytes.size())]; return s;
                }
            }

            // Labels near the ASCII terms, at every distance up to two
            // beyond k, and combos; then IDN labels and random ones.
            Lines Labels()
            {
                static const char* const kBases[] = {"paypal", "amazon", "munchen", "chase", "bank"};
                static const char* const kWords[] = {"login", "secure", "-support", "shop", "my"};
                std::set<std::string> labels;
                for (const char* base : kBases)
                {
                    labels.insert(base);
                    for (int i = 0; i < 12; ++i)
                    {
                        std::string label = base;
                        for (std::size_t edits = 1 + Below(3); edits > 0; --edits)
                            label = Edit(label);
                        labels.insert(label);
                    }
                    const char* word = kWords[Below(std::size(kWords))];
                    labels.insert(Below(2) == 0 ? std::string(word) + base : base + std::string(word));
                }
                for (const char* label : {"paypa1", "rnunchen", "purchase", "paypal-login", "bank", "banks"})
                    labels.insert(label);
                for (const char* label : kIdnLabels)
                    labels.insert(label);
                for (int i = 0; i < 40; ++i)
                {
                    std::string label(3 + Below(10), 'a');
                    for (char& c : label)
                        c = static_cast<char>('a' + Below(26));
                    labels.insert(label);
                }
                Lines result(labels.begin(), labels.end());
                std::shuffle(result.begin(), result.end(), m_random);
                return result;
            }

            std::string Servers(const std::string& label)
            {
                static const char* const kServers[] = {"ns1.hosta.net", "ns2.hosta.net", "dns.example"};
                return Below(4) == 0 ? "ns1." + label + ".com" : kServers[Below(std::size(kServers))];
            }

            // A zone of the labels in a layout; some owners upper-cased
            // where the layout keeps their case.
            std::string Render(const Lines& labels, std::int32_t layout)
            {
                std::string zone = layout == kGtld ? "$ORIGIN COM.\n"
                                 : layout == kSe   ? "- Name=se\nx\n    Name Server=a.ns.se\n"
                                                   : "$ORIGIN com.\n@ IN SOA a. b. 1 2 3 4 5\n@ IN NS a.gtld.\n";
                for (const std::string& label : labels)
                {
                    const std::string server = Servers(label);
                    if (layout == kGtld)
                        zone += label + " NS " + server + ".\n";
                    else if (layout == kSe)
                        zone += "- Name=" + label + ".se\nx\n    Name Server=" + server + "\n";
                    else
                        zone += (Below(4) == 0 ? Upper(label) : label) + " 86400 IN NS " + server + ".\n";
                }
                return zone;
            }

        private:
            static std::string Upper(std::string text)
            {
                for (char& c : text)
                    c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
                return text;
            }

            std::mt19937 m_random;
        };

        Lines SplitLf(const std::string& text)
        {
            Lines lines;
            for (std::size_t start = 0; start < text.size();)
            {
                const std::size_t end = text.find('\n', start);
                lines.push_back(text.substr(start, end - start + 1));
                start = end + 1;
            }
            return lines;
        }

        lookalike::LookalikeSettings TermSettings(int distance)
        {
            lookalike::LookalikeSettings settings;
            settings.terms = lookalike::ParseTermList(kTerms).terms;
            settings.maxDistance = distance;
            settings.exceptions = lookalike::ParseExceptionList(kExceptions);
            return settings;
        }

        struct Case
        {
            std::int32_t layout;
            bool append;
            OutputForm form;
            bool gzip;
            int distance;
            bool lengthFilters;
        };

        RunFilters Filters(const Case& c)
        {
            RunFilters filters = OpenFilters();
            filters.appendNameServers = c.append ? 1 : 0;
            if (c.lengthFilters)
            {
                filters.minChars = 5;
                filters.maxChars = 13;
                filters.excludedChars = "q";
            }
            return filters;
        }

        std::string RunZone(const std::string& zonePath, const std::string& olderPath, const Case& c,
                        const RunFilters& filters, OutputForm form)
        {
            const std::string output = TempPath("lookalike-run.out");
            HeadlessRunOptions options;
            options.lineEnd = LineEnd::Lf;
            options.form = form;
            if (!olderPath.empty())
            {
                options.changes = ZoneChanges::NewNames;
                options.olderZonePath = olderPath;
                options.comparisonBody = &CompareZones;
            }
            const HeadlessRunResult result = RunHeadless(zonePath, output, ExtractMode::Domains, c.layout, filters, options);
            EXPECT_FALSE(result.error) << *result.error;
            return ReadFile(output);
        }

        // The model: each entry of the plain output that the reference
        // matcher keeps, in the run's form.
        std::string Model(const std::string& plainOutput, const Case& c, const lookalike::WatchList& terms)
        {
            const lookalike::ReferenceMatcher reference(terms);
            EntryColumns columns;
            columns.lookalike = true;
            std::string out;
            AppendTableHeader(c.form, columns, out);
            for (const std::string& line : SplitLf(plainOutput))
            {
                const std::string entry = line.substr(0, line.size() - 1);
                const EntryParts parts = SplitEntry(entry, c.append);
                const auto match = reference.MatchName(parts.name);
                if (!match)
                    continue;
                if (c.form == OutputForm::List)
                {
                    out += line;
                    continue;
                }
                const std::string unicode = lookalike::UnicodeName(parts.name);
                EntryFields fields;
                fields.name = parts.name;
                fields.servers = parts.servers;
                fields.unicode = unicode;
                fields.term = terms.Terms()[match->term].label;
                fields.kind = lookalike::KindName(match->kind);
                fields.distance = static_cast<int>(match->distance);
                AppendEntryRow(c.form, columns, fields, out);
            }
            return out;
        }

        std::string Store(const std::string& name, const std::string& zone, bool gzip)
        {
            const std::string path = TempPath(name + (gzip ? ".gz" : ".zone"));
            WriteFile(path, gzip ? Gzip(zone) : zone);
            return path;
        }
    }

    TEST(LookalikeRun, WritesWhatTheReferenceKeepsOfThePlainListInEveryLayoutAndForm)
    {
        ZoneMaker maker(20261211);
        int round = 0;
        for (const std::int32_t layout : {kGtld, kSe, kMaster})
            for (const OutputForm form : {OutputForm::List, OutputForm::Tsv, OutputForm::Jsonl})
                for (const bool append : {false, true})
                {
                    ++round;
                    const Case c {layout, append, form, round % 3 == 0, round % 4 == 0 ? 2 : lookalike::kAutomaticDistance,
                                  round % 5 == 0};
                    SCOPED_TRACE("round " + std::to_string(round));
                    std::string error;
                    std::shared_ptr<const lookalike::Matcher> matcher = lookalike::Matcher::Create(TermSettings(c.distance), error);
                    ASSERT_NE(matcher, nullptr) << error;

                    const std::string zonePath = Store("today", maker.Render(maker.Labels(), layout), c.gzip);
                    RunFilters filters = Filters(c);
                    const std::string plain = RunZone(zonePath, "", c, filters, OutputForm::List);
                    filters.lookalike = matcher;
                    const std::string written = RunZone(zonePath, "", c, filters, c.form);
                    EXPECT_EQ(written, Model(plain, c, matcher->Terms()));
                    EXPECT_TRUE(written.find("paypa1") != std::string::npos || written.find("PAYPA1") != std::string::npos)
                        << "a planted homoglyph is missing:\n" << written;
                }
    }

    TEST(LookalikeRun, NewLookalikesSinceAnOlderZoneAreTheModelOfThePlainComparison)
    {
        ZoneMaker maker(42);
        for (const std::int32_t layout : {kGtld, kSe, kMaster})
        {
            SCOPED_TRACE("layout " + std::to_string(layout));
            const Case c {layout, layout == kMaster, OutputForm::Tsv, layout == kSe, lookalike::kAutomaticDistance,
                          false};
            std::string error;
            std::shared_ptr<const lookalike::Matcher> matcher =
                lookalike::Matcher::Create(TermSettings(c.distance), error);
            ASSERT_NE(matcher, nullptr) << error;

            const Lines labels = maker.Labels();
            const Lines olderLabels(labels.begin(), labels.begin() + static_cast<std::ptrdiff_t>(labels.size() / 2));
            const std::string zonePath = Store("today", maker.Render(labels, layout), c.gzip);
            const std::string olderPath = Store("older", maker.Render(olderLabels, layout), c.gzip);
            RunFilters filters = Filters(c);
            const std::string plain = RunZone(zonePath, olderPath, c, filters, OutputForm::List);
            filters.lookalike = matcher;
            const std::string written = RunZone(zonePath, olderPath, c, filters, c.form);
            EXPECT_EQ(written, Model(plain, c, matcher->Terms()));
            EXPECT_GT(SplitLf(written).size(), 1u) << "no new look-alike at all: the test plants none";
        }
    }
}
