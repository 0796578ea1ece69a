#pragma once

// --own-servers PERCENT: which domains are served by name servers of their
// own (ns1.<domain>, ns2.<domain>, ... with glue where the layout writes it).
// Without the option each layout keeps its own mix, drawn from the zone's
// generator; with it, a generator of its own picks the share asked for, so
// the zone's other draws (names, server counts, DNSSEC data) stay the ones
// they would be without the option.

#include <cstdint>

#include "random.h"

namespace make_zone
{
    class OwnServerShare final
    {
    public:
        // percent < 0: the layout decides.
        OwnServerShare(std::uint64_t seed, int percent)
            : m_random(seed ^ 0x6F776E2D73727673ull)
            , m_percent(percent)
        {
        }

        // Whether the next domain has servers of its own; `layoutChoice` is
        // the layout's own draw, kept when no share is asked for.
        bool Decide(bool layoutChoice)
        {
            if (m_percent < 0)
                return layoutChoice;
            return m_random.Below(100) < static_cast<unsigned>(m_percent);
        }

    private:
        Random m_random;
        int m_percent;
    };
}
