#include <gtest/gtest.h>

#include "engine_test_support.h"
#include "extraction/extraction_state.h"
#include "extraction/extractors.h"
#include "input/zone_line_reader.h"

using namespace plexor;
using plexor::test::LinesRead;
using plexor::test::NamesExtracted;
using plexor::test::ExtractAll;
using plexor::test::OpenFilters;

namespace
{
    const char* const kSampleZone = "; sample zone\n"
                                    "$ORIGIN COM.\n"
                                    "COM. NS NS.EXAMPLE.NET.\n"
                                    "EXAMPLE NS NS1.EXAMPLE\n"
                                    "EXAMPLE NS NS2.EXAMPLE.NET.\n"
                                    "EXAMPLE-SHOP NS NS1.EXAMPLE\n"
                                    "NS1.EXAMPLE A 192.0.2.1\n";

    RunFilters Filters(int32_t append = 0, std::string nameServers = "")
    {
        RunFilters filters = OpenFilters();
        filters.minChars = 1;
        filters.maxChars = 63;
        filters.appendNameServers = append;
        filters.nameServerText = std::move(nameServers);
        return filters;
    }

    class GtldDomains : public ::testing::Test
    {
    protected:
        void SetUp() override { SetGtldOriginSuffix(""); }
    };

    TEST_F(GtldDomains, WorkedExampleInBothModes)
    {
        EXPECT_EQ(ExtractAll(&ExtractGtldDomains, kSampleZone, Filters()),
                  (std::vector<std::string> {"EXAMPLE.COM", "EXAMPLE-SHOP.COM"}));
        EXPECT_EQ(LinesRead(), 7u);
        EXPECT_EQ(NamesExtracted(), 2u);

        EXPECT_EQ(ExtractAll(&ExtractGtldDomains, kSampleZone, Filters(1)),
                  (std::vector<std::string> {"EXAMPLE.COM: NS1.EXAMPLE.COM,NS2.EXAMPLE.NET",
                                             "EXAMPLE-SHOP.COM: NS1.EXAMPLE.COM"}));
        EXPECT_EQ(LinesRead(), 7u);
        EXPECT_EQ(NamesExtracted(), 2u);
    }

    TEST_F(GtldDomains, NameServerListSelectsLines)
    {
        EXPECT_EQ(ExtractAll(&ExtractGtldDomains, kSampleZone, Filters(0, "ns2.example.net")),
                  std::vector<std::string> {"EXAMPLE.COM"});
        EXPECT_EQ(ExtractAll(&ExtractGtldDomains, kSampleZone, Filters(1, "ns2.example.net")),
                  std::vector<std::string> {"EXAMPLE.COM: NS2.EXAMPLE.NET"});
        // An entry also matches longer server names that begin with it.
        EXPECT_EQ(ExtractAll(&ExtractGtldDomains, kSampleZone, Filters(1, "NS1")),
                  (std::vector<std::string> {"EXAMPLE.COM: NS1.EXAMPLE.COM", "EXAMPLE-SHOP.COM: NS1.EXAMPLE.COM"}));
    }

    TEST_F(GtldDomains, EmptyFileAndFileWithoutDelegations)
    {
        EXPECT_TRUE(ExtractAll(&ExtractGtldDomains, "", Filters()).empty());
        EXPECT_EQ(LinesRead(), 0u);
        EXPECT_TRUE(ExtractAll(&ExtractGtldDomains, "; c\n\nA A 1\n", Filters()).empty());
        EXPECT_EQ(LinesRead(), 3u);
        EXPECT_EQ(NamesExtracted(), 0u);
    }

    struct LineCase
    {
        const char* line;
        std::vector<std::string> entries;
    };

    void PrintTo(const LineCase& c, std::ostream* os)
    {
        *os << ::testing::PrintToString(std::string(c.line));
    }

    class GtldDomainLines : public GtldDomains, public ::testing::WithParamInterface<LineCase>
    {
    };

