#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "count/public_suffix.h"
#include "count/suffix_rules.h"

#ifdef PLEXOR_HAVE_LIBPSL
#include <libpsl.h>
#endif

namespace plexor
{
    namespace
    {
        // The registrable domain as a string ("-" for none).
        template <typename Lookup>
        std::string Registrable(const Lookup& lookup, const std::string& host)
        {
            const std::size_t start = lookup.RegistrableStart(host);
            return start == std::string::npos ? std::string("-") : host.substr(start);
        }

        // Hosts of every kind of rule: plain ICANN and private suffixes,
        // wildcards and their exceptions, IDN in both forms, suffixes
        // themselves, single labels, names that are no host names.
        const std::vector<std::string> kHosts = {
            "ns1.cloudflare.com", "ns2.cloudflare.com", "cloudflare.com", "com", "ns1.example.co.uk", "co.uk",
            "example.co.uk", "a.b.c.example.co.uk", "foo.github.io", "ns1.foo.github.io", "github.io",
            "x.blogspot.com", "ns-123.awsdns-45.com", "ns-2.awsdns-00.co.uk", "ns1.example.ck", "example.ck",
            "www.ck", "a.www.ck", "ck", "foo.bar.kawasaki.jp", "city.kawasaki.jp", "a.city.kawasaki.jp",
            "bar.kawasaki.jp", "kawasaki.jp", "ns1.xn--p1ai", "xn--p1ai", "ns1.example.xn--p1ai", "ns.пример.рф",
            "пример.рф", "рф", "ns1.example.xn--fiqs8s", "example.中国", "localhost", "ns1", "", ".", ".com",
            "example.com.", "ns1.example.com.", "a..example.com", "..", "-bad-.com", "ns 1.example.com",
            "ns1.example.invalidtld", "invalidtld", "*.example.com", "ns1.example.com:53", "1.2.3.4",
            "ns1.example.co.jp", "ns1.pref.hokkaido.jp", "ns.s3.amazonaws.com", "bucket.s3.amazonaws.com",
            "ns1.example.appspot.com", "x.compute.amazonaws.com", "a.b.compute-1.amazonaws.com",
            "ns1.example.uk.com", "ns1.example.com.au", "com.au", "xn--bcher-kva.de", "bücher.de",
        };
    }

    TEST(SuffixRulesTest, GroupsHostsByRegistrableDomain)
    {
        const SuffixRules& rules = SuffixRules::Builtin();
        struct Case
        {
            const char* host;
            const char* registrable;
        };
        const Case cases[] = {
            {"ns1.cloudflare.com", "cloudflare.com"},
            {"ns2.cloudflare.com", "cloudflare.com"},
            {"ns1.example.co.uk", "example.co.uk"}, // a suffix of two labels
            {"co.uk", "-"},                           // a public suffix itself
            {"com", "-"},
            {"ns1", "-"},                             // one label: the default rule
            {"ns1.foo.github.io", "foo.github.io"},  // a private rule
            {"github.io", "-"},
            {"x.a.b.ck", "a.b.ck"},                   // "*.ck"
            {"b.ck", "-"},
            {"ck", "-"},
            {"kawasaki.jp", "-"}, // below "jp", but "*.kawasaki.jp" makes it a suffix (libpsl)
            {"a.www.ck", "www.ck"},                   // "!www.ck"
            {"ns1.example.invalidtld", "example.invalidtld"}, // no rule: "*"
            {"ns1.example.xn--p1ai", "example.xn--p1ai"},
            {"ns.пример.рф", "пример.рф"},
            {"", "-"},
            {".com", "-"},
            {"ns1.example.com.", "example.com."}, // a final dot passed over
        };
        for (const Case& c : cases)
            EXPECT_EQ(Registrable(rules, c.host), c.registrable) << c.host;
    }

    // A list file's text: comments, blank lines, the section markers, words
    // after a rule and CR LF line ends are passed over.
    TEST(SuffixRulesTest, RulesFromAListFile)
    {
        const SuffixRules rules = SuffixRules::FromListText("// ===BEGIN ICANN DOMAINS===\r\n"
                                                            "\r\n"
                                                            "uk\r\n"
                                                            "co.uk   and a comment\r\n"
                                                            "  // indented comment\n"
                                                            "*.ck\n"
                                                            "!www.ck\n"
                                                            "// ===BEGIN PRIVATE DOMAINS===\n"
                                                            "github.io");
        EXPECT_EQ(rules.size(), 5u);
        const struct
        {
            const char* host;
            const char* registrable;
        } cases[] = {
            {"ns1.example.co.uk", "example.co.uk"}, {"co.uk", "-"},         {"a.b.ck", "a.b.ck"},
            {"a.www.ck", "www.ck"},                 {"x.foo.github.io", "foo.github.io"},
            {"ns1.example.com", "example.com"}, // no rule: the last label
        };
        for (const auto& c : cases)
            EXPECT_EQ(Registrable(rules, c.host), c.registrable) << c.host;
    }

