#include "lookalike/term_filters.h"

#include <algorithm>

namespace plexor::lookalike
{
    namespace
    {
        // The codes of a form, padded so that 8-byte reads stay inside.
        std::vector<std::uint8_t> CodesOf(std::u32string_view form, const CharClasses& classes)
        {
            std::vector<std::uint8_t> codes(form.size() + LabelChars::kCodePadding, 0);
            for (std::size_t i = 0; i < form.size(); ++i)
                codes[i] = CharClasses::Code(classes.Class(form[i]));
            return codes;
        }

    }

    std::uint32_t CharClasses::Add(char32_t c)
    {
        if (c < 128)
        {
            if (m_ascii[c] == 0)
                m_ascii[c] = m_count++;
            return m_ascii[c];
        }
        const auto [it, added] = m_other.try_emplace(c, m_count);
        m_count += added;
        return it->second;
    }

    std::vector<Piece> CutIntoPieces(std::size_t formLength, std::size_t k)
    {
        const std::size_t pieces = k + 1;
        if (formLength < k + 2 * pieces)
            return {};
        const std::size_t covered = formLength - k;
        // The characters left over go to the middle pieces first: a middle
        // piece is looked for at several shifts, an end piece at one, so a
        // longer middle piece saves more chance hits than a longer end.
        std::vector<std::size_t> lengths(pieces, covered / pieces);
        std::size_t extra = covered % pieces;
        for (std::size_t p = 1; p + 1 < pieces && extra > 0; ++p, --extra)
            ++lengths[p];
        for (std::size_t p = 0; extra > 0; ++p, --extra)
            ++lengths[p];
        std::vector<Piece> out;
        std::size_t offset = 0;
        for (const std::size_t length : lengths)
        {
            out.push_back({static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(length)});
            offset += length + 1;
        }
        return out;
    }

    PieceFilter::PieceFilter(const std::vector<WatchedTerm>& terms, const CharClasses& classes)
        : m_bitmap((std::size_t{1} << kBitmapBits) / 64, 0)
    {
        std::size_t longest = 0;
        std::size_t maxK = 0;
        for (const WatchedTerm& term : terms)
        {
            longest = std::max(longest, term.form.size());
            maxK = std::max(maxK, term.maxDistance);
        }
        m_byLength.resize(longest + maxK + 1);
        // k is a function of the form length (automatic) or the same for
        // all terms, so the terms of one length share their cut points and
        // their places.
        std::vector<bool> laidOut(longest + 1, false);
        std::vector<KeyedEntry> entries;
        for (std::uint32_t i = 0; i < terms.size(); ++i)
        {
            const WatchedTerm& term = terms[i];
            const std::size_t m = term.form.size();
            const std::size_t k = term.maxDistance;
            std::uint64_t signature = 0;
            for (const char32_t c : term.form)
                signature |= SignatureBit(classes.Class(c));
            const std::vector<Piece> pieces =
                k == 0 ? std::vector<Piece>{{0, static_cast<std::uint32_t>(m)}} : CutIntoPieces(m, k);
            if (!laidOut[m])
            {
                laidOut[m] = true;
                AddProbes(m, k, pieces);
            }
            const std::size_t lowest = m > k ? m - k : 0;
            if (pieces.empty())
            {
                for (std::size_t n = lowest; n <= m + k; ++n)
                    m_byLength[n].unpieced.push_back({signature, i, static_cast<std::uint32_t>(k)});
                continue;
            }
            const std::vector<std::uint8_t> codes = CodesOf(term.form, classes);
            const auto add = [&](std::size_t j, Anchor anchor, std::size_t place) {
                std::uint64_t bytes = 0;
                std::memcpy(&bytes, codes.data() + pieces[j].offset, sizeof bytes);
                const std::uint64_t key = Key(bytes & MaskOf(pieces[j].length), TagHash(anchor, pieces[j].length, place));
                entries.push_back({key,
                                   {signature, i, static_cast<std::uint16_t>(m), static_cast<std::uint8_t>(k),
                                    static_cast<std::uint8_t>(key >> 24)}});
            };
            for (std::size_t j = 0; j < pieces.size(); ++j)
            {
                if (j == 0)
                    add(j, Anchor::FromStart, 0);
                else if (j == k)
                    add(j, Anchor::Suffix, 0);
                else
                    for (std::size_t s = 0; s <= 2 * j; ++s)
                        if (pieces[j].offset + s >= j)
                            add(j, Anchor::FromStart, pieces[j].offset + s - j);
            }
        }
        AddEntries(std::move(entries));
    }

    // For a label of length n = m + d, piece j can stand untouched at shift
    // s with |s| <= j and |d - s| <= k - j. Piece 0 stands at the start
    // (s = 0), piece k is the suffix (s = d); a middle piece is named by its
    // start. Places already probed for the label length by another term
    // length are probed once.
    void PieceFilter::AddProbes(std::size_t m, std::size_t k, const std::vector<Piece>& pieces)
    {
        const auto kk = static_cast<std::ptrdiff_t>(k);
        for (std::ptrdiff_t d = -kk; d <= kk; ++d)
        {
            const std::ptrdiff_t n = static_cast<std::ptrdiff_t>(m) + d;
            if (n < 0)
                continue;
            std::vector<Probe>& probes = m_byLength[static_cast<std::size_t>(n)].probes;
            for (std::size_t j = 0; j < pieces.size(); ++j)
            {
                const auto jj = static_cast<std::ptrdiff_t>(j);
                const auto length = static_cast<std::ptrdiff_t>(pieces[j].length);
                for (std::ptrdiff_t s = std::max(-jj, d - (kk - jj)); s <= std::min(jj, d + (kk - jj)); ++s)
                {
                    const std::ptrdiff_t start = static_cast<std::ptrdiff_t>(pieces[j].offset) + s;
                    if (start < 0 || start + length > n)
                        continue;
                    const std::uint64_t tagHash =
                        j == 0   ? TagHash(Anchor::FromStart, pieces[j].length, 0)
                        : j == k ? TagHash(Anchor::Suffix, pieces[j].length, 0)
                                 : TagHash(Anchor::FromStart, pieces[j].length, static_cast<std::size_t>(start));
                    const bool known = std::any_of(probes.begin(), probes.end(),
                                                   [&](const Probe& probe) { return probe.tagHash == tagHash; });
                    if (!known)
                        probes.push_back({MaskOf(pieces[j].length), tagHash, static_cast<std::uint32_t>(start)});
                }
            }
        }
    }

