#pragma once

// The fingerprints of one list of names in the list's order, with an index
// over them, for looking up the names of another list that mostly comes in
// the same order (two days of a registry's zone, sorted or not).
//
// A lookup first compares the fingerprint with the one that follows the last
// found (one sequential read); only when that is not it does it ask the
// index, a hash table of 8-byte slots (32 bits of the fingerprint and the
// position in the list) at most three quarters full, and confirm the answer
// on the list's full fingerprint. So the answer is always exact, whatever the
// order; in the same order it costs no random memory read. Memory: 16 bytes
// per entry of the list plus at most 11 for the index. A name repeated in
// the list right after itself is kept once; one repeated further on (the
// records of one owner scattered over a file, unlike registry files and zone
// transfers) takes 16 bytes again. A long list and its index are on huge
// pages (scan/large_pages.h): filling them on small pages took a page fault
// every 4 KiB.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <vector>

#include "compare/name_fingerprints.h"

namespace plexor
{
    class FingerprintList final
    {
    public:
        // Adds fingerprints at the list's end; not after BuildIndex.
        void Append(std::span<const NameFingerprint> fingerprints);
        // Makes the index over everything appended.
        void BuildIndex();

        // For each fingerprint in order, whether the list holds it.
        void ContainsAll(std::span<const NameFingerprint> fingerprints, std::span<bool> found);

        std::size_t Size() const { return m_size; }
        std::size_t MemoryBytes() const;
        // The lookups that found their name right after the one found before.
        std::uint64_t InOrderLookups() const { return m_inOrder; }

    private:
        // Chunks of 2 MiB; the first on small pages, so that a short list
        // takes only the pages it fills.
        static constexpr unsigned kChunkBits = 17;
        static constexpr std::size_t kChunkSize = std::size_t {1} << kChunkBits;
        template <typename T>
        struct Free
        {
            void operator()(T* memory) const { std::free(memory); }
        };

        const NameFingerprint& At(std::size_t i) const { return m_chunks[i >> kChunkBits][i & (kChunkSize - 1)]; }
        std::size_t Home(const NameFingerprint& fingerprint) const;
        void Prefetch(const NameFingerprint& fingerprint) const;
        // The position of the fingerprint in the list (its first), or
        // m_size when the list does not hold it.
        std::size_t Find(const NameFingerprint& fingerprint) const;

        std::vector<std::unique_ptr<NameFingerprint[], Free<NameFingerprint>>> m_chunks;
        std::size_t m_size = 0;
        // 0 for an empty slot; otherwise the fingerprint's high 32 bits above
        // its position + 1.
        std::unique_ptr<std::uint64_t[], Free<std::uint64_t>> m_slots;
        std::size_t m_slotCount = 0;
        // Where the next name is looked for first.
        std::size_t m_next = 0;
        // Whether the last batch mostly came out of order: the next one then
        // asks the index for slots ahead.
        bool m_outOfOrder = false;
        std::uint64_t m_inOrder = 0;
    };
}