    TEST(SuffixRulesTest, PunycodeOfLabels)
    {
        EXPECT_EQ(PunycodeLabel("bücher"), "xn--bcher-kva");
        EXPECT_EQ(PunycodeLabel("münchen"), "xn--mnchen-3ya");
        EXPECT_EQ(PunycodeLabel("рф"), "xn--p1ai");
        EXPECT_EQ(PunycodeLabel("中国"), "xn--fiqs8s");
        EXPECT_EQ(PunycodeLabel("plain"), "plain");
        EXPECT_EQ(PunycodeLabel("\xC3"), ""); // cut UTF-8
    }

#ifdef PLEXOR_HAVE_LIBPSL
    namespace
    {
        struct LibPsl
        {
            explicit LibPsl(const char* file) : context(psl_load_file(file)) {}
            ~LibPsl() { psl_free(context); }
            std::size_t RegistrableStart(const std::string& host) const
            {
                const char* found = psl_registrable_domain(context, host.c_str());
                return found == nullptr ? std::string::npos : static_cast<std::size_t>(found - host.c_str());
            }
            psl_ctx_t* context;
        };

        // For every rule of the list: the suffix itself and hosts one and
        // two labels below it, a wildcard's "*" and an exception's "!"
        // spelled out.
        std::vector<std::string> HostsOfEveryRule()
        {
            std::ifstream in(PLEXOR_PUBLIC_SUFFIX_LIST);
            std::vector<std::string> hosts;
            std::string line;
            while (std::getline(in, line))
            {
                if (line.empty() || line.starts_with("//"))
                    continue;
                std::string rule = line.substr(0, line.find_first_of(" \t\r"));
                if (rule.starts_with('!'))
                    rule.erase(0, 1);
                if (rule.starts_with("*."))
                    rule.replace(0, 1, "w");
                hosts.push_back(rule);
                hosts.push_back("ns1." + rule);
                hosts.push_back("a.ns1." + rule);
            }
            return hosts;
        }
    }

    // The built-in rules give libpsl's answer (libpsl reading the same
    // list, ICANN and private rules alike).
    TEST(SuffixRulesTest, SameAsLibpsl)
    {
        LibPsl psl(PLEXOR_PUBLIC_SUFFIX_LIST);
        ASSERT_NE(psl.context, nullptr);
        const SuffixRules& rules = SuffixRules::Builtin();
        std::vector<std::string> hosts = HostsOfEveryRule();
        ASSERT_GT(hosts.size(), 20000u);
        hosts.insert(hosts.end(), kHosts.begin(), kHosts.end());
        std::size_t differences = 0;
        for (const std::string& host : hosts)
        {
            // libpsl answers a final dot one way from a list file and the
            // other from its compiled lists (as DefaultSameAsBuiltin checks);
            // the count never asks with one.
            if (host.ends_with('.'))
                continue;
            const std::string ours = Registrable(rules, host);
            const std::string theirs = Registrable(psl, host);
            if (ours != theirs && ++differences <= 20)
                ADD_FAILURE() << host << ": built-in " << ours << ", libpsl " << theirs;
            // The tally asks this of a second server below a known parent.
            const bool suffix = psl_is_public_suffix(psl.context, host.c_str()) != 0;
            if (!host.empty() && !host.starts_with('.') && rules.IsPublicSuffix(host) != suffix && ++differences <= 20)
                ADD_FAILURE() << host << ": built-in says " << (suffix ? "no " : "") << "public suffix";
        }
        EXPECT_EQ(differences, 0u);
    }

    // The lookup of this build, from the system's list read at run time,
    // gives the answers of libpsl's newest list (psl_latest) on the hosts
    // that matter here.
    TEST(PublicSuffixListTest, DefaultSameAsLibpslLatest)
    {
        const PublicSuffixList& list = PublicSuffixList::Default();
        EXPECT_STREQ(list.Source(), "system list");
        psl_ctx_t* latest = psl_latest(nullptr);
        ASSERT_NE(latest, nullptr);
        for (const std::string& host : kHosts)
        {
            if (host.ends_with('.'))
                continue;
            const char* found = psl_registrable_domain(latest, host.c_str());
            EXPECT_EQ(Registrable(list, host), found == nullptr ? std::string("-") : std::string(found)) << host;
        }
        if (latest != psl_builtin())
            psl_free(latest);
    }
#endif
}
