#include <gtest/gtest.h>

#include "extraction/extraction_state.h"
#include "run/run_setup.h"
#include "extraction/ser_string_array.h"

using namespace plexor;

namespace
{
    struct SplitCase
    {
        const char* typed;
        std::vector<std::string> words;
    };

    void PrintTo(const SplitCase& c, std::ostream* os)
    {
        *os << ::testing::PrintToString(std::string(c.typed));
    }

    class IncludeWordsSplit : public ::testing::TestWithParam<SplitCase>
    {
    };

    TEST_P(IncludeWordsSplit, KeepsEmptyPiecesBeforeCommasAndBlanks)
    {
        const SplitCase& c = GetParam();
        ApplyFilterSettings(10, 1, "", c.typed, 0);
        EXPECT_EQ(CurrentSettings().includeWords, c.words);
    }

    INSTANTIATE_TEST_SUITE_P(Cases, IncludeWordsSplit,
                             ::testing::Values(SplitCase {"a,,b", {"A", "", "B"}}, SplitCase {",a", {"", "A"}},
                                               SplitCase {"a,", {"A"}}, SplitCase {",", {""}},
                                               SplitCase {"com, net", {"COM", " NET"}}, SplitCase {"", {}},
                                               SplitCase {"shop,shop", {"SHOP", "SHOP"}},
                                               SplitCase {"x", {"X"}}));

    TEST(ApplyFilterSettings, StoresValuesUnchangedAndUpperCasesAsciiOnly)
    {
        ApplyFilterSettings(3, 10, "xyz-é", "ümlaut,shop", 1);
        const ExtractionSettings& s = CurrentSettings();
        EXPECT_EQ(s.maxChars, 3); // a maximum below the minimum is kept as it is
        EXPECT_EQ(s.minChars, 10);
        EXPECT_EQ(s.appendNameServers, 1);
        EXPECT_EQ(s.excludedChars, "XYZ-é");
        EXPECT_EQ(s.includeWordsText, "üMLAUT,SHOP");
        ASSERT_EQ(s.excludedSequences.size(), 1u);
        EXPECT_EQ(s.excludedSequences[0], "é");
        EXPECT_TRUE(s.excludedBytes['X'] && s.excludedBytes['-']);
        EXPECT_FALSE(s.excludedBytes[0xC3]) << "a byte of a multi-byte character is not excluded alone";

        ApplyFilterSettings(18, 5, "", "", 0);
        EXPECT_TRUE(CurrentSettings().excludedChars.empty());
        EXPECT_TRUE(CurrentSettings().excludedSequences.empty());
        EXPECT_FALSE(CurrentSettings().excludedBytes['X']);
    }

    TEST(ApplyFilterSettings, InvalidUtf8BytesAreCharactersOfTheirOwn)
    {
        ApplyFilterSettings(18, 5, "\xC3" "a\xA9", "", 0);
        EXPECT_TRUE(CurrentSettings().excludedBytes[0xC3]);
        EXPECT_TRUE(CurrentSettings().excludedBytes[0xA9]);
        EXPECT_TRUE(CurrentSettings().excludedSequences.empty());
    }

    TEST(RunState, ResetClearsCountersFlagsAndPreviousName)
    {
        CurrentRunState().linesRead = 7;
        CurrentRunState().namesExtracted = 3;
        CurrentRunState().previousName = "EXAMPLE.COM";
        SetPaused(true);
        SetAbortRequested(true);
        EXPECT_TRUE(IsPaused());
        EXPECT_TRUE(IsAbortRequested());

        ResetRunState();
        std::uint64_t lines = 1;
        std::uint64_t names = 1;
        GetRunCounters(lines, names);
        EXPECT_EQ(lines, 0u);
        EXPECT_EQ(names, 0u);
        EXPECT_FALSE(IsPaused());
        EXPECT_FALSE(IsAbortRequested());
        EXPECT_TRUE(CurrentRunState().previousName.empty());
    }

    TEST(CSerStringArray, StartsEmptyUniqueIgnoringCase)
    {
        CSerStringArray list;
        EXPECT_EQ(list.currentIndex, -1);
        EXPECT_TRUE(list.uniqueOnly);
        EXPECT_EQ(list.compareMode, CSerStringArray::kCompareIgnoreCase);
        EXPECT_EQ(list.Count(), 0);
    }

    TEST(CSerStringArray, CompareModesAndUniqueness)
    {
        CSerStringArray list;
        EXPECT_TRUE(list.AddString("ns1.foo"));
        EXPECT_FALSE(list.AddString("NS1.FOO")) << "ignoring case finds the repeat";
        EXPECT_EQ(list.FindString("Ns1.Foo"), 0);

        list.compareMode = CSerStringArray::kCompareExact;
        EXPECT_EQ(list.FindString("NS1.FOO"), -1);
        EXPECT_TRUE(list.AddString("NS1.FOO"));
        EXPECT_EQ(list.FindString("NS1.FOO"), 1);

        list.compareMode = 7; // an unknown mode never matches
        EXPECT_EQ(list.FindString("ns1.foo"), -1);
        EXPECT_TRUE(list.AddString("ns1.foo"));

        list.uniqueOnly = false;
        list.compareMode = CSerStringArray::kCompareExact;
        EXPECT_TRUE(list.AddString("ns1.foo"));
        EXPECT_EQ(list.Count(), 4);
    }

    TEST(CSerStringArray, LoadDelimitedDropsEmptyPiecesAndRepeats)
    {
        CSerStringArray list;
        list.AddString("old");
        EXPECT_EQ(list.LoadDelimited("ns1.foo,,NS1.FOO, ns2.foo", ","), 2);
        EXPECT_EQ(list.Entries(), (std::vector<std::string> {"ns1.foo", " ns2.foo"}));
        EXPECT_EQ(list.LoadDelimited("", ","), 0);
        EXPECT_EQ(list.LoadDelimited(",,,", ","), 0);
        EXPECT_EQ(list.LoadDelimited("a;b,c", ",;"), 3);
        EXPECT_EQ(list.LoadDelimited("a,b,", ","), 2);
    }

    TEST(BuildNameServerList, UpperCasesAndSplits)
    {
        EXPECT_EQ(BuildNameServerList("ns1.foo,,NS1.FOO, ns2.foo"),
                  (std::vector<std::string> {"NS1.FOO", " NS2.FOO"}));
        EXPECT_TRUE(BuildNameServerList("").empty());
    }

    TEST(PrepareRun, LoadsEverythingInOrder)
    {
        SetPaused(true);
        RunFilters filters;
        filters.nameServerText = "ns.a,ns.b";
        filters.includeWordsText = "shop";
        PrepareRun(filters);
        EXPECT_FALSE(IsPaused()) << "a pause left from the last run is cleared";
        EXPECT_EQ(CurrentSettings().maxChars, 18);
        EXPECT_EQ(CurrentSettings().minChars, 5);
        EXPECT_EQ(CurrentSettings().excludedChars, "XYZ-");
        EXPECT_EQ(CurrentSettings().includeWords, std::vector<std::string> {"SHOP"});
        EXPECT_EQ(CurrentSettings().nameServers, (std::vector<std::string> {"NS.A", "NS.B"}));
    }
}
