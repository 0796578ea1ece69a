#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "count/provider_map.h"

namespace plexor
{
    TEST(GlobTest, Matches)
    {
        struct Case
        {
            const char* pattern;
            const char* text;
            bool matches;
        };
        const Case cases[] = {
            {"*", "", true},
            {"*", "a.b.c", true},
            {"*.awsdns-*", "ns-1.awsdns-01.com", true},
            {"*.awsdns-*", "ns-1.awsdns.com", false},
            {"ns-*.awsdns-??.*", "ns-2000.awsdns-07.co.uk", true},
            {"ns-*.awsdns-??.*", "ns-2000.awsdns-7.co.uk", false},
            {"a?c", "abc", true},
            {"a?c", "ac", false},
            {"[abc]x", "bx", true},
            {"[abc]x", "dx", false},
            {"[a-c]x", "cx", true},
            {"[!a-c]x", "cx", false},
            {"[^a-c]x", "dx", true},
            {"[]]x", "]x", true},
            {"ns[0-9].example.com", "ns7.example.com", true},
            {"*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},
            {"*.com", "com", false},
            {"exact.com", "exact.com", true},
            {"exact.com", "exact.com.au", false},
            {"[ab", "a", false}, // unclosed set
        };
        for (const Case& c : cases)
            EXPECT_EQ(GlobMatches(c.pattern, c.text), c.matches) << c.pattern << " ~ " << c.text;
    }

    TEST(ProviderMapTest, FirstMatchingLineWins)
    {
        ProviderMap map;
        ASSERT_EQ(map.Parse("# comment\n\n   \t\n  # indented comment\r\n"
                            "NS-*.AWSDNS-*\tAmazon-Route53\n"
                            "*.awsdns-*  other\n"
                            "ns?.example.com example\r\n"),
                  std::nullopt);
        EXPECT_EQ(map.size(), 3u);
        ASSERT_NE(map.ProviderOf("ns-5.awsdns-10.net"), nullptr);
        EXPECT_EQ(*map.ProviderOf("ns-5.awsdns-10.net"), "amazon-route53");
        ASSERT_NE(map.ProviderOf("x.awsdns-10.net"), nullptr);
        EXPECT_EQ(*map.ProviderOf("x.awsdns-10.net"), "other");
        EXPECT_EQ(*map.ProviderOf("ns1.example.com"), "example");
        EXPECT_EQ(map.ProviderOf("ns10.example.com"), nullptr);
        EXPECT_EQ(map.ProviderOf("ns1.cloudflare.com"), nullptr);
    }

    TEST(ProviderMapTest, MalformedLinesNamed)
    {
        struct Case
        {
            const char* text;
            const char* message;
        };
        const Case cases[] = {
            {"a.com x\nlonely\n", "line 2: expected a host pattern and a provider"},
            {"# c\n\na b c\n", "line 3: expected a host pattern and a provider"},
            {"ns[1.example.com p\n", "line 1: a \"[\" in the pattern has no \"]\""},
            {"a x\r\nb y\r\nc\r\n", "line 3: expected a host pattern and a provider"},
        };
        for (const Case& c : cases)
        {
            ProviderMap map;
            const auto problem = map.Parse(c.text);
            ASSERT_TRUE(problem.has_value()) << c.text;
            EXPECT_EQ(*problem, c.message);
            EXPECT_EQ(map.size(), 0u);
        }
    }

    TEST(ProviderMapTest, LoadFailuresNameTheFile)
    {
        const std::filesystem::path folder = std::filesystem::temp_directory_path() / "plexor_provider_map_test";
        std::filesystem::create_directories(folder);
        const std::filesystem::path bad = folder / "bad.txt";
        std::ofstream(bad, std::ios::binary) << "ok.com ok\nbroken\n";

        ProviderMap map;
        auto problem = map.Load(bad);
        ASSERT_TRUE(problem.has_value());
        EXPECT_NE(problem->find("bad.txt"), std::string::npos) << *problem;
        EXPECT_NE(problem->find("line 2"), std::string::npos) << *problem;

        problem = map.Load(folder / "missing.txt");
        ASSERT_TRUE(problem.has_value());
        EXPECT_NE(problem->find("missing.txt"), std::string::npos) << *problem;

        problem = map.Load(folder);
        ASSERT_TRUE(problem.has_value()) << "a folder is no map";
        std::filesystem::remove_all(folder);
    }

    // The shipped example loads and groups the servers it is written for.
    TEST(ProviderMapTest, SampleMap)
    {
        ProviderMap map;
        ASSERT_EQ(map.Load(std::filesystem::path(PLEXOR_SAMPLES_DIR) / "provider-map.txt"), std::nullopt);
        for (const char* host : {"ns-123.awsdns-45.com", "ns-1.awsdns-00.net", "ns-2000.awsdns-63.org",
                                 "ns-1500.awsdns-07.co.uk"})
        {
            ASSERT_NE(map.ProviderOf(host), nullptr) << host;
            EXPECT_EQ(*map.ProviderOf(host), "amazon-route53") << host;
        }
        EXPECT_EQ(map.ProviderOf("ns1.cloudflare.com"), nullptr);
        EXPECT_EQ(map.ProviderOf("ns-1.awsdns-00.example.com"), nullptr);
    }
}
