#include <gtest/gtest.h>

#include "engine_test_support.h"
#include "extraction/extraction_state.h"
#include "extraction/extractors.h"
#include "input/zone_line_reader.h"

using namespace plexor;
using plexor::test::ExtractAll;
using plexor::test::OpenFilters;

namespace
{
    const char* const kDomainZone = "- Name=se\n"
                                    "apex text 1\n"
                                    "apex text 2\n"
                                    "- Name=alpha.se\n"
                                    "any text\n"
                                    "    Name Server=ns1.host.se\n"
                                    "- Name=alpha.se\n"
                                    "any text\n"
                                    "Name Server=ns2.host.se\n"
                                    "- Name=beta.se\n"
                                    "any text\n"
                                    "IP Address=192.0.2.1\n";

    RunFilters Filters(int32_t append = 0, std::string nameServers = "")
    {
        RunFilters filters = OpenFilters();
        filters.appendNameServers = append;
        filters.nameServerText = std::move(nameServers);
        return filters;
    }

    void ExpectCounters(std::uint64_t lines, std::uint64_t names)
    {
        EXPECT_EQ(test::LinesRead(), lines);
        EXPECT_EQ(test::NamesExtracted(), names);
    }

    std::string Record(const std::string& name, const std::string& detail)
    {
        return "- Name=" + name + "\nsecond line\n" + detail + "\n";
    }

    TEST(SeDomains, WorkedExampleAndItsVariants)
    {
        EXPECT_EQ(ExtractAll(&ExtractSeDomains, kDomainZone, Filters()), std::vector<std::string> {"alpha.se"});
        ExpectCounters(6, 1);
        EXPECT_EQ(ExtractAll(&ExtractSeDomains, kDomainZone, Filters(1)),
                  std::vector<std::string> {"alpha.se: ns1.host.se,ns2.host.se"});
        EXPECT_EQ(ExtractAll(&ExtractSeDomains, kDomainZone, Filters(1, "NS2.HOST.SE")),
                  std::vector<std::string> {"alpha.se: ns2.host.se"});
    }

    struct ZoneCase
    {
        const char* what;
        std::string zone;
        RunFilters filters;
        std::vector<std::string> entries;
    };

    TEST(SeDomains, RecordRules)
    {
        RunFilters listed = Filters(1, "ns1");
        RunFilters shortNames = Filters();
        shortNames.maxChars = 8;
        const ZoneCase cases[] = {
            {"SE in capitals is no apex", Record("SE", "Name Server=a"), Filters(), {"SE"}},
            {"se and a blank is no apex", Record("se ", "Name Server=a"), Filters(), {"se "}},
            {"a blank before the key is no head", " - Name=a.se\nx\nName Server=a\n", Filters(), {}},
            {"name not trimmed", Record("a.se  ", "Name Server=n"), Filters(1), {"a.se  : n"}},
            {"heads inside a record are consumed",
             "- Name=a.se\n- Name=b.se\n- Name=c.se\nName Server=n\n", Filters(), {}},
            {"key after other text", Record("a.se", "  x Name Server=n y "), Filters(1), {"a.se: n y"}},
            {"key twice: the first counts", Record("a.se", "Name Server=Name Server=n"), Filters(1),
             {"a.se: Name Server=n"}},
            {"empty server without list", Record("a.se", "Name Server="), Filters(1), {"a.se: "}},
            {"empty server with a list", Record("a.se", "Name Server="), listed, {}},
            {"list compares upper-cased", Record("a.se", "Name Server=NS1.x") + Record("b.se", "Name Server=ns2"),
             listed, {"a.se: NS1.x"}},
            {"only the last accepted name repeats",
             Record("alpha.se", "Name Server=1") + Record("beta.se", "Name Server=2")
                 + Record("alpha.se", "Name Server=3"),
             Filters(), {"alpha.se", "beta.se", "alpha.se"}},
            {"a rejected name is tested again",
             Record("toolong.se", "Name Server=1") + Record("toolong.se", "Name Server=2"), shortNames, {}},
            {"case differs for the repeat test", Record("Alpha.se", "Name Server=1") + Record("alpha.se", "Name Server=2"),
             Filters(), {"Alpha.se", "alpha.se"}},
            {"empty name first is a repeat of the empty previous name", Record("", "Name Server=1"), Filters(), {}},
            {"end of file inside a record drops it", "- Name=a.se\nsecond\n", Filters(), {}},
            {"address records give no domains", Record("ns.a.se", "IP Address=1"), Filters(), {}},
        };
        for (const ZoneCase& c : cases)
            EXPECT_EQ(ExtractAll(&ExtractSeDomains, c.zone, c.filters), c.entries) << c.what;
    }

