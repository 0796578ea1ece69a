#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "count/provider_map.h"
#include "count/public_suffix.h"
#include "count/server_tally.h"

namespace plexor
{
    namespace
    {
        using Rows = std::vector<std::pair<std::string, std::uint64_t>>;

        Rows RowsOf(const CountTable& table)
        {
            Rows rows;
            for (std::size_t i = 0; i < table.size(); ++i)
                rows.emplace_back(std::string(table.Name(i)), table.Domains(i));
            return rows;
        }

        std::string Lower(std::string text)
        {
            for (char& c : text)
                c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
            return text;
        }

        // The rules, written plainly: a map from each domain (lower case) to
        // its set of servers (lower case, no final dot), then counts.
        struct Model
        {
            std::map<std::string, std::set<std::string>> domains;

            void Add(const std::string& name, const std::vector<std::string>& servers)
            {
                std::set<std::string>& set = domains[Lower(name)];
                for (std::string server : servers)
                {
                    if (!server.empty() && server.back() == '.')
                        server.pop_back();
                    set.insert(Lower(server));
                }
            }

            static std::string ProviderOf(const std::string& host, const ProviderMap* map)
            {
                if (map != nullptr)
                {
                    if (const std::string* provider = map->ProviderOf(host))
                        return *provider;
                }
                const std::size_t start = PublicSuffixList::Default().RegistrableStart(host);
                return start == std::string::npos ? host : host.substr(start);
            }

            Rows Count(CountBy by, const ProviderMap* map) const
            {
                std::map<std::string, std::uint64_t> counts;
                for (const auto& [name, servers] : domains)
                {
                    std::set<std::string> keys;
                    for (const std::string& server : servers)
                        keys.insert(by == CountBy::Server ? server : ProviderOf(server, map));
                    for (const std::string& key : keys)
                        ++counts[key];
                }
                Rows rows(counts.begin(), counts.end());
                std::stable_sort(rows.begin(), rows.end(),
                                 [](const auto& a, const auto& b) { return a.second > b.second; });
                return rows;
            }

            std::uint64_t SingleProvider(const ProviderMap* map) const
            {
                std::uint64_t single = 0;
                for (const auto& [name, servers] : domains)
                {
                    std::set<std::string> providers;
                    for (const std::string& server : servers)
                        providers.insert(ProviderOf(server, map));
                    single += providers.size() == 1 ? 1 : 0;
                }
                return single;
            }
        };

        // Entries as a domain run can give them: shared servers in several
        // spellings (case, final dot), servers of the domain's own, a server
        // twice in one entry, a domain with dozens of servers, a domain's entries one after another with its
        // name in another case, domains without servers.
        std::vector<std::pair<std::string, std::vector<std::string>>> MakeEntries(std::uint32_t seed)
        {
            const std::vector<std::string> shared = {
                "ns1.cloudflare.com", "NS2.CLOUDFLARE.COM.", "ns-12.awsdns-01.com", "ns-900.awsdns-33.net",
                "ns-1500.awsdns-60.org", "ns-2000.awsdns-07.co.uk", "ns1.example.co.uk", "dns1.foo.github.io",
                "ns1.registrar-servers.com", "NS1.Registrar-Servers.Com", "a.b", "localhost", "", "bad name.com",
                "co.uk", "ns.b.ck", "NS.B.CK.",
            };
            std::mt19937 random(seed);
            std::vector<std::pair<std::string, std::vector<std::string>>> entries;
            for (int d = 0; d < 400; ++d)
            {
                const std::string name = "domain" + std::to_string(random() % 300) + ".com";
                std::vector<std::string> servers;
                // Now and then a domain with more servers than a few, most
                // of them listed more than once.
                const int count = random() % 40 == 0 ? 30 : static_cast<int>(random() % 4);
                for (int s = 0; s < count; ++s)
                {
                    if (random() % 3 == 0)
                        servers.push_back("ns" + std::to_string(s % 2) + "." + name);
                    else
                        servers.push_back(shared[random() % shared.size()]);
                }
                if (count > 1 && random() % 5 == 0)
                    servers.push_back(servers.front());
                entries.emplace_back(name, servers);
                if (random() % 4 == 0)
                {
                    // A further entry of the same domain, its name in upper case.
                    std::string upper = name;
                    for (char& c : upper)
                        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
                    entries.emplace_back(upper, std::vector<std::string> {shared[random() % shared.size()]});
                }
            }
            // Domains come in runs of their entries only: a name seen again
            // later is a new name here, made so by a serial.
            std::map<std::string, int> seen;
            std::string previous;
            for (auto& [name, servers] : entries)
            {
                const std::string lower = Lower(name);
                if (lower != previous)
                    ++seen[lower];
                previous = lower;
                name = std::to_string(seen[lower]) + "." + name;
            }
            return entries;
        }

