#pragma once

// The fast look-alike matcher, built once per run and then used for every
// name. It gives exactly ReferenceMatcher's results, without comparing each
// name with each term:
//
// - The label's form comes from AsciiFormTable for ASCII labels (no ICU, no
//   allocation); IDN, other UTF-8 and invalid labels take the ICU path.
// - One Aho-Corasick pass over the form finds every term's whole form (a
//   distance-0 match when it spans the label, else a combo) and every
//   piece of every term. A term with k >= 1 is cut into k + 1 pieces with
//   one character left out between neighbours: each edit, a swap of two
//   neighbours included, breaks at most one piece, so a label within k
//   holds at least one piece unbroken, shifted by s where
//   |s| + |length difference - s| <= k.
// - Only a term with such a piece is compared, with the bit-parallel
//   distance, and only when it could still beat the best match so far.
// - Terms too short for pieces of two characters (possible when k is set by
//   hand) are compared with every label of a fitting length.
//
// MatchName may be called from many threads at once on one const Matcher.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "lookalike/label_form.h"
#include "lookalike/match.h"
#include "lookalike/term_automaton.h"
#include "lookalike/watch_list.h"

namespace plexor::lookalike
{
    class Matcher
    {
    public:
        // Nullptr with a message when the settings are not usable.
        static std::unique_ptr<Matcher> Create(const LookalikeSettings& settings, std::string& error);

        // The match of a name as it appears in the output (fully qualified
        // or not, any ASCII case, a final dot or none), or nullopt.
        std::optional<Match> MatchName(std::string_view name) const;

        // The name with every IDN label that decodes replaced by its
        // Unicode text; empty when no label decodes.
        std::string UnicodeName(std::string_view name) const;

        const WatchList& Terms() const { return m_terms; }

        // The automaton's and the tables' memory, for the benchmark.
        std::size_t MemoryBytes() const;

    private:
        enum class LabelPath
        {
            AsciiTable,  // ASCII label, form from the table; text as it stands
            Unicode,     // valid UTF-8 (decoded IDN or not); text lower-cased in full
            Bytes,       // not valid UTF-8; text as it stands
        };
        // The label's text for telling "exact": compared with a term's lower
        // case as it is (Unicode) or with ASCII case folded (the others).
        struct LabelCase
        {
            std::string_view text;
            LabelPath path = LabelPath::AsciiTable;
        };

        explicit Matcher(WatchList terms);

        std::optional<Match> MatchForm(std::u32string_view form, LabelCase label) const;
        std::optional<Match> MatchClasses(std::u32string_view form, const std::uint32_t* classes, LabelCase label) const;
        bool SameLower(LabelCase label, const WatchedTerm& term) const;

        WatchList m_terms;
        AsciiFormTable m_asciiForms;
        TermAutomaton m_automaton;
        // Per term and character class, the positions of the term's form that
        // hold the class (forms up to 64 characters), for the bit-parallel
        // distance.
        std::vector<std::uint64_t> m_termPositions;
        std::vector<std::uint32_t> m_unpiecedTerms;
        // Terms whose lower case is ASCII but whose form is not that of
        // their lower case: an ASCII label can be their exact match at a
        // distance above k.
        std::vector<std::uint32_t> m_asciiExactTerms;
        // Every term by its lower-cased text, for the labels off the ASCII path.
        std::unordered_map<std::string, std::vector<std::uint32_t>> m_termsByLower;
    };
}