    TEST(SeDomains, FilterSeesUpperCasedNameButEntryKeepsCase)
    {
        RunFilters filters = Filters();
        filters.includeWordsText = "shop";
        EXPECT_EQ(ExtractAll(&ExtractSeDomains, Record("MyShop.se", "Name Server=n") + Record("other.se", "Name Server=n"),
                             filters),
                  std::vector<std::string> {"MyShop.se"});
    }

    TEST(SeDomains, CountsOnlyTheFirstLineOfEachRecord)
    {
        std::string zone;
        for (int i = 0; i < 50; ++i)
            zone += Record("d" + std::to_string(i) + ".se", "Name Server=n");
        EXPECT_EQ(ExtractAll(&ExtractSeDomains, zone, Filters()).size(), 50u);
        ExpectCounters(50, 50);
    }

    TEST(SeDomains, LimitZeroReadsNothing)
    {
        PrepareRun(Filters());
        ZoneLineReader reader;
        reader.OpenMemory(Record("a.se", "Name Server=n"));
        Batch batch;
        EXPECT_EQ(ExtractSeDomains(reader, batch, 0), 0u);
        ExpectCounters(0, 0);
    }

    const char* const kHostZone = "- Name=se\n"
                                  "apex text 1\n"
                                  "apex text 2\n"
                                  "- Name=alpha.se\n"
                                  "any text\n"
                                  "Name Server=ns1.host.se\n"
                                  "- Name=ns1.host.se\n"
                                  "any text\n"
                                  "  IP Address=192.0.2.1\n"
                                  "- Name=ns1.host.se\n"
                                  "any text\n"
                                  "IP Address=192.0.2.2\n";

    TEST(SeNameServers, WorkedExampleIgnoresEveryFilter)
    {
        RunFilters strict;
        strict.maxChars = 1;
        strict.excludedChars = "s";
        strict.nameServerText = "nothing";
        strict.appendNameServers = 1;
        for (const RunFilters& filters : {Filters(), strict})
        {
            EXPECT_EQ(ExtractAll(&ExtractSeNameServers, kHostZone, filters),
                      (std::vector<std::string> {"ns1.host.se", "ns1.host.se"}));
            ExpectCounters(6, 2);
        }
    }

    TEST(SeNameServers, RecordRules)
    {
        const ZoneCase cases[] = {
            {"key after text", Record("h", "x IP Address="), Filters(), {"h"}},
            {"both keys", Record("h", "Name Server=a IP Address=1"), Filters(), {"h"}},
            {"domain record", Record("d", "Name Server=a"), Filters(), {}},
            {"SE is no apex", Record("SE", "IP Address=1"), Filters(), {"SE"}},
            {"se is the apex, its lines are read alone", "- Name=se\n- Name=h\nx\nIP Address=1\n", Filters(), {"h"}},
            {"name not trimmed", Record("h ", "IP Address=1"), Filters(), {"h "}},
            {"repeats are kept", Record("h", "IP Address=1") + Record("g", "IP Address=1") + Record("h", "IP Address=1"),
             Filters(), {"h", "g", "h"}},
            {"heads inside a record are consumed", "- Name=a\n- Name=b\n- Name=c IP Address=1\n", Filters(), {"a"}},
        };
        for (const ZoneCase& c : cases)
            EXPECT_EQ(ExtractAll(&ExtractSeNameServers, c.zone, c.filters), c.entries) << c.what;
    }
}
