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
            MatchKind best = MatchKind::Insertion;
            for (std::size_t i = label.size() - 1 - suffix; i <= prefix; ++i)
            {
                const char32_t c = label[i];
                if (c == '-')
                    return MatchKind::Hyphenation;
                if ((i > 0 && label[i - 1] == c) || (i + 1 < label.size() && label[i + 1] == c))
                    best = MatchKind::Repetition;
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
                return MatchKind::Transposition;
            const char32_t from = term[first];
            const char32_t to = label[first];
            if (IsVowel(from) && IsVowel(to))
                return MatchKind::VowelSwap;
            if (from < 128 && to < 128 && std::popcount(static_cast<std::uint32_t>(from ^ to)) == 1)
                return MatchKind::Bitsquatting;
            return MatchKind::Replacement;
        }
    }

    std::string_view KindName(MatchKind kind)
    {
        switch (kind)
        {
        case MatchKind::Exact: return "exact";
        case MatchKind::Homoglyph: return "homoglyph";
        case MatchKind::Hyphenation: return "hyphenation";
        case MatchKind::Repetition: return "repetition";
        case MatchKind::Insertion: return "insertion";
        case MatchKind::Omission: return "omission";
        case MatchKind::Transposition: return "transposition";
        case MatchKind::VowelSwap: return "vowel-swap";
        case MatchKind::Bitsquatting: return "bitsquatting";
        case MatchKind::Replacement: return "replacement";
        case MatchKind::Typo: return "typo";
        case MatchKind::Combo: return "combo";
        }
        return "unknown";
    }

    MatchKind ClassifyDistanceMatch(std::u32string_view labelForm, std::u32string_view termForm,
                                    std::size_t distance, bool exact)
    {
        if (exact)
            return MatchKind::Exact;
        if (distance == 0)
            return MatchKind::Homoglyph;
        if (distance >= 2)
            return MatchKind::Typo;
        if (labelForm.size() == termForm.size() + 1)
            return InsertionKind(labelForm, termForm);
        if (labelForm.size() + 1 == termForm.size())
            return MatchKind::Omission;
        return SameLengthKind(labelForm, termForm);
    }
}
