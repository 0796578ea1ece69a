#include "count/row_order.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>
#include <vector>

#include "scan/prefetch.h"

namespace plexor
{
    namespace
    {
        using scan::Prefetch;

        // Bytes `from` to `from + 8` of the name as a number that orders as
        // they do, zeros past the end.
        std::uint64_t NamePrefix(std::string_view name, std::size_t from)
        {
            unsigned char bytes[8] = {};
            if (from < name.size())
                std::memcpy(bytes, name.data() + from, std::min<std::size_t>(8, name.size() - from));
            std::uint64_t prefix = 0;
            for (const unsigned char b : bytes)
                prefix = (prefix << 8) | b;
            return prefix;
        }

        bool Before(const SortKey& a, const SortKey& b)
        {
            return (a.high < b.high) | ((a.high == b.high) & (a.low < b.low));
        }

        bool SameKey(const SortKey& a, const SortKey& b)
        {
            return a.high == b.high && a.low == b.low;
        }

        // Byte `b` (0 to 15) of a key's (high, low), from the top: keys in
        // this order of bytes are in the order of Before.
        unsigned KeyByte(const SortKey& key, unsigned b)
        {
            const std::uint64_t word = b < 8 ? key.high : key.low;
            return static_cast<unsigned>(word >> (56 - 8 * (b % 8))) & 0xFF;
        }

        // The first byte (0 to 15) where keys of [begin, end) differ, or 16
        // when they are alike.
        unsigned FirstDifferingByte(const SortKey* begin, const SortKey* end)
        {
            std::uint64_t allHigh = ~std::uint64_t {0}, anyHigh = 0, allLow = ~std::uint64_t {0}, anyLow = 0;
            for (const SortKey* k = begin; k != end; ++k)
            {
                allHigh &= k->high;
                anyHigh |= k->high;
                allLow &= k->low;
                anyLow |= k->low;
            }
            const std::uint64_t high = allHigh ^ anyHigh;
            const std::uint64_t low = allLow ^ anyLow;
            if (high != 0)
                return static_cast<unsigned>(std::countl_zero(high)) / 8;
            if (low != 0)
                return 8 + static_cast<unsigned>(std::countl_zero(low)) / 8;
            return 16;
        }

        // Sorts [begin, end) on Before, a byte at a time from the top, in
        // place (American flag sort): a count of the keys per byte value,
        // then each key swapped into its value's place, then each value's
        // keys on the next byte. It compares no two keys, so it takes no
        // branch that guesses wrong half the time as a comparison sort does
        // on keys like these. Each range is sorted on the first byte where
        // its keys differ, found in one pass before the count: bytes that
        // all of them share (the top bytes of the domains, a common "ns1.")
        // take no count of their own. Few keys go to std::sort.
        void RadixSort(SortKey* begin, SortKey* end)
        {
            constexpr std::ptrdiff_t kFew = 64;
            if (end - begin <= kFew)
            {
                std::sort(begin, end, Before);
                return;
            }
            const unsigned b = FirstDifferingByte(begin, end);
            if (b >= 16)
                return; // all keys alike
            std::size_t count[256] = {};
            for (const SortKey* k = begin; k != end; ++k)
                ++count[KeyByte(*k, b)];
            SortKey* next[256]; // where the next key of each value goes
            SortKey* last[256]; // the end of each value's place
            SortKey* at = begin;
            for (unsigned v = 0; v < 256; ++v)
            {
                next[v] = at;
                at += count[v];
                last[v] = at;
            }
            for (unsigned v = 0; v < 256; ++v)
            {
                while (next[v] != last[v])
                {
                    SortKey key = *next[v];
                    for (unsigned to = KeyByte(key, b); to != v; to = KeyByte(key, b))
                        std::swap(key, *next[to]++);
                    *next[v]++ = key;
                }
            }
            at = begin;
            for (unsigned v = 0; v < 256; ++v)
            {
                if (count[v] > 1)
                    RadixSort(at, at + count[v]);
                at += count[v];
            }
        }

