#include "lookalike/osa_distance.h"

#include <algorithm>
#include <vector>

namespace plexor::lookalike
{
    std::size_t OsaDistance(std::u32string_view a, std::u32string_view b)
    {
        const std::size_t n = a.size();
        const std::size_t m = b.size();
        // d[i][j]: distance between the first i characters of a and the
        // first j of b.
        std::vector<std::size_t> d((n + 1) * (m + 1));
        const auto at = [&](std::size_t i, std::size_t j) -> std::size_t& { return d[i * (m + 1) + j]; };
        for (std::size_t i = 0; i <= n; ++i)
            at(i, 0) = i;
        for (std::size_t j = 0; j <= m; ++j)
            at(0, j) = j;
        for (std::size_t i = 1; i <= n; ++i)
            for (std::size_t j = 1; j <= m; ++j)
            {
                const std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
                std::size_t best = std::min({at(i - 1, j) + 1, at(i, j - 1) + 1, at(i - 1, j - 1) + cost});
                if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                    best = std::min(best, at(i - 2, j - 2) + 1);
                at(i, j) = best;
            }
        return at(n, m);
    }

    OsaPattern::OsaPattern(std::u32string_view pattern) : length_(pattern.size())
    {
        for (std::size_t i = 0; i < pattern.size(); ++i)
        {
            const char32_t c = pattern[i];
            const std::uint64_t bit = std::uint64_t{1} << i;
            if (c < 128)
            {
                ascii_[c] |= bit;
                continue;
            }
            std::size_t k = 0;
            while (k < other_count_ && other_chars_[k] != c)
                ++k;
            if (k == other_count_)
                other_chars_[other_count_++] = c;
            other_masks_[k] |= bit;
        }
    }

    // Hyyrö (2003), "A bit-vector algorithm for computing Levenshtein and
    // Damerau edit distances": the vertical differences of one column of
    // the dynamic programme as bit vectors (VP: +1, VN: -1), D0 the
    // diagonal zero-differences, TR the swaps; the distance is the bottom
    // cell, followed through the horizontal differences of the last row.
    std::size_t OsaPattern::DistanceTo(std::u32string_view text) const
    {
        const std::uint64_t last = std::uint64_t{1} << (length_ - 1);
        std::uint64_t vp = ~std::uint64_t{0};
        std::uint64_t vn = 0;
        std::uint64_t d0 = 0;
        std::uint64_t pm_before = 0;
        std::size_t distance = length_;
        for (const char32_t c : text)
        {
            const std::uint64_t pm = Positions(c);
            const std::uint64_t tr = (((~d0) & pm) << 1) & pm_before;
            d0 = (((pm & vp) + vp) ^ vp) | pm | vn | tr;
            std::uint64_t hp = vn | ~(d0 | vp);
            std::uint64_t hn = d0 & vp;
            distance += (hp & last) != 0;
            distance -= (hn & last) != 0;
            hp = (hp << 1) | 1;
            hn = hn << 1;
            vp = hn | ~(d0 | hp);
            vn = hp & d0;
            pm_before = pm;
        }
        return distance;
    }
}