    TEST_P(GtldDomainLines, Yield)
    {
        SetGtldOriginSuffix(".COM");
        EXPECT_EQ(ExtractAll(&ExtractGtldDomains, GetParam().line, Filters()), GetParam().entries);
    }

    INSTANTIATE_TEST_SUITE_P(
        Cases, GtldDomainLines,
        ::testing::Values(LineCase {" EXAMPLE NS NS1.EXAMPLE", {}}, LineCase {";EXAMPLE NS NS1.EXAMPLE", {}},
                          LineCase {"COM. NS A.GTLD.NET.", {}}, LineCase {"NET. NS A.GTLD.NET.", {}},
                          LineCase {"ORG. NS A.GTLD.NET.", {}}, LineCase {"EDU. NS A.GTLD.NET.", {}},
                          LineCase {"XCOM. NS A.GTLD.NET.", {"XCOM..COM"}},
                          LineCase {"EXAMPLE\tNS\tNS1.EXAMPLE", {}}, LineCase {"example ns ns1.example", {}},
                          LineCase {"\tEXAMPLE NS NS1.EXAMPLE", {"\tEXAMPLE.COM"}},
                          LineCase {"EXAMPLE 86400 IN NS NS1.EXAMPLE", {"EXAMPLE 86400 IN.COM"}},
                          LineCase {"EXAMPLE NS ", {"EXAMPLE.COM"}}));

    TEST_F(GtldDomains, OriginSuffixTakesTheOriginWord)
    {
        struct Case
        {
            const char* origin;
            const char* suffix;
        };
        for (const Case& c : {Case {"$ORIGIN NET.", ".NET"}, Case {"$ORIGIN COM", ".COM"},
                              Case {"$ORIGIN INFO.", ".INFO"}, Case {"$ORIGIN  \tEDU. ; comment", ".EDU"},
                              Case {"$ORIGIN COM.\r", ".COM"}, Case {"$ORIGIN .", ""}, Case {"$ORIGIN ", ""},
                              Case {"$ORIGIN CO.UK.", ".CO.UK"}})
        {
            const std::string zone = std::string(c.origin) + "\nEXAMPLE NS NS1.EXAMPLE\n";
            EXPECT_EQ(ExtractAll(&ExtractGtldDomains, zone, Filters(1)),
                      std::vector<std::string> {std::string("EXAMPLE") + c.suffix + ": NS1.EXAMPLE" + c.suffix})
                << c.origin;
            EXPECT_EQ(GtldOriginSuffix(), c.suffix);
        }
    }

    TEST_F(GtldDomains, SuffixPersistsAcrossRunsAndIsAbsentBeforeAnyOrigin)
    {
        EXPECT_EQ(ExtractAll(&ExtractGtldDomains, "EXAMPLE NS NS1.EXAMPLE\n", Filters(1)),
                  std::vector<std::string> {"EXAMPLE: NS1.EXAMPLE"});
        ExtractAll(&ExtractGtldDomains, "$ORIGIN NET.\n", Filters());
        EXPECT_EQ(ExtractAll(&ExtractGtldDomains, "EXAMPLE NS NS1.EXAMPLE.\n", Filters(1)),
                  std::vector<std::string> {"EXAMPLE.NET: NS1.EXAMPLE"});
    }

    TEST_F(GtldDomains, RepeatsOnlyMergeIntoTheLastAcceptedDomain)
    {
        SetGtldOriginSuffix(".COM");
        const char* zone = "A NS N1.\n"
                           "B NS N2.\n"
                           "A NS N3.\n"        // separated by another accepted domain: emitted again
                           "REJECTED NS N4.\n" // too long for maxChars 6
                           "A NS N5.\n";       // separated only by a rejected one: merged
        RunFilters filters = Filters(1);
        filters.maxChars = 6;
        EXPECT_EQ(ExtractAll(&ExtractGtldDomains, zone, filters),
                  (std::vector<std::string> {"A.COM: N1", "B.COM: N2", "A.COM: N3,N5"}));
        EXPECT_EQ(CurrentRunState().previousName, "A.COM");
    }

