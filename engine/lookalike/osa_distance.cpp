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

    OsaPattern::OsaPattern(std::u32string_view pattern) : m_length(pattern.size())
    {
        for (std::size_t i = 0; i < pattern.size(); ++i)
        {
            const char32_t c = pattern[i];
            const std::uint64_t bit = std::uint64_t{1} << i;
            if (c < 128)
            {
                m_ascii[c] |= bit;
                continue;
            }
            std::size_t k = 0;
            while (k < m_otherCount && m_otherChars[k] != c)
                ++k;
            if (k == m_otherCount)
                m_otherChars[m_otherCount++] = c;
            m_otherMasks[k] |= bit;
        }
    }

    std::size_t OsaPattern::DistanceTo(std::u32string_view text) const
    {
        return OsaDistanceBits(m_length, text, [this](char32_t c) { return Positions(c); });
    }
}
