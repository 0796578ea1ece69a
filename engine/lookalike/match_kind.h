#pragma once

// The kind of a look-alike match, named as domain-permutation generators
// name them, and the rule that picks it. Where two kinds fit, the one
// earlier in the enumeration wins.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace plexor::lookalike
{
    enum class MatchKind : std::uint8_t
    {
        Exact,          // the label lower-cased is the term lower-cased
        Homoglyph,      // distance 0 otherwise: the same form
        Hyphenation,    // distance 1: a '-' inserted
        Repetition,     // distance 1: an inserted character next to the same character
        Insertion,      // distance 1: any other insertion
        Omission,       // distance 1: a character left out
        Transposition,  // distance 1: two adjacent characters swapped
        VowelSwap,      // distance 1: a vowel of aeiou replaced by another
        Bitsquatting,   // distance 1: an ASCII character replaced by one a bit away
        Replacement,    // distance 1: any other substitution
        Typo,           // distance 2 or 3
        Combo,          // the term's form inside the label's form, farther than k
    };

    // "exact", "homoglyph", "hyphenation", ..., "combo".
    std::string_view KindName(MatchKind kind);

    // The kind of a distance match (not a combo): `exact` says whether the
    // lower-cased texts are equal, which makes the kind exact whatever the
    // distance (forms of texts equal in lower case can still differ, as for
    // a dotted capital I); `distance` is OsaDistance(label, term).
    MatchKind ClassifyDistanceMatch(std::u32string_view labelForm, std::u32string_view termForm,
                                    std::size_t distance, bool exact);
}
