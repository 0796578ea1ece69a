#pragma once

// 128-bit fingerprints of names and a set of them, for comparing the lists of
// two zone files without keeping the names themselves.
//
// A fingerprint is SipHash-1-3 with 128-bit output under a key drawn at random
// for each comparison, so nobody who writes a zone file can choose names that
// share one. Two different names get the same fingerprint with a chance of
// 2^-128 per pair; a comparison of two lists of n names each looks at fewer
// than 2n^2 pairs, so for n = 160 million (.com) the chance that any name is
// judged wrongly is below 10^-21.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

namespace plexor
{
    struct NameFingerprint
    {
        std::uint64_t low = 0;
        std::uint64_t high = 0;

        friend bool operator==(const NameFingerprint&, const NameFingerprint&) = default;
    };

    struct FingerprintKey
    {
        std::uint64_t k0 = 0;
        std::uint64_t k1 = 0;

        // A key from the system's random source.
        static FingerprintKey Random();
    };

    NameFingerprint Fingerprint(std::string_view name, const FingerprintKey& key);

    // A set of fingerprints that only grows. Its memory grows with the number
    // of fingerprints held and stays below 32 bytes for each, growth included:
    // the set is split by the fingerprints' top bits into open-addressing
    // tables of 16-byte slots, so no moment holds two copies of more than one
    // small table. Insert keeps each table between about 53 % and 80 % full,
    // growing it by half its size. A whole list is cheaper to add with
    // CollectAll, which only stores the fingerprints (16 bytes each, blocks
    // included at most 20), and one Freeze at the end, which moves them into
    // tables three quarters full (about 21 bytes each), a few at a time.
    class FingerprintSet final
    {
    public:
        FingerprintSet();
        ~FingerprintSet();
        FingerprintSet(const FingerprintSet&) = delete;
        FingerprintSet& operator=(const FingerprintSet&) = delete;

        // Adds the fingerprint unless it is in already; true when it was
        // added.
        bool Insert(NameFingerprint fingerprint);
        bool Contains(NameFingerprint fingerprint) const;
        // Keeps the fingerprints for the next Freeze; until then Contains
        // and Size do not see them.
        void CollectAll(std::span<const NameFingerprint> fingerprints);
        void Freeze();
        // Contains for many at once: the slots of all are asked for first,
        // so that their memory reads overlap. `found[i]` is set to whether
        // fingerprints[i] is in the set.
        void ContainsAll(std::span<const NameFingerprint> fingerprints, std::span<bool> found) const;

        std::size_t Size() const { return m_count; }
        // Bytes of all tables and collected blocks together.
        std::size_t MemoryBytes() const;

    private:
        struct Table;
        struct Pending;
        // Collected fingerprints are kept apart by their top byte.
        static constexpr unsigned kCollectBits = 8;
        // Freeze makes tables of about this many names (some 43 KB each).
        static constexpr std::size_t kTableNames = 1500;

        Table& TableOf(NameFingerprint fingerprint) const;
        void Prefetch(NameFingerprint fingerprint) const;

        // 2^m_tableBits tables, chosen by the fingerprints' top bits.
        std::vector<Table> m_tables;
        unsigned m_tableBits = kCollectBits;
        std::unique_ptr<Pending[]> m_pending;
        std::size_t m_count = 0;
    };
}
