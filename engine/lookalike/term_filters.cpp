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
        std::vector<Piece> out;
        std::size_t offset = 0;
        for (std::size_t p = 0; p < pieces; ++p)
        {
            const std::size_t length = covered / pieces + (p < covered % pieces ? 1 : 0);
            out.push_back({static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(length)});
            offset += length + 1;
        }
        return out;
    }

    PieceFilter::PieceFilter(const std::vector<WatchedTerm>& terms, const CharClasses& classes)
        : m_bitmap((std::size_t{1} << kBitmapBits) / 64, 0)
    {
        std::vector<Entry> entries;
        std::size_t longest = 0;
        for (const WatchedTerm& term : terms)
            longest = std::max(longest, term.form.size());
        m_groups.resize(longest + 1);
        for (std::uint32_t i = 0; i < terms.size(); ++i)
        {
            const WatchedTerm& term = terms[i];
            const std::size_t m = term.form.size();
            // k is a function of the form length (automatic) or the same
            // for all terms, so one group has one k.
            Group& group = m_groups[m];
            const std::vector<Piece> pieces = term.maxDistance == 0
                                                  ? std::vector<Piece>{{0, static_cast<std::uint32_t>(m)}}
                                                  : CutIntoPieces(m, term.maxDistance);
            if (group.probes.empty())
            {
                group.k = term.maxDistance;
                m_maxK = std::max(m_maxK, group.k);
                AddGroupProbes(group, m, pieces);
            }
            if (pieces.empty())
            {
                group.unpieced.push_back(i);
                continue;
            }
            const std::vector<std::uint8_t> codes = CodesOf(term.form, classes);
            for (std::size_t j = 0; j < pieces.size(); ++j)
            {
                std::uint64_t bytes = 0;
                std::memcpy(&bytes, codes.data() + pieces[j].offset, sizeof bytes);
                entries.push_back({Key(bytes & MaskOf(pieces[j].length), TagHash(m, j)), i});
            }
        }
        std::sort(entries.begin(), entries.end(),
                  [](const Entry& a, const Entry& b) { return a.key != b.key ? a.key < b.key : a.term < b.term; });
        entries.erase(std::unique(entries.begin(), entries.end(),
                                  [](const Entry& a, const Entry& b) { return a.key == b.key && a.term == b.term; }),
                      entries.end());
        std::size_t slots = 16;
        while (slots < 2 * entries.size())
            slots *= 2;
        m_slots.assign(slots, Entry{0, kEmpty});
        m_slotMask = slots - 1;
        for (const Entry& entry : entries)
        {
            std::size_t slot = SlotOf(entry.key, m_slotMask);
            while (m_slots[slot].term != kEmpty)
                slot = (slot + 1) & m_slotMask;
            m_slots[slot] = entry;
            const std::uint64_t bit = entry.key >> (64 - kBitmapBits);
            m_bitmap[bit >> 6] |= std::uint64_t{1} << (bit & 63);
        }
    }

    // For a label of length n = m + d, piece j can stand untouched at shift
    // s with |s| <= j and |d - s| <= k - j.
    void PieceFilter::AddGroupProbes(Group& group, std::size_t m, const std::vector<Piece>& pieces)
    {
        const auto k = static_cast<std::ptrdiff_t>(group.k);
        group.probes.assign(static_cast<std::size_t>(2 * k + 1), {});
        if (pieces.empty())
            return;
        for (std::ptrdiff_t d = -k; d <= k; ++d)
            for (std::size_t j = 0; j < pieces.size(); ++j)
            {
                const auto jj = static_cast<std::ptrdiff_t>(j);
                for (std::ptrdiff_t s = std::max(-jj, d - (k - jj)); s <= std::min(jj, d + (k - jj)); ++s)
                {
                    const std::ptrdiff_t start = static_cast<std::ptrdiff_t>(pieces[j].offset) + s;
                    const std::ptrdiff_t n = static_cast<std::ptrdiff_t>(m) + d;
                    if (start < 0 || start + static_cast<std::ptrdiff_t>(pieces[j].length) > n)
                        continue;
                    group.probes[static_cast<std::size_t>(d + k)].push_back(
                        {MaskOf(pieces[j].length), TagHash(m, j), static_cast<std::uint32_t>(start)});
                }
            }
    }

    std::size_t PieceFilter::MemoryBytes() const
    {
        std::size_t bytes = sizeof(*this) + m_slots.size() * sizeof(Entry) + m_bitmap.size() * sizeof(std::uint64_t);
        for (const Group& group : m_groups)
        {
            bytes += sizeof(group) + group.unpieced.size() * sizeof(std::uint32_t);
            for (const auto& probes : group.probes)
                bytes += sizeof(probes) + probes.size() * sizeof(Probe);
        }
        return bytes;
    }

    ComboFilter::ComboFilter(const std::vector<WatchedTerm>& terms, const CharClasses& classes)
        : m_bitmap((std::size_t{1} << kBitmapBits) / 64, 0), m_codes(terms.size())
    {
        for (std::uint32_t i = 0; i < terms.size(); ++i)
        {
            if (!terms[i].combo)
                continue;
            std::vector<std::uint8_t> codes = CodesOf(terms[i].form, classes);
            std::uint32_t gram = 0;
            std::memcpy(&gram, codes.data(), sizeof gram);
            m_entries.push_back({gram, i});
            const std::uint32_t bit = Slot(gram);
            m_bitmap[bit >> 6] |= std::uint64_t{1} << (bit & 63);
            codes.resize(terms[i].form.size());
            m_codes[i] = std::move(codes);
        }
        // Terms in the order given within a word, so that f sees ties in
        // that order (the matcher ranks them itself anyway).
        std::stable_sort(m_entries.begin(), m_entries.end(),
                         [](const Entry& a, const Entry& b) { return (Slot(a.gram) >> 6) < (Slot(b.gram) >> 6); });
        m_wordStart.assign(m_bitmap.size() + 1, 0);
        for (const Entry& entry : m_entries)
            ++m_wordStart[(Slot(entry.gram) >> 6) + 1];
        for (std::size_t w = 1; w < m_wordStart.size(); ++w)
            m_wordStart[w] += m_wordStart[w - 1];
    }

    std::size_t ComboFilter::MemoryBytes() const
    {
        std::size_t bytes = sizeof(*this) + m_entries.size() * sizeof(Entry) + m_bitmap.size() * sizeof(std::uint64_t) +
                            m_wordStart.size() * sizeof(std::uint32_t);
        for (const auto& codes : m_codes)
            bytes += sizeof(codes) + codes.size();
        return bytes;
    }
}
