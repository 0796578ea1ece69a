#pragma once

// The optimal-string-alignment distance between two forms, counted in
// characters: insertions, deletions, substitutions and swaps of two
// adjacent characters, each 1, no character edited twice.
//
// OsaDistance is the plain dynamic programme, the rule itself. OsaPattern is
// the fast way for one form of at most 64 characters compared with many:
// Hyyrö's bit-parallel algorithm, one machine word per character of the
// other form. Tests prove the two equal.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace plexor::lookalike
{
    std::size_t OsaDistance(std::u32string_view a, std::u32string_view b);

    // Hyyrö (2003), "A bit-vector algorithm for computing Levenshtein and
    // Damerau edit distances": the distance between a pattern of 1 to 64
    // characters and a text. positions(x) gives the bit set of the pattern
    // positions holding text item x. The vertical differences of one column
    // of the dynamic programme are bit vectors (vp: +1, vn: -1), d0 the
    // diagonal zero-differences, tr the swaps; the distance is the bottom
    // cell, followed through the horizontal differences of the last row.
    template <typename Text, typename Positions>
    std::size_t OsaDistanceBits(std::size_t patternLength, const Text& text, Positions&& positions)
    {
        const std::uint64_t last = std::uint64_t{1} << (patternLength - 1);
        std::uint64_t vp = ~std::uint64_t{0};
        std::uint64_t vn = 0;
        std::uint64_t d0 = 0;
        std::uint64_t pmBefore = 0;
        std::size_t distance = patternLength;
        for (const auto x : text)
        {
            const std::uint64_t pm = positions(x);
            const std::uint64_t tr = (((~d0) & pm) << 1) & pmBefore;
            d0 = (((pm & vp) + vp) ^ vp) | pm | vn | tr;
            std::uint64_t hp = vn | ~(d0 | vp);
            const std::uint64_t hn = d0 & vp;
            distance += (hp & last) != 0;
            distance -= (hn & last) != 0;
            hp = (hp << 1) | 1;
            vp = (hn << 1) | ~(d0 | hp);
            vn = hp & d0;
            pmBefore = pm;
        }
        return distance;
    }

    class OsaPattern
    {
    public:
        static constexpr std::size_t kMaxLength = 64;

        // pattern.size() must be 1 to kMaxLength.
        explicit OsaPattern(std::u32string_view pattern);

        std::size_t DistanceTo(std::u32string_view text) const;

    private:
        std::uint64_t Positions(char32_t c) const
        {
            if (c < 128)
                return m_ascii[c];
            for (std::size_t i = 0; i < m_otherCount; ++i)
                if (m_otherChars[i] == c)
                    return m_otherMasks[i];
            return 0;
        }

        std::size_t m_length;
        std::array<std::uint64_t, 128> m_ascii{};
        std::array<char32_t, kMaxLength> m_otherChars{};
        std::array<std::uint64_t, kMaxLength> m_otherMasks{};
        std::size_t m_otherCount = 0;
    };
}
