#pragma once

// What a look-alike match reports about a name.

#include <cstddef>

#include "lookalike/match_kind.h"

namespace plexor::lookalike
{
    struct Match
    {
        std::size_t term = 0;      // index into the terms as given
        MatchKind kind = MatchKind::Exact;
        std::size_t distance = 0;  // between the forms, for a combo too

        bool operator==(const Match&) const = default;
    };
}