        std::string EntryText(const std::string& name, const std::vector<std::string>& servers)
        {
            if (servers.empty())
                return name;
            std::string entry = name + ": ";
            for (std::size_t i = 0; i < servers.size(); ++i)
                entry += (i == 0 ? "" : ",") + servers[i];
            return entry;
        }
    }

    // The tally against the plain model, by server and by provider, with
    // and without a provider map, fed as entries and as name and servers.
    TEST(ServerTallyTest, SameAsModel)
    {
        ProviderMap map;
        ASSERT_EQ(map.Parse("# Route 53\nns-*.awsdns-[0-9][0-9].* Route53\nns?.registrar-servers.com namecheap\n"),
                  std::nullopt);
        for (std::uint32_t seed = 1; seed <= 6; ++seed)
        {
            const auto entries = MakeEntries(seed);
            Model model;
            for (const auto& [name, servers] : entries)
                model.Add(name, servers);
            for (const ProviderMap* used : std::vector<const ProviderMap*> {nullptr, &map})
            {
                for (const CountBy by : {CountBy::Server, CountBy::Provider})
                {
                    ServerTally tally(used);
                    const bool asText = seed % 2 == 0;
                    for (const auto& [name, servers] : entries)
                    {
                        if (asText)
                            tally.AddEntry(EntryText(name, servers));
                        else
                        {
                            const std::vector<std::string_view> views(servers.begin(), servers.end());
                            tally.AddDomain(name, views);
                        }
                    }
                    const CountTable table = tally.Finish(by);
                    SCOPED_TRACE("seed " + std::to_string(seed) + (used ? ", map" : "")
                                 + (by == CountBy::Server ? ", by server" : ", by provider"));
                    EXPECT_EQ(RowsOf(table), model.Count(by, used));
                    EXPECT_EQ(table.Figures().domainsCounted, model.domains.size());
                    EXPECT_EQ(table.Figures().singleProviderDomains, model.SingleProvider(used));
                }
            }
        }
    }

    TEST(ServerTallyTest, ProvidersAndFigures)
    {
        ServerTally tally;
        tally.AddEntry("a.com: NS1.CLOUDFLARE.COM.,ns2.cloudflare.com");
        tally.AddEntry("A.COM: ns3.cloudflare.com");     // the same domain again
        tally.AddEntry("b.com: ns1.cloudflare.com,ns1.b.com");
        tally.AddEntry("c.com: ns1.c.co.uk");
        tally.AddEntry("d.com");                          // no servers
        tally.AddEntry("e.com: co.uk,localhost");         // hosts that are their own provider
        const CountTable table = tally.Finish(CountBy::Provider);
        const Rows expected = {{"cloudflare.com", 2}, {"b.com", 1}, {"c.co.uk", 1}, {"co.uk", 1}, {"localhost", 1}};
        EXPECT_EQ(RowsOf(table), expected);
        const CountFigures& figures = table.Figures();
        EXPECT_EQ(figures.domainsCounted, 5u);
        EXPECT_EQ(figures.singleProviderDomains, 2u); // a.com, c.com
        EXPECT_EQ(figures.rowsFor50Percent, 2u);      // 2 + 1 of 5 reach half
        EXPECT_EQ(figures.rowsFor90Percent, 4u);      // 5 of 5
    }

    // Servers below one parent share its registrable domain, except one that
    // is a public suffix itself.
    TEST(ServerTallyTest, ServersOfOneParent)
    {
        ServerTally tally;
        tally.AddEntry("x.com: ns1.amazonaws.com,s3.amazonaws.com,ns2.amazonaws.com,a.s3.amazonaws.com");
        tally.AddEntry("y.com: ns1.example.co.uk,co.uk.example.co.uk,ns1.co.uk,ns2.co.uk");
        // Not host names, whatever the server before them: their own providers.
        tally.AddEntry("z.com: ns1.example.net,.example.net");
        const CountTable table = tally.Finish(CountBy::Provider);
        const Rows expected = {{".example.net", 1},   {"a.s3.amazonaws.com", 1}, {"amazonaws.com", 1},
                               {"example.co.uk", 1}, {"example.net", 1},        {"ns1.co.uk", 1},
                               {"ns2.co.uk", 1},     {"s3.amazonaws.com", 1}};
        EXPECT_EQ(RowsOf(table), expected);
    }

