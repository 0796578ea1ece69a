#include "compare/name_fingerprints.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <random>
#include <vector>

#if defined(_MSC_VER)
#include <intrin.h>
#endif

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

        // Where among `size` slots a 64-bit value falls, without a division:
        // the high half of value * size.
        std::size_t ScaleToSize(std::uint64_t value, std::size_t size)
        {
#if defined(_MSC_VER)
            return static_cast<std::size_t>(__umulh(value, size));
#else
            return static_cast<std::size_t>((static_cast<unsigned __int128>(value) * size) >> 64);
#endif
        }

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

        std::size_t Home(const NameFingerprint& fingerprint) const { return ScaleToSize(fingerprint.low, size); }

        // The slot that holds the fingerprint, or the empty slot where it
        // belongs.
        std::size_t Find(const NameFingerprint& fingerprint) const
        {
            std::size_t i = Home(fingerprint);
            while (!IsEmpty(slots[i]) && slots[i] != fingerprint)
                i = i + 1 == size ? 0 : i + 1;
            return i;
        }

        void Rehash(std::size_t newSize)
        {
            std::unique_ptr<NameFingerprint[]> old = std::move(slots);
            const std::size_t oldSize = size;
            size = newSize;
            slots = std::make_unique<NameFingerprint[]>(size);
            for (std::size_t i = 0; i < oldSize; ++i)
            {
                if (!IsEmpty(old[i]))
                    slots[Find(old[i])] = old[i];
            }
        }

        // Adds the fingerprint to a table with room for it.
        bool Put(const NameFingerprint& fingerprint)
        {
            const std::size_t i = Find(fingerprint);
            if (!IsEmpty(slots[i]))
                return false;
            slots[i] = fingerprint;
            ++count;
            return true;
        }

        bool Insert(const NameFingerprint& fingerprint)
        {
            // At most 80 % full, so that a miss finds an empty slot soon.
            if ((count + 1) * 5 > size * 4)
                Rehash(size == 0 ? kFirstSize : size + size / 2);
            return Put(fingerprint);
        }
    };

    // The fingerprints of one top byte collected for the next Freeze, in
    // blocks small enough to come from the heap (where the tables that
    // replace them can reuse their memory) that grow with their number, so
    // the last block's unused part stays below a quarter of them.
    struct FingerprintSet::Pending
    {
        static constexpr std::size_t kLargestBlock = 2048;

        std::vector<std::unique_ptr<NameFingerprint[]>> blocks;
        std::vector<std::size_t> blockSizes;
        std::size_t lastUsed = 0;
        std::size_t count = 0;

        void Add(const NameFingerprint& fingerprint)
        {
            if (blocks.empty() || lastUsed == blockSizes.back())
            {
                const std::size_t size = std::clamp<std::size_t>(count / 4, 64, kLargestBlock);
                blocks.push_back(std::make_unique_for_overwrite<NameFingerprint[]>(size));
                blockSizes.push_back(size);
                lastUsed = 0;
            }
            blocks.back()[lastUsed++] = fingerprint;
            ++count;
        }

        template <typename Visit>
        void ForEach(Visit&& visit) const
        {
            for (std::size_t block = 0; block < blocks.size(); ++block)
            {
                const std::size_t used = block + 1 == blocks.size() ? lastUsed : blockSizes[block];
                for (std::size_t i = 0; i < used; ++i)
                    visit(blocks[block][i]);
            }
        }

        std::size_t Bytes() const
        {
            std::size_t bytes = 0;
            for (const std::size_t size : blockSizes)
                bytes += size * sizeof(NameFingerprint);
            return bytes;
        }

        void Clear()
        {
            blocks.clear();
            blockSizes.clear();
            lastUsed = count = 0;
        }
    };

    FingerprintSet::FingerprintSet()
        : m_tables(std::size_t {1} << kCollectBits)
        , m_pending(std::make_unique<Pending[]>(std::size_t {1} << kCollectBits))
    {
    }

    FingerprintSet::~FingerprintSet() = default;

    FingerprintSet::Table& FingerprintSet::TableOf(NameFingerprint fingerprint) const
    {
        return const_cast<Table&>(m_tables[fingerprint.high >> (64 - m_tableBits)]);
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

    void FingerprintSet::Prefetch(NameFingerprint fingerprint) const
    {
#if defined(__GNUC__) || defined(__clang__)
        const Table& table = TableOf(fingerprint);
        if (table.size != 0)
            __builtin_prefetch(&table.slots[table.Home(fingerprint)]);
#else
        static_cast<void>(fingerprint);
#endif
    }

    void FingerprintSet::CollectAll(std::span<const NameFingerprint> fingerprints)
    {
        for (const NameFingerprint& fingerprint : fingerprints)
        {
            const NameFingerprint storable = Storable(fingerprint);
            m_pending[storable.high >> (64 - kCollectBits)].Add(storable);
        }
    }

    // Splits each top byte's part of the set into as many tables as keep
    // each at about kTableNames names, then moves the collected fingerprints
    // in, one top byte at a time, freeing its blocks as soon as they are in.
    void FingerprintSet::Freeze()
    {
        constexpr std::size_t kCollectParts = std::size_t {1} << kCollectBits;
        std::size_t most = 0;
        for (std::size_t part = 0; part < kCollectParts; ++part)
            most = std::max(most, m_pending[part].count);
        unsigned bits = kCollectBits;
        while ((most >> (bits - kCollectBits)) > kTableNames && bits < 40)
            ++bits;
        if (bits > m_tableBits)
        {
            // The fingerprints already in tables join the collected ones.
            for (Table& table : m_tables)
            {
                for (std::size_t i = 0; i < table.size; ++i)
                {
                    if (!IsEmpty(table.slots[i]))
                        m_pending[table.slots[i].high >> (64 - kCollectBits)].Add(table.slots[i]);
                }
                table = Table {};
            }
            m_tables = std::vector<Table>(std::size_t {1} << bits);
            m_tableBits = bits;
            m_count = 0;
        }
        const std::size_t tablesPerPart = std::size_t {1} << (m_tableBits - kCollectBits);
        std::vector<std::size_t> counts(tablesPerPart);
        for (std::size_t part = 0; part < kCollectParts; ++part)
        {
            Pending& pending = m_pending[part];
            if (pending.count == 0)
                continue;
            std::fill(counts.begin(), counts.end(), 0);
            const std::size_t first = part * tablesPerPart;
            pending.ForEach([&](const NameFingerprint& fingerprint) {
                ++counts[(fingerprint.high >> (64 - m_tableBits)) - first];
            });
            for (std::size_t t = 0; t < tablesPerPart; ++t)
            {
                Table& table = m_tables[first + t];
                if (counts[t] > 0)
                    table.Rehash(std::max(Table::kFirstSize, (table.count + counts[t]) * 4 / 3 + 1));
            }
            pending.ForEach([&](const NameFingerprint& fingerprint) { m_count += TableOf(fingerprint).Put(fingerprint) ? 1 : 0; });
            pending.Clear();
        }
    }

    void FingerprintSet::ContainsAll(std::span<const NameFingerprint> fingerprints, std::span<bool> found) const
    {
        // A few lookups ahead: enough reads in flight to hide their time,
        // few enough that the fetched slots are still there when needed.
        constexpr std::size_t kAhead = 16;
        const std::size_t count = fingerprints.size();
        for (std::size_t i = 0; i < std::min(kAhead, count); ++i)
            Prefetch(fingerprints[i]);
        for (std::size_t i = 0; i < count; ++i)
        {
            if (i + kAhead < count)
                Prefetch(fingerprints[i + kAhead]);
            found[i] = Contains(fingerprints[i]);
        }
    }

    std::size_t FingerprintSet::MemoryBytes() const
    {
        std::size_t bytes = 0;
        for (const Table& table : m_tables)
            bytes += table.size * sizeof(NameFingerprint);
        for (std::size_t part = 0; part < (std::size_t {1} << kCollectBits); ++part)
            bytes += m_pending[part].Bytes();
        return bytes;
    }
}
