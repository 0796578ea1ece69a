#include "lookalike/matcher.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <cstring>
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

        // Every character of every term's form, numbered in order of use.
        CharClasses ClassesOf(const std::vector<WatchedTerm>& terms)
        {
            CharClasses classes;
            for (const WatchedTerm& term : terms)
                for (const char32_t c : term.form)
                    classes.Add(c);
            return classes;
        }
    }

    std::unique_ptr<Matcher> Matcher::Create(const LookalikeSettings& settings, std::string& error)
    {
        std::optional<WatchList> terms = WatchList::Build(settings, error);
        if (!terms)
            return nullptr;
        return std::unique_ptr<Matcher>(new Matcher(std::move(*terms)));
    }

    Matcher::Matcher(WatchList terms)
        : m_terms(std::move(terms)),
          m_classes(ClassesOf(m_terms.Terms())),
          m_pieces(m_terms.Terms(), m_classes),
          m_combos(m_terms.Terms(), m_classes)
    {
        const IcuText& icu = IcuText::Get();
        const AsciiFormTable forms(icu);
        for (unsigned c = 0; c < 128; ++c)
        {
            AsciiEntry& entry = m_ascii[c];
            entry.length = forms.Append(static_cast<unsigned char>(c), entry.chars.data());
            m_asciiLengths[c] = static_cast<std::uint8_t>(entry.length);
            for (std::size_t i = 0; i < entry.length; ++i)
            {
                entry.classes[i] = m_classes.Class(entry.chars[i]);
                m_asciiCodes[c] |= std::uint32_t{CharClasses::Code(entry.classes[i])} << (8 * i);
                m_asciiSignatures[c] |= SignatureBit(entry.classes[i]);
            }
        }
        const auto& list = m_terms.Terms();
        for (std::uint32_t i = 0; i < list.size(); ++i)
        {
            const WatchedTerm& term = list[i];
            m_termsByLower[term.lower].push_back(i);
            if (IsAscii(term.lower) && term.form != icu.FormOf(term.lower))
            {
                if (m_asciiExactTerms.size() <= term.lower.size())
                    m_asciiExactTerms.resize(term.lower.size() + 1);
                m_asciiExactTerms[term.lower.size()].push_back(i);
            }
        }
        for (const WatchedTerm& term : list)
        {
            std::vector<std::uint8_t> codes(term.form.size());
            for (std::size_t p = 0; p < codes.size(); ++p)
                codes[p] = CharClasses::Code(m_classes.Class(term.form[p]));
            m_termBags.emplace_back(codes.data(), codes.size());
        }
        const std::size_t classes = m_classes.Count();
        m_termPositions.assign(list.size() * classes, 0);
        for (std::size_t i = 0; i < list.size(); ++i)
        {
            const Form& form = list[i].form;
            for (std::size_t p = 0; p < form.size() && form.size() <= OsaPattern::kMaxLength; ++p)
                m_termPositions[i * classes + m_classes.Class(form[p])] |= std::uint64_t{1} << p;
        }
    }

    std::size_t Matcher::MemoryBytes() const
    {
        std::size_t bytes = sizeof(*this) + m_classes.MemoryBytes() + m_pieces.MemoryBytes() + m_combos.MemoryBytes() +
                            m_termPositions.size() * sizeof(std::uint64_t);
        for (const WatchedTerm& term : m_terms.Terms())
            bytes += term.form.size() * sizeof(char32_t) + term.label.size() + term.lower.size() + sizeof(term);
        return bytes;
    }

    bool Matcher::SameLower(const LabelCase& label, const WatchedTerm& term) const
    {
        return label.path == LabelPath::Unicode ? label.text == term.lower : AsciiCaseEqual(label.text, term.lower);
    }

    std::optional<Match> Matcher::MatchName(std::string_view name) const
    {
        const std::string_view label = FirstLabel(name);
        bool done = false;
        std::optional<Match> match;
        if (label.size() <= kMaxStackLabel && !HasIdnPrefix(label))
            match = MatchAsciiLabel(label, done);
        if (!done)
            match = MatchOtherLabel(label);
        if (match && m_terms.IsException(name))
            return std::nullopt;
        return match;
    }

    // The codes and signature from the table, on the stack; the form and
    // classes only when a term passes the filters.
    std::optional<Match> Matcher::MatchAsciiLabel(std::string_view label, bool& done) const
    {
        constexpr std::size_t kMost = kMaxStackLabel * AsciiFormTable::kMaxPerByte;
        constexpr std::size_t kRoom = kMost + AsciiFormTable::kMaxPerByte;
        // Whole, aligned 8-byte words only: the filters read the codes
        // right away with loads of four and eight bytes, which a store
        // can hand on directly only when it holds all of the load.
        alignas(8) std::array<std::uint8_t, kRoom + 2 * LabelChars::kCodePadding> codes;
        std::size_t length = 0;
        std::uint64_t signature = 0;
        std::uint64_t word = 0;
        std::size_t wordBits = 0;
        static_assert(std::endian::native == std::endian::little);
        unsigned high = 0;
        for (const char c : label)
        {
            const auto b = static_cast<unsigned char>(c);
            high |= b;
            const unsigned index = b & 0x7F;
            signature |= m_asciiSignatures[index];
            // Up to four codes, first in the low byte, the rest zero.
            const std::uint64_t byteCodes = m_asciiCodes[index];
            const std::size_t bits = 8 * std::size_t{m_asciiLengths[index]};
            word |= byteCodes << wordBits;
            if (wordBits + bits >= 64)
            {
                std::memcpy(codes.data() + length, &word, sizeof word);
                word = wordBits == 0 ? 0 : byteCodes >> (64 - wordBits);
                wordBits = wordBits + bits - 64;
                length += 8;
            }
            else
                wordBits += bits;
        }
        // length counts the codes in whole words so far.
        done = high < 0x80;
        if (!done)
            return std::nullopt;
        std::memcpy(codes.data() + length, &word, sizeof word);
        const std::uint64_t zero = 0;
        std::memcpy(codes.data() + length + 8, &zero, sizeof zero);
        length += wordBits / 8;
        std::array<char32_t, kRoom> form;
        std::array<std::uint32_t, kRoom> classes;
        LabelView view{{length, codes.data(), signature}, {}, nullptr, label, form.data(), classes.data()};
        return MatchView(view, {label, LabelPath::AsciiTable});
    }

    void Matcher::MakeChars(LabelView& view) const
    {
        if (view.classes != nullptr)
            return;
        std::size_t length = 0;
        for (const char c : view.ascii)
        {
            const AsciiEntry& entry = m_ascii[static_cast<unsigned char>(c)];
            std::memcpy(view.formRoom + length, entry.chars.data(), sizeof entry.chars);
            std::memcpy(view.classRoom + length, entry.classes.data(), sizeof entry.classes);
            length += entry.length;
        }
        view.form = std::u32string_view(view.formRoom, length);
        view.classes = view.classRoom;
    }

    std::optional<Match> Matcher::MatchOtherLabel(std::string_view label) const
    {
        const IcuText& icu = IcuText::Get();
        const std::string text = LabelText(icu, label);
        const bool valid = IsValidUtf8(text);
        const std::string lower = valid ? icu.Lower(text) : text;
        return MatchForm(FormOfText(icu, text), {lower, valid ? LabelPath::Unicode : LabelPath::Bytes});
    }

    std::optional<Match> Matcher::MatchForm(std::u32string_view form, const LabelCase& label) const
    {
        std::vector<std::uint32_t> classes(form.size());
        std::vector<std::uint8_t> codes(form.size() + LabelChars::kCodePadding, 0);
        std::uint64_t signature = 0;
        for (std::size_t i = 0; i < form.size(); ++i)
        {
            classes[i] = m_classes.Class(form[i]);
            codes[i] = CharClasses::Code(classes[i]);
            signature |= SignatureBit(classes[i]);
        }
        LabelView view{{form.size(), codes.data(), signature}, form, classes.data(), {}, nullptr, nullptr};
        return MatchView(view, label);
    }

    std::size_t Matcher::Distance(const LabelView& view, std::size_t term) const
    {
        const Form& form = m_terms.Terms()[term].form;
        if (form.size() > OsaPattern::kMaxLength)
            return OsaDistance(view.form, form);
        const std::uint64_t* positions = m_termPositions.data() + term * m_classes.Count();
        const std::span<const std::uint32_t> text(view.classes, view.form.size());
        return OsaDistanceBits(form.size(), text, [positions](std::uint32_t c) { return positions[c]; });
    }

    std::optional<Match> Matcher::MatchView(LabelView& view, const LabelCase& label) const
    {
        const auto& terms = m_terms.Terms();
        const std::size_t n = view.codes.length;
        Best best;
        std::optional<CharacterBag> bag;
        const auto tryTerm = [&](std::size_t i, bool exactAnyway) {
            const WatchedTerm& term = terms[i];
            if ((best.found && best.term == i) || !best.CouldBeat(Difference(n, term.form.size()), i))
                return;
            if (!exactAnyway)
            {
                if (!bag)
                    bag.emplace(view.codes.codes, n);
                if (!CharacterBag::Within(*bag, m_termBags[i], term.maxDistance))
                    return;
            }
            MakeChars(view);
            const std::size_t d = Distance(view, i);
            if (d <= term.maxDistance || exactAnyway)
                best.Offer(i, d);
        };
        m_pieces.ForEachCandidate(view.codes, [&](std::uint32_t i) { tryTerm(i, false); });
        // Exact matches whose forms differ by more than k. A label that is
        // not valid UTF-8 is never the lower case of a term.
        if (label.path == LabelPath::AsciiTable)
        {
            if (label.text.size() < m_asciiExactTerms.size())
                for (const std::uint32_t i : m_asciiExactTerms[label.text.size()])
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
            return Match{best.term, ClassifyDistanceMatch(view.form, term.form, best.distance, SameLower(label, term)),
                         best.distance};
        }
        Best combo;
        m_combos.ForEachCombo(view.codes, [&](std::uint32_t i, std::size_t start) {
            const Form& form = terms[i].form;
            if ((combo.found && combo.term == i) || !combo.CouldBeat(Difference(n, form.size()), i))
                return;
            MakeChars(view);
            if (view.form.substr(start, form.size()) == form)
                combo.Offer(i, Distance(view, i));
        });
        if (combo.found)
            return Match{combo.term, MatchKind::Combo, combo.distance};
        return std::nullopt;
    }
}
