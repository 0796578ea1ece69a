#include <random>
#include <string>

#include <gtest/gtest.h>

#include "lookalike/osa_distance.h"

using namespace plexor::lookalike;

namespace
{
    TEST(OsaDistance, CountsEachEditOnceAndNoCharacterTwice)
    {
        struct Case
        {
            std::u32string a, b;
            std::size_t distance;
        };
        const Case cases[] = {
            {U"", U"", 0},           {U"", U"abc", 3},      {U"paypal", U"paypal", 0},
            {U"paypal", U"papyal", 1}, {U"ab", U"ba", 1},   {U"abc", U"ca", 3},  // OSA, not Damerau: 2 there
            {U"paypal", U"paypall", 1}, {U"paypal", U"pypal", 1}, {U"paypal", U"paypa1", 1},
            {U"kitten", U"sitting", 3}, {U"ab", U"cd", 2},   {U"абв", U"абг", 1}, {U"abcd", U"badc", 2},
        };
        for (const Case& c : cases)
        {
            EXPECT_EQ(OsaDistance(c.a, c.b), c.distance);
            EXPECT_EQ(OsaDistance(c.b, c.a), c.distance);
            if (!c.a.empty())
            {
                EXPECT_EQ(OsaPattern(c.a).DistanceTo(c.b), c.distance);
            }
        }
    }

    // The bit-parallel distance against the plain one: every pair of short
    // texts over three characters (where swaps and repeats abound), random
    // texts with non-ASCII characters, and patterns of the full 64.
    TEST(OsaPattern, EqualsThePlainDistance)
    {
        const std::u32string alphabet = U"abя";
        std::vector<std::u32string> texts = {U""};
        for (std::size_t begin = 0, length = 0; length < 5; ++length)
        {
            const std::size_t end = texts.size();
            for (std::size_t i = begin; i < end; ++i)
                for (const char32_t c : alphabet)
                    texts.push_back(texts[i] + c);
            begin = end;
        }
        for (const std::u32string& a : texts)
        {
            if (a.empty())
                continue;
            const OsaPattern pattern(a);
            for (const std::u32string& b : texts)
                ASSERT_EQ(pattern.DistanceTo(b), OsaDistance(a, b));
        }
        std::mt19937 random(11);
        const std::u32string letters = U"abcdeя\U0001F600";
        for (int i = 0; i < 3000; ++i)
        {
            std::u32string a(1 + random() % 64, U'a');
            std::u32string b(random() % 70, U'a');
            for (char32_t& c : a)
                c = letters[random() % letters.size()];
            for (char32_t& c : b)
                c = letters[random() % letters.size()];
            ASSERT_EQ(OsaPattern(a).DistanceTo(b), OsaDistance(a, b));
        }
    }
}