    TEST_F(GtldDomains, RejectedDomainIsTestedOnEachLineAndNeverBecomesPrevious)
    {
        SetGtldOriginSuffix(".COM");
        RunFilters filters = Filters();
        filters.excludedChars = "x";
        EXPECT_TRUE(ExtractAll(&ExtractGtldDomains, "XA NS N1.\nXA NS N2.\n", filters).empty());
        EXPECT_TRUE(CurrentRunState().previousName.empty());
    }

    TEST_F(GtldDomains, LimitStopsRightAfterTheEntryThatReachesIt)
    {
        SetGtldOriginSuffix(".COM");
        PrepareRun(Filters());
        ZoneLineReader reader;
        reader.OpenMemory("A NS N.\nB NS N.\nC NS N.\n");
        Batch batch;
        EXPECT_EQ(ExtractGtldDomains(reader, batch, 0), 0u) << "limit 0 reads nothing";
        EXPECT_EQ(LinesRead(), 0u);
        EXPECT_EQ(ExtractGtldDomains(reader, batch, 2), 2u);
        EXPECT_EQ(LinesRead(), 2u);
        EXPECT_EQ(ExtractGtldDomains(reader, batch, 2), 1u);
        EXPECT_EQ(ExtractGtldDomains(reader, batch, 2), 0u);
        EXPECT_EQ(batch, (Batch {"A.COM", "B.COM", "C.COM"}));
    }

    TEST_F(GtldDomains, AbortBeforeALineReturnsWithoutReading)
    {
        PrepareRun(Filters());
        ZoneLineReader reader;
        reader.OpenMemory("A NS N.\n");
        SetAbortRequested(true);
        Batch batch;
        EXPECT_EQ(ExtractGtldDomains(reader, batch, kBatchLimit), 0u);
        EXPECT_EQ(LinesRead(), 0u);
    }

    const char* const kNameServerZone = "; sample zone\n"
                                        "$ORIGIN COM.\n"
                                        "COM. NS NS.EXAMPLE.NET.\n"
                                        "EXAMPLE NS NS1.EXAMPLE\n"
                                        "EXAMPLE NS NS2.EXAMPLE.NET.\n"
                                        "EXAMPLE-SHOP NS NS1.EXAMPLE\n"
                                        "NS1.EXAMPLE A 192.0.2.1\n"
                                        "NS1.EXAMPLE A 192.0.2.2\n";

    TEST(GtldNameServers, WorkedExampleIgnoresEveryFilter)
    {
        SetGtldOriginSuffix(".COM");
        RunFilters strict;
        strict.maxChars = 1;
        strict.excludedChars = "N";
        strict.includeWordsText = "nothing";
        strict.nameServerText = "nothing";
        strict.appendNameServers = 1;
        for (const RunFilters& filters : {Filters(), strict})
        {
            EXPECT_EQ(ExtractAll(&ExtractGtldNameServers, kNameServerZone, filters),
                      (std::vector<std::string> {"NS1.EXAMPLE", "NS1.EXAMPLE"}));
            EXPECT_EQ(LinesRead(), 8u);
            EXPECT_EQ(NamesExtracted(), 2u);
        }
    }

    TEST(GtldNameServers, Lines)
    {
        const LineCase cases[] = {
            {"", {}},
            {";NS1 A 1", {}},
            {" NS1 A 1", {}},
            {"NS1 AAAA 2001:db8::1", {}},
            {"NS1 a 1", {}},
            {"EXAMPLE NS NS1.EXAMPLE", {}},
            {"NS1.EXAMPLE 86400 A 192.0.2.1", {"NS1.EXAMPLE 86400"}},
            {"\tNS1 A 1", {"\tNS1"}},
            {"NS1 A ", {"NS1"}},
        };
        for (const LineCase& c : cases)
            EXPECT_EQ(ExtractAll(&ExtractGtldNameServers, c.line, Filters()), c.entries) << c.line;
    }
}
