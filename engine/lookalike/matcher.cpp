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

            bool CouldBeat(std::size_t lower_bound, std::size_t candidate) const
            {
                return !found || lower_bound < distance || (lower_bound == distance && candidate < term);
            }

            void Offer(std::size_t candidate, std::size_t candidate_distance)
            {
                if (!found || candidate_distance < distance || (candidate_distance == distance && candidate < term))
                {
                    term = candidate;
                    distance = candidate_distance;
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

    Matcher::Matcher(WatchList terms) : terms_(std::move(terms)), ascii_forms_(IcuText::Get())
    {
        const auto& list = terms_.terms();
        for (std::uint32_t i = 0; i < list.size(); ++i)
        {
            const WatchedTerm& term = list[i];
            const std::size_t n = term.form.size();
            const std::size_t k = term.max_distance;
            automaton_.Add(term.form, {.term = i, .offset = 0, .length = 0, .whole = true});
            terms_by_lower_[term.lower].push_back(i);
            if (IsAscii(term.lower) && term.form != IcuText::Get().FormOf(term.lower))
                ascii_exact_terms_.push_back(i);
            if (k == 0)
                continue;
            // k + 1 pieces of at least two characters with one left out
            // between neighbours.
            const std::size_t pieces = k + 1;
            if (n < k + 2 * pieces)
            {
                unpieced_terms_.push_back(i);
                continue;
            }
            const std::size_t covered = n - k;
            std::size_t offset = 0;
            for (std::size_t p = 0; p < pieces; ++p)
            {
                const std::size_t length = covered / pieces + (p < covered % pieces ? 1 : 0);
                automaton_.Add(std::u32string_view(term.form).substr(offset, length),
                               {.term = i, .offset = static_cast<std::uint32_t>(offset), .length = 0, .whole = false});
                offset += length + 1;
            }
        }
        automaton_.Build();
        const std::size_t classes = automaton_.Classes();
        term_positions_.assign(list.size() * classes, 0);
        for (std::size_t i = 0; i < list.size(); ++i)
        {
            const Form& form = list[i].form;
            for (std::size_t p = 0; p < form.size() && form.size() <= OsaPattern::kMaxLength; ++p)
                term_positions_[i * classes + automaton_.Class(form[p])] |= std::uint64_t{1} << p;
        }
    }

    std::size_t Matcher::MemoryBytes() const
    {
        std::size_t bytes = automaton_.MemoryBytes() + sizeof(*this);
        for (const WatchedTerm& term : terms_.terms())
            bytes += term.form.size() * sizeof(char32_t) + term.label.size() + term.lower.size() + sizeof(term);
        return bytes;
    }

    bool Matcher::SameLower(LabelCase label, const WatchedTerm& term) const
    {
        return label.path == LabelPath::kUnicode ? label.text == term.lower : AsciiCaseEqual(label.text, term.lower);
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
                length += ascii_forms_.Append(static_cast<unsigned char>(c), form.data() + length);
            match = MatchForm(std::u32string_view(form.data(), length), {label, LabelPath::kAsciiTable});
        }
        else
        {
            const IcuText& icu = IcuText::Get();
            const std::string text = LabelText(icu, label);
            const bool valid = IsValidUtf8(text);
            const std::string lower = valid ? icu.Lower(text) : text;
            match = MatchForm(FormOfText(icu, text), {lower, valid ? LabelPath::kUnicode : LabelPath::kBytes});
        }
        if (match && terms_.IsException(name))
            return std::nullopt;
        return match;
    }

    std::optional<Match> Matcher::MatchForm(std::u32string_view form, LabelCase label) const
    {
        constexpr std::size_t kOnStack = 256;
        std::array<std::uint32_t, kOnStack> on_stack;
        std::vector<std::uint32_t> on_heap;
        std::uint32_t* classes = on_stack.data();
        if (form.size() > kOnStack)
        {
            on_heap.resize(form.size());
            classes = on_heap.data();
        }
        for (std::size_t i = 0; i < form.size(); ++i)
            classes[i] = automaton_.Class(form[i]);
        return MatchClasses(form, classes, label);
    }

    std::optional<Match> Matcher::MatchClasses(std::u32string_view form, const std::uint32_t* classes,
                                               LabelCase label) const
    {
        const auto& terms = terms_.terms();
        const std::size_t m = form.size();
        const std::size_t class_count = automaton_.Classes();
        const std::span<const std::uint32_t> text(classes, m);
        const auto distance = [&](std::size_t i) {
            const Form& term = terms[i].form;
            if (term.size() > OsaPattern::kMaxLength)
                return OsaDistance(form, term);
            const std::uint64_t* positions = term_positions_.data() + i * class_count;
            return OsaDistanceBits(term.size(), text, [positions](std::uint32_t c) { return positions[c]; });
        };
        Best best;
        std::array<std::uint32_t, 16> combos;
        std::size_t combo_count = 0;
        Best combo_overflow;

        const auto try_term = [&](std::size_t i, bool exact_anyway) {
            const WatchedTerm& term = terms[i];
            if (!best.CouldBeat(Difference(m, term.form.size()), i) || (best.found && best.term == i))
                return;
            const std::size_t d = distance(i);
            if (d <= term.max_distance || exact_anyway)
                best.Offer(i, d);
        };

        std::uint32_t state = 0;
        for (std::size_t end = 1; end <= m; ++end)
        {
            state = automaton_.Next(state, classes[end - 1]);
            if (!automaton_.HasPatterns(state))
                continue;
            automaton_.ForEachPattern(state, [&](const TermAutomaton::Pattern& p) {
                const WatchedTerm& term = terms[p.term];
                const std::size_t start = end - p.length;
                if (p.whole)
                {
                    if (start == 0 && end == m)
                        best.Offer(p.term, 0);
                    else if (term.combo && combo_count < combos.size())
                        combos[combo_count++] = p.term;
                    else if (term.combo)
                        combo_overflow.Offer(p.term, distance(p.term));
                    return;
                }
                // The piece's shift and the shift left for the rest.
                const auto shift = static_cast<std::ptrdiff_t>(start) - static_cast<std::ptrdiff_t>(p.offset);
                const auto rest = static_cast<std::ptrdiff_t>(m) - static_cast<std::ptrdiff_t>(term.form.size()) - shift;
                if (static_cast<std::size_t>(std::abs(shift) + std::abs(rest)) <= term.max_distance)
                    try_term(p.term, false);
            });
        }
        for (const std::uint32_t i : unpieced_terms_)
            if (Difference(m, terms[i].form.size()) <= terms[i].max_distance)
                try_term(i, false);
        // Exact matches whose forms differ by more than k. A label that is
        // not valid UTF-8 is never the lower case of a term.
        if (label.path == LabelPath::kAsciiTable)
        {
            for (const std::uint32_t i : ascii_exact_terms_)
                if (SameLower(label, terms[i]))
                    try_term(i, true);
        }
        else if (label.path == LabelPath::kUnicode)
        {
            if (const auto it = terms_by_lower_.find(std::string(label.text)); it != terms_by_lower_.end())
                for (const std::uint32_t i : it->second)
                    try_term(i, true);
        }

        if (best.found)
        {
            const WatchedTerm& term = terms[best.term];
            return Match{best.term, ClassifyDistanceMatch(form, term.form, best.distance, SameLower(label, term)),
                         best.distance};
        }
        for (std::size_t c = 0; c < combo_count; ++c)
            if (combo_overflow.CouldBeat(0, combos[c]))
                combo_overflow.Offer(combos[c], distance(combos[c]));
        if (combo_overflow.found)
            return Match{combo_overflow.term, MatchKind::kCombo, combo_overflow.distance};
        return std::nullopt;
    }

    std::string Matcher::UnicodeName(std::string_view name) const
    {
        const IcuText& icu = IcuText::Get();
        std::string out;
        bool decoded_any = false;
        std::string text;
        while (true)
        {
            const std::size_t dot = name.find('.');
            const std::string_view label = name.substr(0, dot);
            if (HasIdnPrefix(label) && icu.DecodeIdnLabel(label, text))
            {
                out += text;
                decoded_any = true;
            }
            else
                out += label;
            if (dot == std::string_view::npos)
                break;
            out += '.';
            name.remove_prefix(dot + 1);
        }
        return decoded_any ? out : std::string();
    }
}
