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
#include <string_view>

#if defined(_MSC_VER)
#include <intrin.h>
#endif

namespace plexor
{
    // Where among `size` slots a 64-bit value falls, without a division: the
    // high half of value * size.
    inline std::size_t ScaleToSize(std::uint64_t value, std::size_t size)
    {
#if defined(_MSC_VER)
        return static_cast<std::size_t>(__umulh(value, size));
#else
        return static_cast<std::size_t>((static_cast<unsigned __int128>(value) * size) >> 64);
#endif
    }

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

    // A set of fingerprints that only grows, for the names a comparison has
    // written. Its memory grows with the number of fingerprints held and
    // stays below 32 bytes for each, growth included: the set is split by the
    // fingerprints' top byte into 256 open-addressing tables of 16-byte
    // slots, each kept between about 53 % and 80 % full and grown on its own
    // by half its size, so no moment holds two copies of more than one small
    // table.
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

        std::size_t Size() const { return m_count; }
        // Bytes of all tables together.
        std::size_t MemoryBytes() const;

    private:
        struct Table;
        static constexpr std::size_t kTables = 256;

        Table& TableOf(NameFingerprint fingerprint) const;

        std::unique_ptr<Table[]> m_tables;
        std::size_t m_count = 0;
    };
}