        // Gives keys that tie the next twelve bytes of their names, from
        // byte `from` on, in place of those they have (their domains stay);
        // the length of the longest name.
        std::size_t Rekey(SortKey* begin, SortKey* end, const NameArena& names, std::size_t from)
        {
            constexpr std::ptrdiff_t kAhead = 16;
            std::size_t longest = 0;
            for (SortKey* k = begin; k != end; ++k)
            {
                if (end - k > kAhead)
                    Prefetch(names.Get(k[kAhead].name).data() + from);
                const std::string_view name = names.Get(k->name);
                longest = std::max(longest, name.size());
                const std::uint64_t first = NamePrefix(name, from);
                const std::uint64_t next = NamePrefix(name, from + 8) >> 32;
                k->high = (k->high & 0xFFFFFFFF00000000ull) | (first >> 32);
                k->low = (first << 32) | next;
            }
            return longest;
        }

        // Sorts [begin, end) on the keys, then each run of keys that tie
        // there: a long one again a byte at a time on the next twelve bytes
        // of its names (a zone's names often share their first dozen bytes:
        // "ns1.example-"), a short one, or one of names that share more
        // than their first few hundred bytes, by comparing the whole names.
        // A run's names are read while they are in the cache, and the names
        // of the keys a few dozen places on that tie with a neighbour are
        // asked for meanwhile.
        void SortRange(SortKey* begin, SortKey* end, const NameArena& names, std::size_t from = 0)
        {
            constexpr std::ptrdiff_t kFew = 64;
            constexpr std::size_t kRekeyedBytes = 256;
            RadixSort(begin, end);
            const auto ties = [&](const SortKey* k) {
                return (k > begin && SameKey(k[-1], *k)) || (k + 1 < end && SameKey(*k, k[1]));
            };
            constexpr std::ptrdiff_t kAhead = 64;
            const SortKey* asked = begin;
            for (SortKey* run = begin; run != end;)
            {
                for (; asked != end && asked - run < kAhead; ++asked)
                {
                    if (ties(asked))
                        Prefetch(names.Get(asked->name).data() + from);
                }
                SortKey* last = run + 1;
                while (last != end && SameKey(*run, *last))
                    ++last;
                const std::size_t next = from + 12;
                if (last - run > kFew && next < kRekeyedBytes && Rekey(run, last, names, next) > next)
                    SortRange(run, last, names, next);
                else if (last - run > 1)
                    std::sort(run, last, [&names](const SortKey& a, const SortKey& b) { return names.Get(a.name) < names.Get(b.name); });
                run = last;
                asked = std::max<const SortKey*>(asked, run);
            }
        }
    }

    SortKey MakeSortKey(std::string_view name, NameArena::Ref ref, std::uint32_t domains)
    {
        const std::uint64_t first = NamePrefix(name, 0);
        const std::uint64_t next = NamePrefix(name, 8) >> 32;
        return {(std::uint64_t {~domains} << 32) | (first >> 32), (first << 32) | next, ref};
    }

    void SortKeys(SortKey* const begin, SortKey* const end, const NameArena& names)
    {
        constexpr std::size_t kSplitFrom = 1u << 16;
        constexpr std::size_t kSample = 1024;
        const auto size = static_cast<std::size_t>(end - begin);
        if (size < kSplitFrom)
            return SortRange(begin, end, names);
        std::vector<SortKey> sample;
        sample.reserve(kSample);
        for (std::size_t i = 0; i < kSample; ++i)
            sample.push_back(begin[i * (size / kSample)]);
        std::nth_element(sample.begin(), sample.begin() + kSample / 2, sample.end(), Before);
        const SortKey pivot = sample[kSample / 2];
        SortKey* const middle = std::partition(begin, end, [&pivot](const SortKey& k) { return Before(k, pivot); });
        OnBothCores([=, &names] { SortRange(begin, middle, names); }, [=, &names] { SortRange(middle, end, names); });
    }
}