    void PieceFilter::AddEntries(std::vector<KeyedEntry> entries)
    {
        const auto bitOf = [](const KeyedEntry& keyed) { return keyed.key >> (64 - kBitmapBits); };
        const auto before = [&](const KeyedEntry& a, const KeyedEntry& b) {
            if (bitOf(a) != bitOf(b))
                return bitOf(a) < bitOf(b);
            return a.entry.term != b.entry.term ? a.entry.term < b.entry.term : a.key < b.key;
        };
        const auto same = [](const KeyedEntry& a, const KeyedEntry& b) {
            return a.key == b.key && a.entry.term == b.entry.term;
        };
        std::sort(entries.begin(), entries.end(), before);
        entries.erase(std::unique(entries.begin(), entries.end(), same), entries.end());
        m_entries.reserve(entries.size());
        for (std::size_t e = 0; e < entries.size(); ++e)
        {
            const std::uint64_t bit = bitOf(entries[e]);
            if (e == 0 || bit != bitOf(entries[e - 1]))
            {
                m_bitmap[bit >> 6] |= std::uint64_t{1} << (bit & 63);
                m_bitStart.push_back(static_cast<std::uint32_t>(m_entries.size()));
            }
            m_entries.push_back(entries[e].entry);
        }
        m_bitStart.push_back(static_cast<std::uint32_t>(m_entries.size()));
        m_wordRank.assign(m_bitmap.size() + 1, 0);
        for (std::size_t w = 0; w < m_bitmap.size(); ++w)
            m_wordRank[w + 1] = m_wordRank[w] + static_cast<std::uint32_t>(std::popcount(m_bitmap[w]));
    }

    std::size_t PieceFilter::MemoryBytes() const
    {
        std::size_t bytes = sizeof(*this) + m_entries.size() * sizeof(Entry) +
                            (m_bitStart.size() + m_wordRank.size()) * sizeof(std::uint32_t) +
                            m_bitmap.size() * sizeof(std::uint64_t);
        for (const LabelLength& places : m_byLength)
            bytes += sizeof(places) + places.unpieced.size() * sizeof(Unpieced) + places.probes.size() * sizeof(Probe);
        return bytes;
    }

    ComboFilter::ComboFilter(const std::vector<WatchedTerm>& terms, const CharClasses& classes) : m_codes(terms.size())
    {
        for (std::uint32_t i = 0; i < terms.size(); ++i)
        {
            if (!terms[i].combo)
                continue;
            std::vector<std::uint8_t> codes = CodesOf(terms[i].form, classes);
            const std::size_t length = terms[i].form.size();
            const std::uint64_t mask = length >= 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * length)) - 1;
            std::uint64_t head = 0;
            std::memcpy(&head, codes.data(), sizeof head);
            (length >= 8 ? m_long : m_short).Add({head & mask, mask, i, static_cast<std::uint32_t>(length)});
            if (length > sizeof head)
            {
                codes.resize(length);
                m_codes[i] = std::move(codes);
            }
        }
        m_short.Finish();
        m_long.Finish();
    }

    std::size_t ComboFilter::MemoryBytes() const
    {
        std::size_t bytes = sizeof(*this) + m_short.MemoryBytes() + m_long.MemoryBytes();
        for (const auto& codes : m_codes)
            bytes += sizeof(codes) + codes.size();
        return bytes;
    }

    ComboFilter::GramIndex::GramIndex(std::size_t width)
        : m_gramMask(width >= 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * width)) - 1),
          m_bitmap((std::size_t{1} << kBitmapBits) / 64, 0)
    {
    }

    void ComboFilter::GramIndex::Add(const Entry& entry)
    {
        m_entries.push_back(entry);
        const std::uint32_t bit = Slot(entry);
        m_bitmap[bit >> 6] |= std::uint64_t{1} << (bit & 63);
    }

    // By bitmap word, and within a word by length, so that a window stops at
    // the first term too long for the rest of the label (the matcher ranks
    // the terms it is given itself).
    void ComboFilter::GramIndex::Finish()
    {
        std::stable_sort(m_entries.begin(), m_entries.end(), [this](const Entry& a, const Entry& b) {
            return (Slot(a) >> 6) != (Slot(b) >> 6) ? (Slot(a) >> 6) < (Slot(b) >> 6) : a.length < b.length;
        });
        m_wordStart.assign(m_bitmap.size() + 1, 0);
        for (const Entry& entry : m_entries)
            ++m_wordStart[(Slot(entry) >> 6) + 1];
        for (std::size_t w = 1; w < m_wordStart.size(); ++w)
            m_wordStart[w] += m_wordStart[w - 1];
    }

    std::size_t ComboFilter::GramIndex::MemoryBytes() const
    {
        return m_entries.size() * sizeof(Entry) + m_bitmap.size() * sizeof(std::uint64_t) +
               m_wordStart.size() * sizeof(std::uint32_t);
    }
}
