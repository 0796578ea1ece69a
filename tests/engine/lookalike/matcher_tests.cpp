#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "lookalike/matcher.h"
#include "lookalike/unicode_name.h"
#include "lookalike/reference_matcher.h"

using namespace plexor::lookalike;

namespace
{
    struct Both
    {
        std::unique_ptr<Matcher> fast;
        std::optional<ReferenceMatcher> plain;
    };

    Both Make(const std::vector<std::string>& terms, int distance = kAutomaticDistance,
              const std::vector<std::string>& exceptions = {})
    {
        std::string error;
        Both both;
        both.fast = Matcher::Create({terms, distance, exceptions}, error);
        EXPECT_TRUE(both.fast) << error;
        both.plain.emplace(both.fast->Terms());
        return both;
    }

    // "-" for no match, else "kind term distance".
    std::string Describe(const std::optional<Match>& match)
    {
        if (!match)
            return "-";
        return std::string(KindName(match->kind)) + " " + std::to_string(match->term) + " " +
               std::to_string(match->distance);
    }

    std::string Check(const Both& both, std::string_view name)
    {
        const std::string fast = Describe(both.fast->MatchName(name));
        EXPECT_EQ(fast, Describe(both.plain->MatchName(name))) << name;
        return fast;
    }

    TEST(MatchKinds, NameTheEditThatMakesTheLabel)
    {
        const Both both = Make({"paypal", "ebay", "microsoft", "münchen", "google"});
        struct Case
        {
            const char* name;
            const char* expected;
        };
        const Case cases[] = {
            {"paypal.com", "exact 0 0"},
            {"PAYPAL.COM.", "exact 0 0"},
            {"paypal", "exact 0 0"},
            {"paypa1.com", "homoglyph 0 0"},
            {"xn--l-7sba6dbr.com", "homoglyph 0 0"},
            {"XN--L-7SBA6DBR.COM", "homoglyph 0 0"},
            {"rnicrosoft.com", "homoglyph 2 0"},
            {"xn--mnchen-3ya.de", "exact 3 0"},
            {"munchen.de", "homoglyph 3 0"},
            {"pay-pal.com", "hyphenation 0 1"},
            {"paypal-.com", "hyphenation 0 1"},
            {"paypall.com", "repetition 0 1"},
            {"ppaypal.com", "repetition 0 1"},
            {"paypazl.com", "insertion 0 1"},
            {"paypl.com", "omission 0 1"},
            {"papyal.com", "transposition 0 1"},
            {"aypal.com", "omission 0 1"},
            {"paypol.com", "vowel-swap 0 1"},
            {"paypel.com", "vowel-swap 0 1"},     // a and e are also a bit apart: vowel-swap first
            {"paypak.com", "replacement 0 1"},
            {"paypan.com", "bitsquatting 0 1"},   // l 0x6c, n 0x6e
            {"qaypal.com", "bitsquatting 0 1"},   // p 0x70, q 0x71
            {"paypam.com", "-"},                  // m is "rn": distance 2
            {"gooogle.com", "repetition 4 1"},
            {"goolge.com", "transposition 4 1"},
            {"microsft.com", "omission 2 1"},
            {"micrsft.com", "typo 2 2"},
            {"mircosoft.com", "transposition 2 1"},
            {"mikrosoftt.com", "typo 2 2"},
            {"paypal-login.com", "combo 0 6"},
            {"securepaypal.com", "combo 0 6"},
            {"paypa1-support.com", "combo 0 8"},
            {"myebay.com", "combo 1 3"},          // "rnyebay"
            {"ebay1.com", "combo 1 1"},           // ebay has k 0: one letter more is a combo
            {"ebey.com", "-"},
            {"paypaaal.com", "-"},                // distance 2 from a term with k 1
            {"example.com", "-"},
            {"", "-"},
            {".", "-"},
        };
        for (const Case& c : cases)
            EXPECT_EQ(Check(both, c.name), c.expected) << c.name;
    }

    TEST(MatchTies, SmallestDistanceThenFirstTermAndCombosLast)
    {
        struct Case
        {
            std::vector<std::string> terms;
            const char* name;
            const char* expected;
        };
        const Case cases[] = {
            {{"paypal", "paypa1"}, "paypal.com", "exact 0 0"},       // both distance 0: first given
            {{"paypa1", "paypal"}, "paypal.com", "homoglyph 0 0"},
            {{"paypals", "paypal"}, "paypal.com", "exact 1 0"},      // distance 0 beats 1
            {{"paypal", "paypals"}, "paypals.com", "exact 1 0"},
            {{"paypall", "paypal"}, "paypalll.com", "repetition 0 1"},
            {{"pay", "paypal"}, "paypa.com", "omission 1 1"},        // a distance match beats an earlier combo
            {{"paypa", "login"}, "paypal-login.com", "combo 0 7"},   // combos: smallest distance, then order
            {{"login", "paypallogin"}, "paypal-login.com", "hyphenation 1 1"},
            {{"secure", "paypal"}, "securepaypal.com", "combo 0 6"},
            {{"secure", "securepay"}, "securepaypal-x.com", "combo 1 5"},
            {{"paypal", "paypal"}, "paypal.com", "exact 0 0"},
        };
        for (const Case& c : cases)
            EXPECT_EQ(Check(Make(c.terms), c.name), c.expected) << c.name;
    }

