#include "lookalike/reference_matcher.h"

#include "lookalike/label_form.h"
#include "lookalike/osa_distance.h"
#include "lookalike/terms.h"

namespace plexor::lookalike
{
    namespace
    {
        // Whether candidate (distance, term) comes before the best so far.
        bool Better(std::size_t distance, std::size_t term, const std::optional<Match>& best)
        {
            return !best || distance < best->distance || (distance == best->distance && term < best->term);
        }
    }

    std::optional<Match> ReferenceMatcher::MatchName(std::string_view name) const
    {
        if (m_terms.IsException(name))
            return std::nullopt;
        const IcuText& icu = IcuText::Get();
        const std::string text = LabelText(icu, FirstLabel(name));
        const Form form = FormOfText(icu, text);
        const std::string lower = LowerText(icu, text);
        const auto& terms = m_terms.Terms();

        std::optional<Match> best;
        for (std::size_t i = 0; i < terms.size(); ++i)
        {
            const std::size_t distance = OsaDistance(form, terms[i].form);
            const bool exact = lower == terms[i].lower;
            if ((distance <= terms[i].maxDistance || exact) && Better(distance, i, best))
                best = Match{i, ClassifyDistanceMatch(form, terms[i].form, distance, exact), distance};
        }
        if (best)
            return best;
        for (std::size_t i = 0; i < terms.size(); ++i)
        {
            if (!terms[i].combo || form.find(terms[i].form) == Form::npos)
                continue;
            const std::size_t distance = OsaDistance(form, terms[i].form);
            if (Better(distance, i, best))
                best = Match{i, MatchKind::Combo, distance};
        }
        return best;
    }
}