    TEST(ServerTallyTest, FiguresWhenRowsFallShort)
    {
        ServerTally tally;
        for (int i = 0; i < 10; ++i)
            tally.AddEntry("d" + std::to_string(i) + ".com");
        tally.AddEntry("x.com: ns1.x.com");
        const CountTable table = tally.Finish(CountBy::Server);
        EXPECT_EQ(table.Figures().domainsCounted, 11u);
        EXPECT_FALSE(table.Figures().rowsFor50Percent.has_value());
        EXPECT_FALSE(table.Figures().rowsFor90Percent.has_value());

        ServerTally empty;
        const CountTable none = empty.Finish(CountBy::Provider);
        EXPECT_EQ(none.size(), 0u);
        EXPECT_FALSE(none.Figures().rowsFor50Percent.has_value());
    }

    // Enough servers to make the table grow many times, and names past the
    // arena's block size.
    TEST(ServerTallyTest, GrowsAndKeepsLongNames)
    {
        ServerTally tally;
        const std::string longServer(1 << 21, 'x');
        for (int i = 0; i < 200000; ++i)
        {
            const std::string server = "ns" + std::to_string(i % 150000) + ".example.net";
            const std::string_view servers[] = {server, longServer};
            tally.AddDomain("d" + std::to_string(i) + ".com", std::span(servers, i % 40000 == 0 ? 2 : 1));
        }
        EXPECT_EQ(tally.DistinctServers(), 150001u);
        const CountTable table = tally.Finish(CountBy::Server);
        ASSERT_EQ(table.size(), 150001u);
        // The long name (5 domains), then 50000 servers with 2, then the
        // others with 1, each group by name.
        EXPECT_TRUE(table.Name(0) == longServer);
        EXPECT_EQ(table.Domains(0), 5u);
        EXPECT_EQ(table.Name(1), "ns0.example.net");
        EXPECT_EQ(table.Domains(50000), 2u);
        EXPECT_EQ(table.Domains(50001), 1u);
        for (std::size_t i = 2; i < table.size(); ++i)
            ASSERT_TRUE(table.Domains(i) < table.Domains(i - 1) || table.Name(i - 1) < table.Name(i)) << i;
    }
}

namespace plexor
{
    // Servers are lowered eight bytes at a time: every byte value, at every
    // place in a word and in the tail, lowered as ASCII alone would be.
    TEST(ServerTallyTest, LowersEveryByteAsAsciiDoes)
    {
        std::string all;
        for (int c = 1; c < 256; ++c)
            all += static_cast<char>(c);
        ProviderMap one;
        ASSERT_EQ(one.Parse("* one\n"), std::nullopt);
        for (std::size_t shift = 0; shift < 9; ++shift)
        {
            const std::string server = std::string(shift, 'Q') + all;
            std::string lowered = server;
            for (char& c : lowered)
                c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
            ServerTally tally(&one);
            const std::string_view views[] = {server, lowered};
            tally.AddDomain("a.com", views);
            const CountTable table = tally.Finish(CountBy::Server);
            ASSERT_EQ(table.size(), 1u) << "shift " << shift;
            EXPECT_EQ(table.Name(0), lowered) << "shift " << shift;
        }
    }
}

