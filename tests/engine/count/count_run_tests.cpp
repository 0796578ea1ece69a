// The count run against a model: the domains per server and per provider
// counted with plain maps over the list that a domain run in append mode
// writes (or a comparison's list of new names), on generated zones of every
// layout, plain and gzip, with shared, own, upper-case, relative and
// repeated servers, a provider map and the run's filters (look-alike terms
// among them).

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "compare/zone_changes.h"
#include "count/count_run.h"
#include "count/provider_map.h"
#include "count/public_suffix.h"
#include "engine_test_support.h"

#ifdef PLEXOR_HAVE_LOOKALIKE
#include "lookalike/matcher.h"
#include "lookalike/watch_list.h"
#endif

namespace plexor::test
{
    namespace
    {
        using Lines = std::vector<std::string>;

        struct Domain
        {
            std::string label;
            // As written in the zone: absolute with a final dot, relative
            // (own servers below the domain), in any case; repeats are
            // repeated records.
            std::vector<std::string> servers;
        };
        using Day = std::vector<Domain>;

        std::string Lower(std::string text)
        {
            for (char& c : text)
                c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
            return text;
        }

        // Servers of many providers: one provider over several registrable
        // domains (joined by the map), multi-label and private suffixes, a
        // host that is a suffix itself, a single label, an IDN host.
        const char* const kSharedServers[] = {
            "ns1.hosta.net",      "NS2.HostA.net",         "ns1.hostb.org",       "dns.example.co.uk",
            "ns.example.co.uk",   "ns-12.awsdns-01.com",   "ns-99.awsdns-02.net", "ns-7.awsdns-03.co.uk",
            "ns.blogspot.com",    "x.ns.blogspot.com",     "co.uk",               "localhost",
            "ns1.xn--80ak6aa92e.com", "ns2.xn--80ak6aa92e.com", "a.b.c.hosta.net",
        };

        std::vector<std::string> RandomServers(std::mt19937& random, const std::string& label, bool relativeAllowed)
        {
            std::vector<std::string> servers;
            for (std::size_t n = 1 + random() % 4; servers.size() < n;)
            {
                const unsigned roll = random() % 10;
                if (roll < 3 && !servers.empty())
                    servers.push_back(servers[random() % servers.size()]); // a repeated record
                else if (roll < 5)
                {
                    // A server of its own, absolute or relative to the origin.
                    const std::string host = "ns" + std::to_string(random() % 2) + "." + label;
                    servers.push_back(relativeAllowed && random() % 2 == 0 ? host : host + ".com.");
                }
                else
                {
                    std::string host = kSharedServers[random() % std::size(kSharedServers)];
                    if (random() % 4 == 0)
                        host = ToUpperAscii(host);
                    servers.push_back(host + ".");
                }
            }
            return servers;
        }

        std::pair<Day, Day> RandomDays(std::mt19937& random, bool relativeAllowed)
        {
            std::set<std::string> used;
            const auto fresh = [&] {
                for (;;)
                    if (std::string label = RandomLabel(random); used.insert(label).second)
                        return label;
            };
            Day older;
            for (int i = 0, n = 1 + static_cast<int>(random() % 60); i < n; ++i)
            {
                const std::string label = fresh();
                older.push_back({label, RandomServers(random, label, relativeAllowed)});
            }
            Day today;
            for (const Domain& domain : older)
            {
                const unsigned roll = random() % 10;
                if (roll < 2)
                    continue;
                today.push_back(roll < 4 ? Domain {domain.label, RandomServers(random, domain.label, relativeAllowed)}
                                         : domain);
                if (random() % 3 == 0)
                {
                    const std::string label = fresh();
                    today.push_back({label, RandomServers(random, label, relativeAllowed)});
                }
            }
            return {older, today};
        }

