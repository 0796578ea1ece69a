#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "count/count_table.h"
#include "count/server_tally.h"

namespace plexor
{
    namespace
    {
        CountTable SmallTable(CountBy by)
        {
            ServerTally tally;
            tally.AddEntry("a.com: ns1.cloudflare.com,ns2.cloudflare.com");
            tally.AddEntry("b.com: ns1.cloudflare.com");
            tally.AddEntry("c.com: ns1.c.co.uk");
            return tally.Finish(by);
        }
    }

    TEST(CountTableTest, ShareRoundsHalfUp)
    {
        struct Case
        {
            std::uint64_t domains, total;
            const char* share;
        };
        const Case cases[] = {
            {1, 3, "33.33"}, {2, 3, "66.67"}, {1, 8, "12.50"}, {1, 80000, "0.00"}, {1, 20000, "0.01"},
            {139, 1000, "13.90"}, {5, 5, "100.00"}, {0, 7, "0.00"}, {3, 0, "0.00"},
            {4000000000ull, 6000000000ull, "66.67"},
        };
        for (const Case& c : cases)
            EXPECT_EQ(FormatShare(c.domains, c.total), c.share) << c.domains << "/" << c.total;
    }

    TEST(CountTableTest, FormsExactly)
    {
        const CountTable providers = SmallTable(CountBy::Provider);
        EXPECT_EQ(FormatCountTable(providers, CountForm::List), "cloudflare.com 2 66.67%\nc.co.uk 1 33.33%\n");
        EXPECT_EQ(FormatCountTable(providers, CountForm::Tsv),
                  "provider\tdomains\tshare\ncloudflare.com\t2\t66.67\nc.co.uk\t1\t33.33\n");
        EXPECT_EQ(FormatCountTable(providers, CountForm::Jsonl),
                  "{\"provider\":\"cloudflare.com\",\"domains\":2,\"share\":66.67}\n"
                  "{\"provider\":\"c.co.uk\",\"domains\":1,\"share\":33.33}\n");

        const CountTable servers = SmallTable(CountBy::Server);
        EXPECT_EQ(FormatCountTable(servers, CountForm::Tsv),
                  "server\tdomains\tshare\nns1.cloudflare.com\t2\t66.67\nns1.c.co.uk\t1\t33.33\n"
                  "ns2.cloudflare.com\t1\t33.33\n");
        EXPECT_EQ(FormatCountTable(servers, CountForm::Jsonl).substr(0, 11), "{\"server\":\"");
        EXPECT_EQ(FormatCountTable(ServerTally().Finish(CountBy::Server), CountForm::Tsv), "server\tdomains\tshare\n");
        EXPECT_EQ(FormatCountTable(ServerTally().Finish(CountBy::Server), CountForm::List), "");
    }

    // Server texts that are no host names still give rows every reader can
    // take: quoted in tsv, escaped into valid JSON.
    TEST(CountTableTest, OddNamesStayReadable)
    {
        ServerTally tally;
        tally.AddEntry("a.se: tab\there,quote\"d,back\\slash,caf\xC3\xA9,latin\xE9,ctl\x01");
        const CountTable table = tally.Finish(CountBy::Server);
        const std::string tsv = FormatCountTable(table, CountForm::Tsv);
        EXPECT_NE(tsv.find("\"quote\"\"d\"\t1\t100.00\n"), std::string::npos) << tsv;
        EXPECT_NE(tsv.find("\"tab\there\"\t1\t100.00\n"), std::string::npos) << tsv;
        EXPECT_NE(tsv.find("\nback\\slash\t1"), std::string::npos) << tsv;
        const std::string json = FormatCountTable(table, CountForm::Jsonl);
        for (const char* expected : {"\"quote\\\"d\"", "\"tab\\u0009here\"", "\"back\\\\slash\"",
                                     "\"caf\xC3\xA9\"", "\"latin\\u00e9\"", "\"ctl\\u0001\""})
            EXPECT_NE(json.find(expected), std::string::npos) << expected << " in " << json;
    }

    // A table large enough to be written on two threads: every row once,
    // in its order, in each form.
    TEST(CountTableTest, LargeTableWholeAndInOrder)
    {
        ServerTally tally;
        constexpr int kServers = 50000;
        for (int s = 0; s < kServers; ++s)
        {
            const std::string server = "ns" + std::to_string(s) + ".example.net";
            for (int d = 0; d <= s % 3; ++d)
                tally.AddEntry("d" + std::to_string(s) + "-" + std::to_string(d) + ".com: " + server);
        }
        const CountTable table = tally.Finish(CountBy::Server);
        ASSERT_EQ(table.size(), static_cast<std::size_t>(kServers));
        const std::uint64_t total = table.Figures().domainsCounted;
        std::string list, tsv = "server\tdomains\tshare\n", jsonl;
        for (std::size_t i = 0; i < table.size(); ++i)
        {
            const std::string name(table.Name(i));
            const std::string domains = std::to_string(table.Domains(i));
            const std::string share = FormatShare(table.Domains(i), total);
            list += name + " " + domains + " " + share + "%\n";
            tsv += name + "\t" + domains + "\t" + share + "\n";
            jsonl += "{\"server\":\"" + name + "\",\"domains\":" + domains + ",\"share\":" + share + "}\n";
        }
        EXPECT_EQ(table.Name(0).substr(0, 2), "ns");
        EXPECT_EQ(table.Domains(0), 3u);
        EXPECT_TRUE(FormatCountTable(table, CountForm::List) == list);
        EXPECT_TRUE(FormatCountTable(table, CountForm::Tsv) == tsv);
        EXPECT_TRUE(FormatCountTable(table, CountForm::Jsonl) == jsonl);
    }

    TEST(CountTableTest, FiguresAsText)
    {
        const std::vector<std::string> providers = FormatCountFigures(SmallTable(CountBy::Provider));
        const std::vector<std::string> expected = {
            "Domains counted: 3",
            "Domains on one provider: 3 (100.00%)",
            "Providers covering 50% of domains: 1",
            "Providers covering 90% of domains: 2",
        };
        EXPECT_EQ(providers, expected);
        const std::vector<std::string> servers = FormatCountFigures(SmallTable(CountBy::Server));
        EXPECT_EQ(servers[2], "Servers covering 50% of domains: 1");
        EXPECT_EQ(servers[3], "Servers covering 90% of domains: 2");

        ServerTally none;
        none.AddEntry("lonely.com");
        const std::vector<std::string> shortfall = FormatCountFigures(none.Finish(CountBy::Provider));
        EXPECT_EQ(shortfall[1], "Domains on one provider: 0 (0.00%)");
        EXPECT_EQ(shortfall[2], "Providers covering 50% of domains: not reached");
    }

    // Tables larger than one written piece arrive whole and in order.
    TEST(CountTableTest, WrittenInPieces)
    {
        ServerTally tally;
        for (int i = 0; i < 20000; ++i)
            tally.AddEntry("d" + std::to_string(i) + ".com: ns" + std::to_string(i) + ".host.net");
        const CountTable table = tally.Finish(CountBy::Server);
        std::size_t pieces = 0;
        std::string all;
        WriteCountTable(table, CountForm::List, [&](std::string_view piece) {
            ++pieces;
            all += piece;
        });
        EXPECT_GT(pieces, 1u);
        EXPECT_EQ(all, FormatCountTable(table, CountForm::List));
        EXPECT_EQ(all.substr(0, 25), "ns0.host.net 1 0.01%\nns1.");
    }
}