namespace plexor
{
    // A run's batch is staged in place: each name is compared with the one
    // before where it stands, in any case, and the last one of a batch is
    // kept once the batch's bytes change. Bytes that differ from a letter by
    // the case bit alone ('@' and '`', '[' and '{') are not letters.
    TEST(ServerTallyTest, HeldEntriesCompareTheirNamesInAnyCase)
    {
        struct Case
        {
            const char* before;
            const char* next;
            bool sameDomain;
        };
        const Case cases[] = {
            {"Example.COM", "example.com", true},
            {"example.com", "example.net", false},
            {"abc@def.com", "abc`def.com", false},
            {"[x].com", "{x}.com", false},
            {"abcdefghijklmnop.q", "ABCDEFGHIJKLMNOP.Q", true},
            {"abcdefghijklmnop.q", "ABCDEFGHIJKLMNOP.R", false},
            {"a", "ab", false},
        };
        for (const Case& c : cases)
        {
            for (const bool acrossBatches : {false, true})
            {
                EntryStager stager;
                StagedEntries staged;
                std::string batch = std::string(c.before) + ": ns1.x.net";
                stager.StageHeldEntry(batch, staged);
                std::string second = std::string(c.next) + ": NS1.X.NET";
                if (acrossBatches)
                {
                    stager.Release();
                    batch.assign(batch.size(), 'Z'); // the batch's bytes change
                }
                stager.StageHeldEntry(second, staged);
                const auto domains = std::count_if(staged.steps.begin(), staged.steps.end(), [](const StagedEntries::Step& step) {
                    return step.length == StagedEntries::kDomainStep;
                });
                EXPECT_EQ(domains, c.sameDomain ? 1 : 2) << c.before << " / " << c.next << (acrossBatches ? " across batches" : "");
                EXPECT_EQ(staged.entries, 2u);
            }
        }
    }
}

namespace plexor
{
    // A table large enough to be sorted on two threads, with domain counts
    // from one to hundreds and names that tie on their first bytes, are
    // short, or end where another goes on (also with a zero byte): in the
    // model's order, most domains first, then by name.
    TEST(ServerTallyTest, LargeTableInTheModelsOrder)
    {
        std::mt19937 random(7);
        const auto nameOf = [](std::uint32_t k) {
            switch (k % 4)
            {
            case 0: return "ns1.examplecloud" + std::to_string(k / 4) + ".com";
            case 1: return "ns" + std::to_string(k) + ".example.net";
            case 2: return "x" + std::to_string(k / 4);
            default: return "ns1.examplecloud" + std::to_string(k / 400) + std::string(k % 8 == 3 ? 1 : 0, '\0');
            }
        };
        std::map<std::string, std::uint64_t> model;
        ServerTally tally;
        for (int d = 0; d < 60000; ++d)
        {
            std::set<std::string> servers;
            std::vector<std::string> listed;
            for (int s = 0; s < 6; ++s)
            {
                // Skewed: a few servers in many domains, most in a few.
                const std::uint32_t k = random() % 8 == 0 ? random() % 64 : random() % 320000;
                listed.push_back(nameOf(k));
                servers.insert(listed.back());
            }
            for (const std::string& server : servers)
                ++model[server];
            const std::vector<std::string_view> views(listed.begin(), listed.end());
            tally.AddDomain("d" + std::to_string(d) + ".com", views);
        }
        Rows expected(model.begin(), model.end());
        std::stable_sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
        ASSERT_GT(expected.size(), 1u << 17); // two threads make its keys and sort them
        EXPECT_EQ(RowsOf(tally.Finish(CountBy::Server)), expected);
    }

    // Runs of names that share their beginning, each run in as many
    // domains: sorted on their later bytes, past where the keys end, and
    // by whole names where they share more than the sort looks at a byte
    // at a time.
    TEST(ServerTallyTest, NamesThatShareLongBeginnings)
    {
        struct Run
        {
            std::string beginning;
            int names;
            int domains;
        };
        const Run runs[] = {
            {"ns1.example-", 300, 1},             // alike in the first twelve bytes
            {"ns1.example-cloud.server", 300, 4}, // in twenty-four
            {std::string(40, 'a'), 200, 2},       // in forty
            {std::string(300, 'b'), 150, 1},      // in more than the sort's reach
            {"ns.x", 100, 3},                     // short, some ending where others go on
        };
        std::map<std::string, std::uint64_t> model;
        ServerTally tally;
        int domain = 0;
        std::mt19937 random(11);
        for (const Run& run : runs)
        {
            for (int n = 0; n < run.names; ++n)
            {
                // In a shuffled order; every fifth ends in a zero byte, which
                // the keys cannot tell from the end of a shorter name.
                std::string name = run.beginning + std::to_string(random() % 100000) + std::string(n % 5 == 0 ? 1 : 0, '\0');
                if (model.count(name) != 0)
                    continue;
                model[name] = static_cast<std::uint64_t>(run.domains);
                for (int d = 0; d < run.domains; ++d)
                {
                    const std::string_view server = name;
                    tally.AddDomain("d" + std::to_string(domain++) + ".com", std::span(&server, 1));
                }
            }
        }
        Rows expected(model.begin(), model.end());
        std::stable_sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
        EXPECT_EQ(RowsOf(tally.Finish(CountBy::Server)), expected);
    }
}
