#pragma once

// The watched terms of a run, ready for matching: each term's label, its
// lower-cased text and its form, and the greatest distance at which a name
// resembles it; and the names never reported. Built once per run, then
// only read.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lookalike/icu_text.h"

namespace plexor::lookalike
{
    // k chosen per term from its form's length.
    inline constexpr int kAutomaticDistance = -1;
    inline constexpr int kMaxSettableDistance = 3;
    // Terms whose form has at least this many characters also match as
    // combos.
    inline constexpr std::size_t kMinComboLength = 4;

    struct LookalikeSettings
    {
        // Term labels in the order given (see ParseTermList).
        std::vector<std::string> terms;
        // kAutomaticDistance, or 0 to kMaxSettableDistance for all terms.
        int maxDistance = kAutomaticDistance;
        // Labels or whole names never reported (see ParseExceptionList).
        std::vector<std::string> exceptions;
    };

    struct WatchedTerm
    {
        std::string label;  // as given; an IDN label decoded
        std::string lower;  // LowerText of the label
        Form form;
        std::size_t maxDistance = 0;
        bool combo = false;  // form.size() >= kMinComboLength
    };

    // 0 for forms of 1 to 4 characters, 1 for 5 to 8, 2 for longer ones.
    std::size_t AutomaticDistance(std::size_t formLength);

    class WatchList
    {
    public:
        // Nullopt with a message when there are no terms, a term's form is
        // empty or the distance setting is out of range.
        static std::optional<WatchList> Build(const LookalikeSettings& settings, std::string& error);

        const std::vector<WatchedTerm>& Terms() const { return m_terms; }

        // Whether the name (any ASCII case, a final dot or none) is one of
        // the exception names, or its label one of the exception labels.
        bool IsException(std::string_view name) const;

    private:
        WatchList() = default;

        std::vector<WatchedTerm> m_terms;
        std::vector<std::string> m_exceptionNames;   // lower-cased, sorted, without a final dot
        std::vector<std::string> m_exceptionLabels;  // lower-cased, sorted
    };
}