        // The day in a layout's form, a domain's records together, as zones
        // list them; master-file owners change case from record to record.
        std::string Render(const Day& day, std::int32_t layout, std::mt19937& random)
        {
            std::string zone = layout == kGtld ? "$ORIGIN COM.\n"
                             : layout == kSe   ? "- Name=se\nx\n    Name Server=a.ns.se\n"
                                               : "$ORIGIN com.\n@ IN SOA a. b. 1 2 3 4 5\n@ IN NS a.gtld.\n";
            for (const Domain& domain : day)
            {
                for (const std::string& server : domain.servers)
                {
                    if (layout == kGtld)
                        zone += ToUpperAscii(domain.label) + " NS " + ToUpperAscii(server) + "\n";
                    else if (layout == kSe)
                    {
                        std::string absolute = server.substr(0, server.size() - 1);
                        zone += "- Name=" + domain.label + ".se\nx\n    Name Server=" + absolute + "\n";
                    }
                    else
                        zone += (random() % 4 == 0 ? ToUpperAscii(domain.label) : domain.label) + " 86400 IN NS " + server
                                + "\n";
                }
                if (random() % 4 == 0)
                    zone += layout == kSe ? "- Name=ns1." + domain.label + ".se\nx\n    IP Address=192.0.2.1\n"
                                          : "ns1." + domain.label + " IN A 192.0.2.1\n";
            }
            return zone;
        }

        struct Settings
        {
            std::int32_t layout;
            RunFilters filters;
            ZoneChanges changes = ZoneChanges::None;
        };

        HeadlessRunResult RunCount(const std::string& zonePath, const std::string& olderPath, const Settings& settings,
                              const std::string& outputPath, EntrySink* sink)
        {
            HeadlessRunOptions options;
            options.lineEnd = LineEnd::Lf;
            options.changes = settings.changes;
            options.olderZonePath = olderPath;
            options.comparisonBody = &CompareZones;
            options.entrySink = sink;
            return RunHeadless(zonePath, outputPath, ExtractMode::Domains, settings.layout, settings.filters, options);
        }

        // The model's table: rows sorted most domains first, ties by name,
        // in the list form, and the domains on one provider.
        struct ModelCount
        {
            std::string table;
            std::uint64_t domains = 0;
            std::uint64_t singleProvider = 0;
        };

        ModelCount Model(const Lines& list, CountBy by, const ProviderMap* map)
        {
            const PublicSuffixList& suffixes = PublicSuffixList::Default();
            const auto providerOf = [&](const std::string& server) {
                if (map != nullptr)
                    if (const std::string* mapped = map->ProviderOf(server))
                        return *mapped;
                const std::size_t start = suffixes.RegistrableStart(server);
                return start == std::string::npos ? server : server.substr(start);
            };
            // Each domain's servers, whichever entries list them.
            std::map<std::string, std::set<std::string>> servers;
            for (const std::string& entry : list)
            {
                const std::size_t colon = entry.find(": ");
                std::set<std::string>& of = servers[Lower(entry.substr(0, colon))];
                if (colon == std::string::npos)
                    continue;
                for (std::size_t at = colon + 2;;)
                {
                    const std::size_t comma = entry.find(',', at);
                    std::string server = Lower(entry.substr(at, comma - at));
                    if (!server.empty() && server.back() == '.')
                        server.pop_back();
                    of.insert(server);
                    if (comma == std::string::npos)
                        break;
                    at = comma + 1;
                }
            }
            ModelCount model;
            model.domains = servers.size();
            std::map<std::string, std::uint64_t> counts;
            for (const auto& [domain, hosts] : servers)
            {
                std::set<std::string> providers;
                for (const std::string& host : hosts)
                    providers.insert(providerOf(host));
                model.singleProvider += providers.size() == 1 ? 1 : 0;
                for (const std::string& name : by == CountBy::Server ? hosts : providers)
                    ++counts[name];
            }
            std::vector<std::pair<std::string, std::uint64_t>> rows(counts.begin(), counts.end());
            std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
            for (const auto& [name, domains] : rows)
                model.table += name + " " + std::to_string(domains) + " " + FormatShare(domains, model.domains) + "%\n";
            return model;
        }

