#include "compare/name_fingerprints.h"

#include <bit>
#include <cstring>
#include <random>

namespace plexor
{
    namespace
    {
        struct SipState
        {
            std::uint64_t v0, v1, v2, v3;

            void Round()
            {
                v0 += v1;
                v1 = std::rotl(v1, 13);
                v1 ^= v0;
                v0 = std::rotl(v0, 32);
                v2 += v3;
                v3 = std::rotl(v3, 16);
                v3 ^= v2;
                v0 += v3;
                v3 = std::rotl(v3, 21);
                v3 ^= v0;
                v2 += v1;
                v1 = std::rotl(v1, 17);
                v1 ^= v2;
                v2 = std::rotl(v2, 32);
            }
            void Compress(std::uint64_t block)
            {
                v3 ^= block;
                Round();
                v0 ^= block;
            }
            std::uint64_t Finish()
            {
                Round();
                Round();
                Round();
                return v0 ^ v1 ^ v2 ^ v3;
            }
        };

        bool IsEmpty(const NameFingerprint& slot)
        {
            return (slot.low | slot.high) == 0;
        }

        // An all-zero fingerprint marks an empty slot; the one name in 2^128
        // that has it shares the fingerprint 0:1 instead.
        NameFingerprint Storable(NameFingerprint fingerprint)
        {
            if (IsEmpty(fingerprint))
                fingerprint.low = 1;
            return fingerprint;
        }
    }

    FingerprintKey FingerprintKey::Random()
    {
        std::random_device source;
        FingerprintKey key;
        key.k0 = (static_cast<std::uint64_t>(source()) << 32) ^ source();
        key.k1 = (static_cast<std::uint64_t>(source()) << 32) ^ source();
        return key;
    }

    // SipHash-1-3 with 128-bit output (the reference's "outlen 16" form).
    NameFingerprint Fingerprint(std::string_view name, const FingerprintKey& key)
    {
        SipState s {0x736f6d6570736575ull ^ key.k0, 0x646f72616e646f6dull ^ key.k1 ^ 0xee,
                    0x6c7967656e657261ull ^ key.k0, 0x7465646279746573ull ^ key.k1};
        const char* bytes = name.data();
        std::size_t left = name.size();
        for (; left >= 8; left -= 8, bytes += 8)
        {
            std::uint64_t block;
            std::memcpy(&block, bytes, 8);
            s.Compress(block);
        }
        std::uint64_t last = static_cast<std::uint64_t>(name.size()) << 56;
        for (std::size_t i = 0; i < left; ++i)
            last |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
        s.Compress(last);
        s.v2 ^= 0xee;
        NameFingerprint result;
        result.low = s.Finish();
        s.v1 ^= 0xdd;
        result.high = s.Finish();
        return result;
    }

    struct FingerprintSet::Table
    {
        static constexpr std::size_t kFirstSize = 16;

        std::unique_ptr<NameFingerprint[]> slots;
        std::size_t size = 0;
        std::size_t count = 0;

        // The slot that holds the fingerprint, or the empty slot where it
        // belongs.
        std::size_t Find(const NameFingerprint& fingerprint) const
        {
            std::size_t i = ScaleToSize(fingerprint.low, size);
            while (!IsEmpty(slots[i]) && slots[i] != fingerprint)
                i = i + 1 == size ? 0 : i + 1;
            return i;
        }

        void Grow()
        {
            std::unique_ptr<NameFingerprint[]> old = std::move(slots);
            const std::size_t oldSize = size;
            size = oldSize == 0 ? kFirstSize : oldSize + oldSize / 2;
            slots = std::make_unique<NameFingerprint[]>(size);
            for (std::size_t i = 0; i < oldSize; ++i)
            {
                if (!IsEmpty(old[i]))
                    slots[Find(old[i])] = old[i];
            }
        }

        bool Insert(const NameFingerprint& fingerprint)
        {
            // At most 80 % full, so that a miss finds an empty slot soon.
            if ((count + 1) * 5 > size * 4)
                Grow();
            const std::size_t i = Find(fingerprint);
            if (!IsEmpty(slots[i]))
                return false;
            slots[i] = fingerprint;
            ++count;
            return true;
        }
    };

    FingerprintSet::FingerprintSet()
        : m_tables(std::make_unique<Table[]>(kTables))
    {
    }

    FingerprintSet::~FingerprintSet() = default;

    FingerprintSet::Table& FingerprintSet::TableOf(NameFingerprint fingerprint) const
    {
        return m_tables[fingerprint.high >> 56];
    }

    bool FingerprintSet::Insert(NameFingerprint fingerprint)
    {
        fingerprint = Storable(fingerprint);
        const bool added = TableOf(fingerprint).Insert(fingerprint);
        m_count += added ? 1 : 0;
        return added;
    }

    bool FingerprintSet::Contains(NameFingerprint fingerprint) const
    {
        fingerprint = Storable(fingerprint);
        const Table& table = TableOf(fingerprint);
        return table.size != 0 && !IsEmpty(table.slots[table.Find(fingerprint)]);
    }

    std::size_t FingerprintSet::MemoryBytes() const
    {
        std::size_t bytes = 0;
        for (std::size_t i = 0; i < kTables; ++i)
            bytes += m_tables[i].size * sizeof(NameFingerprint);
        return bytes;
    }
}
