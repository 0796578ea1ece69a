#include "lookalike/matcher.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <span>

#include "lookalike/osa_distance.h"
#include "lookalike/terms.h"

namespace plexor::lookalike
{
    namespace
    {
        // ASCII labels up to this many bytes take the table path with the
        // form on the stack (a DNS label has at most 63).
        constexpr std::size_t kMaxStackLabel = 63;

        std::size_t Difference(std::size_t a, std::size_t b)
        {
            return a > b ? a - b : b - a;
        }

        // The best distance match so far, and what can still beat it.
        struct Best
        {
            std::size_t term = 0;
            std::size_t distance = 0;
            bool found = false;

            bool CouldBeat(std::size_t lowerBound, std::size_t candidate) const
            {
                return !found || lowerBound < distance || (lowerBound == distance && candidate < term);
            }

            void Offer(std::size_t candidate, std::size_t candidateDistance)
            {
                if (!found || candidateDistance < distance || (candidateDistance == distance && candidate < term))
                {
                    term = candidate;
                    distance = candidateDistance;
                    found = true;
                }
            }
        };

        bool AsciiCaseEqual(std::string_view label, std::string_view lower)
        {
            if (label.size() != lower.size())
                return false;
            for (std::size_t i = 0; i < label.size(); ++i)
            {
                const char c = label[i];
                if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != lower[i])
                    return false;
            }
            return true;
        }

