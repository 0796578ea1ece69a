#pragma once

// The fast look-alike matcher, built once per run and then used for every
// name. It gives exactly ReferenceMatcher's results, without comparing each
// name with each term:
//
// - The label's form comes from a table of the 128 ASCII bytes for ASCII
//   labels (no ICU, no allocation), with each character's class and byte
//   code; IDN, other UTF-8 and invalid labels take the ICU path.
// - PieceFilter names the few terms whose pieces stand where a label
//   within k must hold one (see term_filters.h); only those whose
//   characters' counts allow it (CharacterBag) are compared, with the
//   bit-parallel distance, and only when they could still beat the best
//   match so far.
// - When no term is near, ComboFilter names the terms whose form occurs in
//   the label's form, and the nearest of them is the combo.
// - Exact matches beyond k (lower case equal, forms apart) are looked up
//   among the few terms where that can happen.
//
// MatchName may be called from many threads at once on one const Matcher.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "lookalike/label_form.h"
#include "lookalike/match.h"
#include "lookalike/term_filters.h"
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
        // The form of one ASCII byte with its characters' classes; what the
        // filters read of it (codes, signature, length) is kept apart in
        // small tables, read for every byte of every label.
        struct AsciiEntry
        {
            std::array<char32_t, AsciiFormTable::kMaxPerByte> chars{};
            std::array<std::uint32_t, AsciiFormTable::kMaxPerByte> classes{};
            std::size_t length = 0;
        };

        explicit Matcher(WatchList terms);

        // Nullopt in `done` false when the label holds a byte above 0x7F.
        std::optional<Match> MatchAsciiLabel(std::string_view label, bool& done) const;
        std::optional<Match> MatchOtherLabel(std::string_view label) const;
        // A label's codes for the filters, and its characters and classes,
        // made for an ASCII label only when a candidate needs them.
        struct LabelView
        {
            LabelChars codes;
            std::u32string_view form;
            const std::uint32_t* classes = nullptr;
            std::string_view ascii;  // the ASCII label whose form is still to be made
            char32_t* formRoom = nullptr;
            std::uint32_t* classRoom = nullptr;
        };

        std::optional<Match> MatchForm(std::u32string_view form, const LabelCase& label) const;
        std::optional<Match> MatchView(LabelView& view, const LabelCase& label) const;
        void MakeChars(LabelView& view) const;
        std::size_t Distance(const LabelView& view, std::size_t term) const;
        bool SameLower(const LabelCase& label, const WatchedTerm& term) const;

        WatchList m_terms;
        CharClasses m_classes;
        std::array<AsciiEntry, 128> m_ascii;
        std::array<std::uint32_t, 128> m_asciiCodes{};  // up to four codes, first in the low byte
        std::array<std::uint64_t, 128> m_asciiSignatures{};
        std::array<std::uint8_t, 128> m_asciiLengths{};
        PieceFilter m_pieces;
        ComboFilter m_combos;
        // Per term and character class, the positions of the term's form that
        // hold the class (forms up to 64 characters), for the bit-parallel
        // distance.
        std::vector<std::uint64_t> m_termPositions;
        // Per term, its characters' counts, checked before a distance.
        std::vector<CharacterBag> m_termBags;
        // Terms whose lower case is ASCII but whose form is not that of
        // their lower case: an ASCII label can be their exact match at a
        // distance above k. By the length of their lower case.
        std::vector<std::vector<std::uint32_t>> m_asciiExactTerms;
        // Every term by its lower-cased text, for the labels off the ASCII path.
        std::unordered_map<std::string, std::vector<std::uint32_t>> m_termsByLower;
    };
}