        Settings RandomSettings(std::mt19937& random)
        {
            static constexpr std::int32_t kLayouts[] = {kGtld, kSe, kMaster};
            Settings settings {kLayouts[random() % 3], OpenFilters()};
            settings.filters.appendNameServers = 1;
            settings.filters.lineLimit = 0;
            if (random() % 3 == 0)
            {
                settings.filters.minChars = 3;
                settings.filters.maxChars = 12;
                settings.filters.excludedChars = "x";
            }
            if (random() % 4 == 0)
                settings.filters.includeWordsText = "a,b";
            if (random() % 4 == 0)
                settings.filters.nameServerText = "ns1.hosta.net,co.uk";
            if (random() % 3 == 0)
                settings.changes = ZoneChanges::NewNames;
#ifdef PLEXOR_HAVE_LOOKALIKE
            // Look-alikes of terms the short random labels often come near.
            if (random() % 4 == 0)
            {
                lookalike::LookalikeSettings terms;
                terms.terms = {"abc", "xyz"};
                terms.maxDistance = 2;
                std::string error;
                settings.filters.lookalike = lookalike::Matcher::Create(terms, error);
                EXPECT_NE(settings.filters.lookalike, nullptr) << error;
            }
#endif
            return settings;
        }

        constexpr std::string_view kMap = "# Route 53 over three registrable domains\n"
                                          "ns-*.awsdns-[0-9][0-9].*  route53\n"
                                          "*.HOSTB.org  hosta.net\n";
    }

    TEST(CountRun, CountsAreThoseOfAModelOverTheAppendModeList)
    {
        ProviderMap map;
        ASSERT_FALSE(map.Parse(kMap));
        std::mt19937 random(20261211);
        for (int round = 0; round < 90; ++round)
        {
            SCOPED_TRACE("round " + std::to_string(round));
            const Settings settings = RandomSettings(random);
            const auto [olderDay, todayDay] = RandomDays(random, settings.layout != kSe);
            const bool gzip = round % 3 == 1;
            const std::string olderPath = TempPath(gzip ? "older.gz" : "older.zone");
            const std::string todayPath = TempPath(gzip ? "today.gz" : "today.zone");
            const std::string older = Render(olderDay, settings.layout, random);
            const std::string today = Render(todayDay, settings.layout, random);
            WriteFile(olderPath, gzip ? Gzip(older) : older);
            WriteFile(todayPath, gzip ? Gzip(today) : today);

            const std::string listPath = TempPath("list.txt");
            ASSERT_FALSE(RunCount(todayPath, olderPath, settings, listPath, nullptr).error);
            const Lines list = LfLines(ReadFile(listPath));

            const CountBy by = round % 2 == 0 ? CountBy::Server : CountBy::Provider;
            const ProviderMap* const withMap = round % 4 < 2 ? &map : nullptr;
            const ModelCount model = Model(list, by, withMap);
            CountSink sink(by, CountForm::List, withMap);
            const std::string countPath = TempPath("count.txt");
            const HeadlessRunResult result = RunCount(todayPath, olderPath, settings, countPath, &sink);
            ASSERT_FALSE(result.error) << *result.error;
            EXPECT_EQ(ReadFile(countPath), model.table);
            ASSERT_FALSE(sink.SummaryLines().empty());
            EXPECT_EQ(sink.SummaryLines()[0], "Domains counted: " + std::to_string(model.domains));
            EXPECT_EQ(sink.SummaryLines()[1].substr(0, sink.SummaryLines()[1].find(" (")),
                      "Domains on one provider: " + std::to_string(model.singleProvider));
        }
    }

    TEST(CountRun, TheTableTakesTheRunsForm)
    {
        const std::string zone = "$ORIGIN com.\nfoo NS ns1.hosta.net.\nFOO NS NS2.HOSTA.NET.\nbar NS ns.other.org.\n";
        const std::string zonePath = TempPath("small.zone");
        WriteFile(zonePath, zone);
        Settings settings {kMaster, OpenFilters()};
        settings.filters.appendNameServers = 1;
        settings.filters.lineLimit = 0;
        const struct
        {
            CountForm form;
            std::string table;
        } cases[] = {
            {CountForm::Tsv, "provider\tdomains\tshare\nhosta.net\t1\t50.00\nother.org\t1\t50.00\n"},
            {CountForm::Jsonl, "{\"provider\":\"hosta.net\",\"domains\":1,\"share\":50.00}\n"
                               "{\"provider\":\"other.org\",\"domains\":1,\"share\":50.00}\n"},
        };
        for (const auto& c : cases)
        {
            CountSink sink(CountBy::Provider, c.form);
            const std::string countPath = TempPath("count.tsv");
            ASSERT_FALSE(RunCount(zonePath, "", settings, countPath, &sink).error);
            EXPECT_EQ(ReadFile(countPath), c.table);
        }
    }
}
