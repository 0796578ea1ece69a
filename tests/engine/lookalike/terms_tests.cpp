#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "lookalike/terms.h"
#include "lookalike/watch_list.h"

using namespace plexor::lookalike;

namespace
{
    using Terms = std::vector<std::string>;

    TEST(TermList, TrimsSplitsAndTakesFirstLabels)
    {
        struct Case
        {
            const char* text;
            Terms expected;
        };
        const Case cases[] = {
            {"paypal", {"paypal"}},
            {" paypal ,\tmicr0soft ", {"paypal", "micr0soft"}},
            {"paypal.com, münchen.de", {"paypal", "münchen"}},
            {"a,,b, ,c,", {"a", "b", "c"}},
            {"PayPal.COM.", {"PayPal"}},
        };
        for (const Case& c : cases)
        {
            const TermList list = ParseTermList(c.text);
            EXPECT_EQ(list.error, "") << c.text;
            EXPECT_EQ(list.terms, c.expected) << c.text;
        }
    }

    TEST(TermList, RejectsBadTermsNamingThem)
    {
        const std::string longTerm(64, 'a');
        const std::string longestUnicode = [] {
            std::string s;
            for (int i = 0; i < 63; ++i)
                s += "ü";
            return s;
        }();
        struct Case
        {
            std::string text;
            std::string error;  // empty: accepted
        };
        const Case cases[] = {
            {"", "The list of look-alike terms is empty."},
            {" , ,\t", "The list of look-alike terms is empty."},
            {"paypal,bad\xff", "The term \"bad\xff\" is not valid UTF-8 text."},
            {"\xc0\xaf", "The term \"\xc0\xaf\" is not valid UTF-8 text."},          // overlong
            {"\xed\xa0\x80x", "The term \"\xed\xa0\x80x\" is not valid UTF-8 text."},  // surrogate
            {longTerm, "The term \"" + longTerm + "\" is longer than 63 characters."},
            {longTerm.substr(1) + ".com", ""},
            {longestUnicode, ""},  // 63 code points, 126 bytes
            {longestUnicode + "x", "The term \"" + longestUnicode + "x\" is longer than 63 characters."},
            {".com", "The term \".com\" has an empty first label."},
        };
        for (const Case& c : cases)
        {
            const TermList list = ParseTermList(c.text);
            EXPECT_EQ(list.error, c.error) << c.text;
            EXPECT_EQ(list.terms.empty(), !c.error.empty()) << c.text;
        }
    }

    TEST(TermFile, SkipsBlankLinesAndCommentsAndNamesBadLines)
    {
        const TermList good = ParseTermLines("# brands\r\npaypal\r\n\r\n  micr0soft.com  \n#x\n\tmünchen");
        EXPECT_EQ(good.error, "");
        EXPECT_EQ(good.terms, (Terms{"paypal", "micr0soft", "münchen"}));

        EXPECT_EQ(ParseTermLines("paypal\n\n bad\xfe\n").error, "Line 3 of the term file is not valid UTF-8 text.");
        EXPECT_EQ(ParseTermLines("# only a comment\n\n").error, "The term file holds no look-alike terms.");
        EXPECT_EQ(ParseTermLines("").error, "The term file holds no look-alike terms.");
        EXPECT_TRUE(ParseTermLines("a\n" + std::string(70, 'b')).terms.empty());
    }

    TEST(TermFile, ReadsAFileAndReportsTheSystemsReason)
    {
        const std::filesystem::path dir = std::filesystem::temp_directory_path() / "lookalike_terms_test";
        std::filesystem::create_directories(dir);
        const std::filesystem::path file = dir / "terms.txt";
        std::ofstream(file, std::ios::binary) << "paypal\nebay.com\n";
        const TermList read = ReadTermFile(file);
        EXPECT_EQ(read.error, "");
        EXPECT_EQ(read.terms, (Terms{"paypal", "ebay"}));

        const TermList missing = ReadTermFile(dir / "missing.txt");
        EXPECT_TRUE(missing.terms.empty());
        EXPECT_NE(missing.error.find("Cannot read the term file \""), std::string::npos) << missing.error;
        EXPECT_NE(missing.error.find("missing.txt\": No such file or directory."), std::string::npos) << missing.error;
#ifndef _WIN32
        const TermList folder = ReadTermFile(dir);
        EXPECT_NE(folder.error.find("Is a directory"), std::string::npos) << folder.error;
#endif
        std::filesystem::remove_all(dir);
    }

    TEST(Exceptions, AreLabelsOrWholeNamesOfAnyAsciiCase)
    {
        EXPECT_EQ(ParseExceptionList(" paypal.com ,, PayPal-Login "), (Terms{"paypal.com", "PayPal-Login"}));

        LookalikeSettings settings;
        settings.terms = {"paypal"};
        settings.exceptions = ParseExceptionList("PAYPAL.com., paypal-login");
        std::string error;
        const auto list = WatchList::Build(settings, error);
        ASSERT_TRUE(list) << error;
        struct Case
        {
            const char* name;
            bool excepted;
        };
        const Case cases[] = {
            {"paypal.com", true},      {"PayPal.COM.", true},  {"paypal.net", false}, {"paypal", false},
            {"paypal-login.net", true}, {"PAYPAL-LOGIN", true}, {"x.paypal-login", false},
        };
        for (const Case& c : cases)
            EXPECT_EQ(list->IsException(c.name), c.excepted) << c.name;
    }

    TEST(WatchListBuild, RejectsUnusableSettings)
    {
        struct Case
        {
            Terms terms;
            int distance;
            const char* error;
        };
        const Case cases[] = {
            {{}, kAutomaticDistance, "The list of look-alike terms is empty."},
            {{"paypal"}, 4, "The look-alike distance must be 0 to 3."},
            {{"paypal"}, -2, "The look-alike distance must be 0 to 3."},
            {{"paypal", "\xcc\x81"}, 1, "The term \"\xcc\x81\" has no characters left to compare."},
            {{"ok\xff"}, 1, "A look-alike term is not valid UTF-8 text."},
        };
        for (const Case& c : cases)
        {
            std::string error;
            EXPECT_FALSE(WatchList::Build({c.terms, c.distance, {}}, error));
            EXPECT_EQ(error, c.error);
        }
    }

    TEST(WatchListBuild, ChoosesKFromTheFormsLength)
    {
        std::string error;
        const auto list = WatchList::Build({{"ebay", "paypa", "rnicrosoft", "micros", "xn--mnchen-3ya"}, kAutomaticDistance, {}}, error);
        ASSERT_TRUE(list) << error;
        std::vector<std::size_t> ks;
        for (const WatchedTerm& term : list->Terms())
            ks.push_back(term.maxDistance);
        // "micros" has the form "rnicros": 7 characters.
        EXPECT_EQ(ks, (std::vector<std::size_t>{0, 1, 2, 1, 1}));
        EXPECT_EQ(list->Terms()[4].label, "münchen");
    }
}