        bool IsAscii(std::string_view text)
        {
            return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        }
    }

    std::unique_ptr<Matcher> Matcher::Create(const LookalikeSettings& settings, std::string& error)
    {
        std::optional<WatchList> terms = WatchList::Build(settings, error);
        if (!terms)
            return nullptr;
        return std::unique_ptr<Matcher>(new Matcher(std::move(*terms)));
    }

    Matcher::Matcher(WatchList terms) : m_terms(std::move(terms)), m_asciiForms(IcuText::Get())
    {
        const auto& list = m_terms.Terms();
        for (std::uint32_t i = 0; i < list.size(); ++i)
        {
            const WatchedTerm& term = list[i];
            const std::size_t n = term.form.size();
            const std::size_t k = term.maxDistance;
            m_automaton.Add(term.form, {.term = i, .offset = 0, .length = 0, .whole = true});
            m_termsByLower[term.lower].push_back(i);
            if (IsAscii(term.lower) && term.form != IcuText::Get().FormOf(term.lower))
                m_asciiExactTerms.push_back(i);
            if (k == 0)
                continue;
            // k + 1 pieces of at least two characters with one left out
            // between neighbours.
            const std::size_t pieces = k + 1;
            if (n < k + 2 * pieces)
            {
                m_unpiecedTerms.push_back(i);
                continue;
            }
            const std::size_t covered = n - k;
            std::size_t offset = 0;
            for (std::size_t p = 0; p < pieces; ++p)
            {
                const std::size_t length = covered / pieces + (p < covered % pieces ? 1 : 0);
                m_automaton.Add(std::u32string_view(term.form).substr(offset, length),
                               {.term = i, .offset = static_cast<std::uint32_t>(offset), .length = 0, .whole = false});
                offset += length + 1;
            }
        }
        m_automaton.Build();
        const std::size_t classes = m_automaton.Classes();
        m_termPositions.assign(list.size() * classes, 0);
        for (std::size_t i = 0; i < list.size(); ++i)
        {
            const Form& form = list[i].form;
            for (std::size_t p = 0; p < form.size() && form.size() <= OsaPattern::kMaxLength; ++p)
                m_termPositions[i * classes + m_automaton.Class(form[p])] |= std::uint64_t{1} << p;
        }
    }

    std::size_t Matcher::MemoryBytes() const
    {
        std::size_t bytes = m_automaton.MemoryBytes() + sizeof(*this);
        for (const WatchedTerm& term : m_terms.Terms())
            bytes += term.form.size() * sizeof(char32_t) + term.label.size() + term.lower.size() + sizeof(term);
        return bytes;
    }

    bool Matcher::SameLower(LabelCase label, const WatchedTerm& term) const
    {
        return label.path == LabelPath::Unicode ? label.text == term.lower : AsciiCaseEqual(label.text, term.lower);
    }

    std::optional<Match> Matcher::MatchName(std::string_view name) const
    {
        const std::string_view label = FirstLabel(name);
        std::optional<Match> match;
        if (label.size() <= kMaxStackLabel && !HasIdnPrefix(label) && IsAscii(label))
        {
            std::array<char32_t, kMaxStackLabel * AsciiFormTable::kMaxPerByte + AsciiFormTable::kMaxPerByte> form;
            std::size_t length = 0;
            for (const char c : label)
                length += m_asciiForms.Append(static_cast<unsigned char>(c), form.data() + length);
            match = MatchForm(std::u32string_view(form.data(), length), {label, LabelPath::AsciiTable});
        }
        else
        {
            const IcuText& icu = IcuText::Get();
            const std::string text = LabelText(icu, label);
            const bool valid = IsValidUtf8(text);
            const std::string lower = valid ? icu.Lower(text) : text;
            match = MatchForm(FormOfText(icu, text), {lower, valid ? LabelPath::Unicode : LabelPath::Bytes});
        }
        if (match && m_terms.IsException(name))
            return std::nullopt;
        return match;
    }

    std::optional<Match> Matcher::MatchForm(std::u32string_view form, LabelCase label) const
    {
        constexpr std::size_t kOnStack = 256;
        std::array<std::uint32_t, kOnStack> onStack;
        std::vector<std::uint32_t> onHeap;
        std::uint32_t* classes = onStack.data();
        if (form.size() > kOnStack)
        {
            onHeap.resize(form.size());
            classes = onHeap.data();
        }
        for (std::size_t i = 0; i < form.size(); ++i)
            classes[i] = m_automaton.Class(form[i]);
        return MatchClasses(form, classes, label);
    }

    std::optional<Match> Matcher::MatchClasses(std::u32string_view form, const std::uint32_t* classes,
                                               LabelCase label) const
    {
        const auto& terms = m_terms.Terms();
        const std::size_t m = form.size();
        const std::size_t classCount = m_automaton.Classes();
        const std::span<const std::uint32_t> text(classes, m);
        const auto distance = [&](std::size_t i) {
            const Form& term = terms[i].form;
            if (term.size() > OsaPattern::kMaxLength)
                return OsaDistance(form, term);
            const std::uint64_t* positions = m_termPositions.data() + i * classCount;
            return OsaDistanceBits(term.size(), text, [positions](std::uint32_t c) { return positions[c]; });
        };
        Best best;
        std::array<std::uint32_t, 16> combos;
        std::size_t comboCount = 0;
        Best comboOverflow;

        const auto tryTerm = [&](std::size_t i, bool exactAnyway) {
            const WatchedTerm& term = terms[i];
            if (!best.CouldBeat(Difference(m, term.form.size()), i) || (best.found && best.term == i))
                return;
            const std::size_t d = distance(i);
            if (d <= term.maxDistance || exactAnyway)
                best.Offer(i, d);
        };

        std::uint32_t state = 0;
        for (std::size_t end = 1; end <= m; ++end)
        {
            state = m_automaton.Next(state, classes[end - 1]);
            if (!m_automaton.HasPatterns(state))
                continue;
            m_automaton.ForEachPattern(state, [&](const TermAutomaton::Pattern& p) {
                const WatchedTerm& term = terms[p.term];
                const std::size_t start = end - p.length;
                if (p.whole)
                {
                    if (start == 0 && end == m)
                        best.Offer(p.term, 0);
                    else if (term.combo && comboCount < combos.size())
                        combos[comboCount++] = p.term;
                    else if (term.combo)
                        comboOverflow.Offer(p.term, distance(p.term));
                    return;
                }
                // The piece's shift and the shift left for the rest.
                const auto shift = static_cast<std::ptrdiff_t>(start) - static_cast<std::ptrdiff_t>(p.offset);
                const auto rest = static_cast<std::ptrdiff_t>(m) - static_cast<std::ptrdiff_t>(term.form.size()) - shift;
                if (static_cast<std::size_t>(std::abs(shift) + std::abs(rest)) <= term.maxDistance)
                    tryTerm(p.term, false);
            });
        }
        for (const std::uint32_t i : m_unpiecedTerms)
            if (Difference(m, terms[i].form.size()) <= terms[i].maxDistance)
                tryTerm(i, false);
        // Exact matches whose forms differ by more than k. A label that is
        // not valid UTF-8 is never the lower case of a term.
        if (label.path == LabelPath::AsciiTable)
        {
            for (const std::uint32_t i : m_asciiExactTerms)
                if (SameLower(label, terms[i]))
                    tryTerm(i, true);
        }
        else if (label.path == LabelPath::Unicode)
        {
            if (const auto it = m_termsByLower.find(std::string(label.text)); it != m_termsByLower.end())
                for (const std::uint32_t i : it->second)
                    tryTerm(i, true);
        }

        if (best.found)
        {
            const WatchedTerm& term = terms[best.term];
            return Match{best.term, ClassifyDistanceMatch(form, term.form, best.distance, SameLower(label, term)),
                         best.distance};
        }
        for (std::size_t c = 0; c < comboCount; ++c)
            if (comboOverflow.CouldBeat(0, combos[c]))
                comboOverflow.Offer(combos[c], distance(combos[c]));
        if (comboOverflow.found)
            return Match{comboOverflow.term, MatchKind::Combo, comboOverflow.distance};
        return std::nullopt;
    }

    std::string Matcher::UnicodeName(std::string_view name) const
    {
        const IcuText& icu = IcuText::Get();
        std::string out;
        bool decodedAny = false;
        std::string text;
        while (true)
        {
            const std::size_t dot = name.find('.');
            const std::string_view label = name.substr(0, dot);
            if (HasIdnPrefix(label) && icu.DecodeIdnLabel(label, text))
            {
                out += text;
                decodedAny = true;
            }
            else
                out += label;
            if (dot == std::string_view::npos)
                break;
            out += '.';
            name.remove_prefix(dot + 1);
        }
        return decodedAny ? out : std::string();
    }
}