    TEST(MatchSettings, KForAllTermsAndExceptions)
    {
        const Both k0 = Make({"paypal"}, 0);
        EXPECT_EQ(Check(k0, "paypall.com"), "combo 0 1");
        EXPECT_EQ(Check(k0, "paypl.com"), "-");
        const Both k3 = Make({"paypal", "ab"}, 3);
        EXPECT_EQ(Check(k3, "pyapl.com"), "typo 0 2");
        EXPECT_EQ(Check(k3, "pxyxpxl.com"), "typo 0 3");
        EXPECT_EQ(Check(k3, "x.com"), "typo 1 2");
        EXPECT_EQ(Check(k3, ".com"), "typo 1 2");
        const Both excepted = Make({"paypal"}, kAutomaticDistance, {"paypal.com", "paypal-login"});
        EXPECT_EQ(Check(excepted, "PayPal.com."), "-");
        EXPECT_EQ(Check(excepted, "paypal.net"), "exact 0 0");
        EXPECT_EQ(Check(excepted, "PAYPAL-LOGIN.org"), "-");
    }

    TEST(MatchUnusualLabels, InvalidUtf8AndLongLabelsNeverCrash)
    {
        const Both both = Make({"paypal", "münchen"}, 2);
        EXPECT_EQ(Check(both, "paypa\xff.com"), "replacement 0 1");
        EXPECT_EQ(Check(both, "PAYPAL\xc3"), "insertion 0 1");
        EXPECT_EQ(Check(both, "m\xfcnchen.de"), "-");  // Latin-1, not UTF-8: the byte stays and m is no "rn"
        EXPECT_EQ(Check(both, "rn\xfcnchen.de"), "replacement 1 1");
        EXPECT_EQ(Check(both, std::string(300, 'p') + "paypal"), "combo 0 300");
        EXPECT_EQ(Check(both, "xn--" + std::string(80, 'a')), "-");
        EXPECT_EQ(Check(both, std::string("pay\0pal", 7)), "insertion 0 1");
    }

    // More distinct characters in the terms than the filters' one-byte
    // codes tell apart, and edits at both ends of the form, where the first
    // and last pieces are anchored.
    TEST(MatchFilters, SharedCodesAndEditsAtTheEndsKeepEveryMatch)
    {
        const auto cjk = [](unsigned index) {
            const char32_t c = 0x4E00 + index;
            std::string out;
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
            return out;
        };
        std::vector<std::string> terms;
        for (unsigned t = 0; t < 60; ++t)
        {
            std::string term;
            for (unsigned i = 0; i < 9; ++i)
                term += cjk(t * 9 + i);  // 540 distinct characters
            terms.push_back(term);
        }
        terms.push_back("abcdefghijk");
        const Both both = Make(terms);
        const std::string last = terms[59];
        const std::string lastChar = cjk(59 * 9 + 8);
        const std::string firstChar = cjk(59 * 9);
        struct Case
        {
            std::string name;
            const char* expected;
        };
        const Case cases[] = {
            {last + ".cn", "exact 59 0"},
            {cjk(1) + last, "insertion 59 1"},                        // before the first piece
            {last + cjk(2), "insertion 59 1"},                        // after the last piece
            {last.substr(3), "omission 59 1"},
            {cjk(7) + last.substr(3), "replacement 59 1"},
            {cjk(7) + last.substr(3, 21) + cjk(8), "typo 59 2"},    // both ends changed
            {last.substr(3, 21) + firstChar + lastChar, "typo 59 2"},
            {cjk(300) + cjk(301) + last + cjk(302), "combo 59 3"},
            {"xabcdefghij", "typo 60 2"},
            {"bacdefghikj", "typo 60 2"},
            {"abcdefghijkxy", "typo 60 2"},
            {"xyabcdefghijk", "typo 60 2"},
            {"zzabcdefghijkzz", "combo 60 4"},
            {cjk(999) + cjk(998) + cjk(997) + cjk(996) + cjk(995) + cjk(994) + cjk(993) + cjk(992) + cjk(991), "-"},
        };
        for (const Case& c : cases)
            EXPECT_EQ(Check(both, c.name), c.expected) << c.name;
    }

    TEST(UnicodeName, DecodesEveryIdnLabelOrGivesNothing)
    {
        EXPECT_EQ(UnicodeName("xn--l-7sba6dbr.com"), "раураl.com");
        EXPECT_EQ(UnicodeName("WWW.XN--MNCHEN-3YA.xn--p1ai."), "WWW.münchen.рф.");
        EXPECT_EQ(UnicodeName("xn--zz-.xn--mnchen-3ya"), "xn--zz-.münchen");
        EXPECT_EQ(UnicodeName("paypal.com"), "");
        EXPECT_EQ(UnicodeName("xn--zz-.com"), "");
    }

    TEST(MatcherThreads, ConstMatcherServesManyThreadsAlike)
    {
        const Both both = Make({"paypal", "microsoft", "münchen"});
        const std::vector<std::string> names = {"paypa1.com", "xn--mnchen-3ya.de", "rnicrosoft", "pay-pal", "other"};
        std::vector<std::string> expected;
        for (const std::string& name : names)
            expected.push_back(Describe(both.fast->MatchName(name)));
        std::vector<std::thread> threads;
        std::vector<int> failures(4, 0);
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&, t] {
                for (int round = 0; round < 200; ++round)
                    for (std::size_t i = 0; i < names.size(); ++i)
                        failures[t] += Describe(both.fast->MatchName(names[i])) != expected[i];
            });
        for (std::thread& thread : threads)
            thread.join();
        EXPECT_EQ(failures, (std::vector<int>(4, 0)));
    }
}
