#include "lookalike/match_kind.h"

#include <bit>

namespace plexor::lookalike
{
    namespace
    {
        bool IsVowel(char32_t c)
        {
            return c == 'a' || c == 'e' || c == 'i' || c == 'o' || c == 'u';
        }

        // The label is the term with one character inserted. Every position
        // whose removal gives the term lies between the end of the common
        // prefix and the start of the common suffix; the best kind over all
        // of them wins.
        MatchKind InsertionKind(std::u32string_view label, std::u32string_view term)
        {
            std::size_t prefix = 0;
            while (prefix < term.size() && label[prefix] == term[prefix])
                ++prefix;
            std::size_t suffix = 0;
            while (suffix < term.size() && label[label.size() - 1 - suffix] == term[term.size() - 1 - suffix])
                ++suffix;
            MatchKind best = MatchKind::kInsertion;
            for (std::size_t i = label.size() - 1 - suffix; i <= prefix; ++i)
            {
                const char32_t c = label[i];
                if (c == '-')
                    return MatchKind::kHyphenation;
                if ((i > 0 && label[i - 1] == c) || (i + 1 < label.size() && label[i + 1] == c))
                    best = MatchKind::kRepetition;
            }
            return best;
        }

        // Same length at distance 1: one substitution or one swap.
        MatchKind SameLengthKind(std::u32string_view label, std::u32string_view term)
        {
            std::size_t first = 0;
            while (label[first] == term[first])
                ++first;
            if (first + 1 < label.size() && label[first] == term[first + 1] && label[first + 1] == term[first] &&
                label.substr(first + 2) == term.substr(first + 2))
                return MatchKind::kTransposition;
            const char32_t from = term[first];
            const char32_t to = label[first];
            if (IsVowel(from) && IsVowel(to))
                return MatchKind::kVowelSwap;
            if (from < 128 && to < 128 && std::popcount(static_cast<std::uint32_t>(from ^ to)) == 1)
                return MatchKind::kBitsquatting;
            return MatchKind::kReplacement;
        }
    }

    std::string_view KindName(MatchKind kind)
    {
        switch (kind)
        {
        case MatchKind::kExact: return "exact";
        case MatchKind::kHomoglyph: return "homoglyph";
        case MatchKind::kHyphenation: return "hyphenation";
        case MatchKind::kRepetition: return "repetition";
        case MatchKind::kInsertion: return "insertion";
        case MatchKind::kOmission: return "omission";
        case MatchKind::kTransposition: return "transposition";
        case MatchKind::kVowelSwap: return "vowel-swap";
        case MatchKind::kBitsquatting: return "bitsquatting";
        case MatchKind::kReplacement: return "replacement";
        case MatchKind::kTypo: return "typo";
        case MatchKind::kCombo: return "combo";
        }
        return "unknown";
    }

    MatchKind ClassifyDistanceMatch(std::u32string_view label_form, std::u32string_view term_form,
                                    std::size_t distance, bool exact)
    {
        if (exact)
            return MatchKind::kExact;
        if (distance == 0)
            return MatchKind::kHomoglyph;
        if (distance >= 2)
            return MatchKind::kTypo;
        if (label_form.size() == term_form.size() + 1)
            return InsertionKind(label_form, term_form);
        if (label_form.size() + 1 == term_form.size())
            return MatchKind::kOmission;
        return SameLengthKind(label_form, term_form);
    }
}
