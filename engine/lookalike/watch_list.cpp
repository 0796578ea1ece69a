#include "lookalike/watch_list.h"

#include <algorithm>

#include "lookalike/label_form.h"
#include "lookalike/terms.h"

namespace plexor::lookalike
{
    namespace
    {
        unsigned char Lower(char c)
        {
            const auto b = static_cast<unsigned char>(c);
            return b >= 'A' && b <= 'Z' ? static_cast<unsigned char>(b - 'A' + 'a') : b;
        }

        // Orders texts as their ASCII lower case, so that a lower-cased
        // sorted list can be searched with a name of any case.
        bool LessIgnoringCase(std::string_view a, std::string_view b)
        {
            return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                                [](char x, char y) { return Lower(x) < Lower(y); });
        }

        bool Contains(const std::vector<std::string>& sorted, std::string_view text)
        {
            const auto it = std::lower_bound(sorted.begin(), sorted.end(), text,
                                             [](const std::string& a, std::string_view b) { return LessIgnoringCase(a, b); });
            return it != sorted.end() && !LessIgnoringCase(text, *it);
        }

        std::string_view WithoutFinalDot(std::string_view name)
        {
            if (!name.empty() && name.back() == '.')
                name.remove_suffix(1);
            return name;
        }
    }

    std::size_t AutomaticDistance(std::size_t formLength)
    {
        return formLength <= 4 ? 0 : formLength <= 8 ? 1 : 2;
    }

    std::optional<WatchList> WatchList::Build(const LookalikeSettings& settings, std::string& error)
    {
        if (settings.maxDistance < kAutomaticDistance || settings.maxDistance > kMaxSettableDistance)
        {
            error = "The look-alike distance must be 0 to " + std::to_string(kMaxSettableDistance) + ".";
            return std::nullopt;
        }
        if (settings.terms.empty())
        {
            error = "The list of look-alike terms is empty.";
            return std::nullopt;
        }
        const IcuText& icu = IcuText::Get();
        WatchList list;
        for (const std::string& given : settings.terms)
        {
            if (!IsValidUtf8(given))
            {
                error = "A look-alike term is not valid UTF-8 text.";
                return std::nullopt;
            }
            WatchedTerm term;
            term.label = LabelText(icu, FirstLabel(given));
            term.lower = LowerText(icu, term.label);
            term.form = FormOfText(icu, term.label);
            if (term.form.empty())
            {
                error = "The term \"" + given + "\" has no characters left to compare.";
                return std::nullopt;
            }
            term.maxDistance = settings.maxDistance == kAutomaticDistance
                                    ? AutomaticDistance(term.form.size())
                                    : static_cast<std::size_t>(settings.maxDistance);
            term.combo = term.form.size() >= kMinComboLength;
            list.m_terms.push_back(std::move(term));
        }
        for (const std::string& entry : settings.exceptions)
        {
            const std::string name = AsciiLower(WithoutFinalDot(entry));
            if (name.empty())
                continue;
            (name.find('.') == std::string::npos ? list.m_exceptionLabels : list.m_exceptionNames).push_back(name);
        }
        for (auto* sorted : {&list.m_exceptionNames, &list.m_exceptionLabels})
            std::sort(sorted->begin(), sorted->end(),
                      [](const std::string& a, const std::string& b) { return LessIgnoringCase(a, b); });
        return list;
    }

    bool WatchList::IsException(std::string_view name) const
    {
        return Contains(m_exceptionNames, WithoutFinalDot(name)) || Contains(m_exceptionLabels, FirstLabel(name));
    }
}
