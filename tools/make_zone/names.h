#pragma once

// The pieces the generators build names and record data from: labels, the
// hosting companies' server names, case mixing and the encodings of DNSSEC
// data. Every call draws from the generator it is given, so the same seed
// gives the same names.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "random.h"

namespace make_zone
{
    inline constexpr std::string_view kSyllables[] = {"ka", "lo", "mi", "ne", "ro", "sa", "ti", "vo", "be", "du",
                                                      "fa", "gi", "ha", "jo", "ku", "le", "ma", "no", "pi", "ru"};
    inline constexpr std::string_view kWords[] = {"shop", "net", "web", "host", "cloud", "data", "green", "blue",
                                                  "home", "mail", "buy", "best", "tech", "art", "city", "food"};
    inline constexpr std::string_view kHosters[] = {"HOSTMASTER.NET",  "DNSPARK.COM",      "NAMEFORGE.ORG",
                                                    "ZONEHUB.NET",     "CLOUDNS.EXAMPLE", "REGISTRAR-DNS.COM"};

    // One to three syllables or words, sometimes a number or a hyphen and a
    // word behind; may repeat.
    std::string MakeLabel(Random& random);

    // Domain labels, each new one unique when asked for.
    class LabelSource final
    {
    public:
        LabelSource(Random& random, bool unique)
            : m_random(random)
            , m_unique(unique)
        {
        }

        std::string Next();

    private:
        Random& m_random;
        bool m_unique;
        std::unordered_set<std::string> m_used;
    };

    // Domain labels that never repeat, without remembering the ones given:
    // the domain's number, scrambled by an odd multiplier modulo a power of two
    // (one to one below that power), written in bijective base 20 with one
    // syllable a digit, so that different numbers give different strings. A
    // word in front, or a hyphen and a word or a number behind, keeps that:
    // syllables hold no hyphen or digit, no word can be read as syllables, and
    // no word begins another.
    class UniqueLabels final
    {
    public:
        UniqueLabels(Random& random, std::uint64_t expectedDomains);

        void Next(std::string& label);

    private:
        Random& m_random;
        std::uint64_t m_offset;
        std::uint64_t m_index = 0;
        unsigned m_bits = 10;
    };

    // ASCII case changes (names are ASCII here).
    std::string Upper(std::string text);
    std::string Lower(std::string text);
    // A name as hand-written and transferred zones hold them: mostly lower
    // case, some all upper case, some with capitals at the labels' starts.
    std::string MixCase(std::string name, Random& random);

    // The hosting companies' names in lower case with the final dot.
    std::vector<std::string> LowerCaseHosters();

    // Random digits appended to `text`: upper-case hex, base32hex (as NSEC3
    // owners), and base64 of `bytes` bytes with its padding.
    void AppendHex(std::string& text, Random& random, unsigned digits);
    void AppendBase32Hex(std::string& text, Random& random, unsigned characters);
    void AppendBase64(std::string& text, Random& random, unsigned bytes);

    // An address of the documentation range 192.0.0.0/16.
    std::string Ipv4(Random& random);
    // Two name servers for about half the domains, three or four for the rest,
    // as in a registry zone.
    unsigned ServerCount(Random& random);
}
