// The fast matcher against the reference on generated names: for many
// terms, variants of every kind planted, decoys one edit beyond k, IDN
// labels (upper case too), upper-case names, invalid UTF-8 and random
// labels; every name must give the same term, kind and distance.

#include <map>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unicode/uidna.h>

#include "lookalike/matcher.h"
#include "lookalike/reference_matcher.h"

using namespace plexor::lookalike;

namespace
{
    const std::string kLetters = "abcdefghijklmnopqrstuvwxyz";
    const std::string kLabelBytes = "abcdefghijklmnopqrstuvwxyz0123456789-";

    std::string Punycode(const std::string& unicode)
    {
        UErrorCode status = U_ZERO_ERROR;
        UIDNA* idna = uidna_openUTS46(UIDNA_NONTRANSITIONAL_TO_ASCII, &status);
        char out[256];
        UIDNAInfo info = UIDNA_INFO_INITIALIZER;
        const int length = uidna_labelToASCII_UTF8(idna, unicode.data(), static_cast<int>(unicode.size()), out,
                                                   sizeof out, &info, &status);
        uidna_close(idna);
        return U_SUCCESS(status) && info.errors == 0 ? std::string(out, static_cast<std::size_t>(length)) : "";
    }

    class Generator
    {
    public:
        explicit Generator(unsigned seed) : m_random(seed) {}

        std::size_t Below(std::size_t n) { return m_random() % n; }
        char Pick(const std::string& set) { return set[Below(set.size())]; }

        std::string Term()
        {
            std::string term(4 + Below(11), 'a');
            for (char& c : term)
                c = Pick(kLetters);
            if (Below(8) == 0)
                term[Below(term.size())] = Pick("0123456789");
            return term;
        }

        // One random edit of any sort, the ones with a kind of their own
        // among them.
        std::string Edit(std::string s)
        {
            const std::size_t at = Below(s.size() + 1);
            switch (Below(9))
            {
            case 0: return s.insert(at, "-");
            case 1: return at < s.size() ? s.insert(at, 1, s[at]) : s + 'x';
            case 2: return s.insert(at, 1, Pick(kLabelBytes));
            case 3: return s.size() > 1 && at < s.size() ? s.erase(at, 1) : s;
            case 4:
                if (at + 1 < s.size())
                    std::swap(s[at], s[at + 1]);
                return s;
            case 5:
                if (at < s.size())
                    s[at] = Pick("aeiou");
                return s;
            case 6:
                if (at < s.size())
                    s[at] = static_cast<char>(s[at] ^ (1 << Below(7)));
                return s;
            case 7:
                if (at < s.size())
                    s[at] = Pick(kLabelBytes);
                return s;
            default:
                return Homoglyph(s);
            }
        }

        std::string Homoglyph(std::string s)
        {
            static const std::map<char, std::string> swaps = {
                {'l', "1"}, {'o', "0"}, {'m', "rn"}, {'i', "l"}, {'s', "5"}, {'w', "vv"}};
            const std::size_t at = Below(s.size());
            const auto it = swaps.find(s[at]);
            return it == swaps.end() ? s : s.replace(at, 1, it->second);
        }

        // Latin letters replaced by Cyrillic ones that look alike, as an IDN
        // label in either case.
        std::string CyrillicIdn(const std::string& s)
        {
            static const std::map<char, std::string> cyrillic = {
                {'a', "а"}, {'e', "е"}, {'o', "о"}, {'p', "р"}, {'c', "с"}, {'y', "у"}, {'x', "х"}};
            std::string unicode;
            for (const char c : s)
            {
                const auto it = cyrillic.find(c);
                unicode += it != cyrillic.end() && Below(2) == 0 ? it->second : std::string(1, c);
            }
            std::string idn = Punycode(unicode);
            if (Below(3) == 0)
                for (char& c : idn)
                    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            return idn;
        }

        std::string Upper(std::string s)
        {
            for (char& c : s)
                if (Below(2) == 0)
                    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            return s;
        }

