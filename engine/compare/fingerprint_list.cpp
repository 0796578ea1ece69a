#include "compare/fingerprint_list.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "scan/large_pages.h"

namespace plexor
{
    namespace
    {
        std::uint64_t Tag(const NameFingerprint& fingerprint)
        {
            return fingerprint.high >> 32;
        }

        void PrefetchAddress(const void* address)
        {
#if defined(__GNUC__) || defined(__clang__)
            __builtin_prefetch(address);
#else
            static_cast<void>(address);
#endif
        }
    }

    void FingerprintList::Append(std::span<const NameFingerprint> fingerprints)
    {
        for (const NameFingerprint& fingerprint : fingerprints)
        {
            // A name the list repeats at once (a host's further address
            // lines) is kept once.
            if (m_size > 0 && At(m_size - 1) == fingerprint)
                continue;
            if ((m_size & (kChunkSize - 1)) == 0)
                m_chunks.emplace_back(static_cast<NameFingerprint*>(
                    large_pages::Allocate(kChunkSize * sizeof(NameFingerprint), !m_chunks.empty())));
            m_chunks.back()[m_size & (kChunkSize - 1)] = fingerprint;
            ++m_size;
        }
    }

    std::size_t FingerprintList::Home(const NameFingerprint& fingerprint) const
    {
        return ScaleToSize(fingerprint.low, m_slotCount);
    }

    void FingerprintList::Prefetch(const NameFingerprint& fingerprint) const
    {
        PrefetchAddress(&m_slots[Home(fingerprint)]);
    }

    void FingerprintList::BuildIndex()
    {
        // Positions are kept in 32 bits.
        if (m_size >= 0xFFFFFFFFu)
            throw std::bad_alloc();
        m_slotCount = std::max<std::size_t>(16, m_size * 4 / 3 + 1);
        // Whole huge pages once the slots fill one.
        const std::size_t bytes = m_slotCount * sizeof(std::uint64_t);
        m_slots.reset(static_cast<std::uint64_t*>(large_pages::Allocate(large_pages::WholePages(bytes))));
        std::memset(m_slots.get(), 0, bytes);
        constexpr std::size_t kAhead = 16;
        for (std::size_t i = 0; i < std::min(kAhead, m_size); ++i)
            Prefetch(At(i));
        for (std::size_t i = 0; i < m_size; ++i)
        {
            if (i + kAhead < m_size)
                Prefetch(At(i + kAhead));
            const NameFingerprint& fingerprint = At(i);
            const std::uint64_t tag = Tag(fingerprint);
            std::size_t slot = Home(fingerprint);
            bool repeat = false;
            for (; m_slots[slot] != 0; slot = slot + 1 == m_slotCount ? 0 : slot + 1)
            {
                // A name the list holds twice keeps its first position.
                if ((m_slots[slot] >> 32) == tag && At((m_slots[slot] & 0xFFFFFFFFu) - 1) == fingerprint)
                {
                    repeat = true;
                    break;
                }
            }
            if (!repeat)
                m_slots[slot] = tag << 32 | (i + 1);
        }
    }

    std::size_t FingerprintList::Find(const NameFingerprint& fingerprint) const
    {
        if (m_slotCount == 0)
            return m_size;
        const std::uint64_t tag = Tag(fingerprint);
        for (std::size_t slot = Home(fingerprint); m_slots[slot] != 0;
             slot = slot + 1 == m_slotCount ? 0 : slot + 1)
        {
            if ((m_slots[slot] >> 32) == tag)
            {
                const std::size_t position = (m_slots[slot] & 0xFFFFFFFFu) - 1;
                if (At(position) == fingerprint)
                    return position;
            }
        }
        return m_size;
    }

    void FingerprintList::ContainsAll(std::span<const NameFingerprint> fingerprints, std::span<bool> found)
    {
        constexpr std::size_t kAhead = 16;
        const std::size_t count = fingerprints.size();
        const bool prefetch = m_outOfOrder && m_slotCount != 0;
        if (prefetch)
        {
            for (std::size_t i = 0; i < std::min(kAhead, count); ++i)
                Prefetch(fingerprints[i]);
        }
        std::size_t inOrder = 0;
        for (std::size_t i = 0; i < count; ++i)
        {
            if (prefetch && i + kAhead < count)
                Prefetch(fingerprints[i + kAhead]);
            const NameFingerprint& fingerprint = fingerprints[i];
            if (m_next < m_size && At(m_next) == fingerprint)
            {
                found[i] = true;
                ++m_next;
                ++inOrder;
                continue;
            }
            const std::size_t position = Find(fingerprint);
            found[i] = position < m_size;
            if (found[i])
                m_next = position + 1;
        }
        m_inOrder += inOrder;
        m_outOfOrder = inOrder * 2 < count;
    }

    std::size_t FingerprintList::MemoryBytes() const
    {
        return m_chunks.size() * kChunkSize * sizeof(NameFingerprint) + m_slotCount * sizeof(std::uint64_t);
    }
}
