#pragma once

// The look-alike rules word for word, with no shortcut: every name is
// compared with every term through ICU and the plain distance. Slow; it is
// the documented rule that tests and the fuzz target hold the fast Matcher
// to.
//
// A name's label (the text before its first dot) resembles a term when the
// distance between their forms is at most the term's k, or when their
// lower-cased texts are equal (kind "exact"). Failing that, it resembles
// every term whose form has at least four characters and occurs inside the
// label's form (kind "combo"). Of the terms it resembles, the match is the
// one with the smallest distance, combos after all others, ties to the term
// given first. Exception names are never matched.

#include <optional>
#include <string_view>

#include "lookalike/match.h"
#include "lookalike/watch_list.h"

namespace plexor::lookalike
{
    class ReferenceMatcher
    {
    public:
        explicit ReferenceMatcher(const WatchList& terms) : m_terms(terms) {}

        std::optional<Match> MatchName(std::string_view name) const;

    private:
        const WatchList& m_terms;
    };
}