        std::string Noise()
        {
            std::string s(1 + Below(20), 'a');
            for (char& c : s)
                c = Below(30) == 0 ? static_cast<char>(Below(256)) : Pick(kLabelBytes);
            return s;
        }

    private:
        std::mt19937 m_random;
    };

    std::vector<std::string> PlantedNames(Generator& g, const std::vector<std::string>& terms)
    {
        std::vector<std::string> names;
        const char* tlds[] = {".com", ".NET.", "", ".co.uk", "."};
        const auto add = [&](std::string label) { names.push_back(label + tlds[g.Below(5)]); };
        for (const std::string& term : terms)
        {
            add(term);
            add(g.Upper(term));
            add(g.Homoglyph(term));
            add(g.CyrillicIdn(term));
            for (int i = 0; i < 6; ++i)
                add(g.Edit(term));
            add(g.Edit(g.Edit(term)));
            add(g.Edit(g.Edit(g.Edit(term))));
            add(g.Edit(g.Edit(g.Edit(g.Edit(term)))));  // often a decoy beyond k
            add(g.Pick(kLetters) + std::string("-") + term);
            add(term + g.Noise());
            add(g.Homoglyph(term) + "-login");
            std::string broken = term;
            broken[g.Below(broken.size())] = static_cast<char>(0x80 + g.Below(128));
            add(broken);
        }
        for (int i = 0; i < 2000; ++i)
            add(g.Noise());
        add("xn--mnchen-3ya");
        add("XN--MNCHEN-3YA");
        add("xn--zz-");
        return names;
    }

    void ExpectSameAsReference(const std::vector<std::string>& terms, int distance, const std::vector<std::string>& names)
    {
        std::string error;
        const auto fast = Matcher::Create({terms, distance, {"example.com"}}, error);
        ASSERT_TRUE(fast) << error;
        const ReferenceMatcher plain(fast->Terms());
        std::size_t matched = 0;
        std::map<MatchKind, std::size_t> kinds;
        for (const std::string& name : names)
        {
            const auto a = fast->MatchName(name);
            const auto b = plain.MatchName(name);
            ASSERT_EQ(a.has_value(), b.has_value()) << name;
            if (!a)
                continue;
            ASSERT_EQ(a->term, b->term) << name;
            ASSERT_EQ(KindName(a->kind), KindName(b->kind)) << name;
            ASSERT_EQ(a->distance, b->distance) << name;
            ++matched;
            ++kinds[a->kind];
        }
        // The generator must really plant matches of every kind.
        if (distance == kAutomaticDistance)
        {
            for (int kind = 0; kind <= static_cast<int>(MatchKind::Combo); ++kind)
            {
                EXPECT_GT(kinds[static_cast<MatchKind>(kind)], 0u) << KindName(static_cast<MatchKind>(kind));
            }
        }
        EXPECT_GT(matched, distance == 0 ? names.size() / 10 : names.size() / 4) << "k " << distance;
    }

    TEST(MatcherModel, EqualsTheReferenceOnPlantedNames)
    {
        Generator g(2024);
        std::vector<std::string> terms = {"paypal", "microsoft", "münchen", "раураl", "ebay", "xn--mnchen-3ya", "google"};
        while (terms.size() < 300)
            terms.push_back(g.Term());
        const std::vector<std::string> names = PlantedNames(g, terms);
        ExpectSameAsReference(terms, kAutomaticDistance, names);
    }

    TEST(MatcherModel, EqualsTheReferenceForEverySetK)
    {
        for (int k = 0; k <= kMaxSettableDistance; ++k)
        {
            Generator g(100 + static_cast<unsigned>(k));
            std::vector<std::string> terms = {"ab", "abc", "paypal", "ebay"};
            while (terms.size() < 60)
                terms.push_back(g.Term());
            ExpectSameAsReference(terms, k, PlantedNames(g, terms));
        }
    }
}
