#pragma once

// The order of a count table's rows: most domains first, ties by name,
// bytewise. The tally's finish (server_tally.cpp) makes a key for each row
// and sorts the keys here, on both cores once the zone's reading is over.

#include <cstdint>
#include <string_view>
#include <system_error>
#include <thread>

#include "count/name_arena.h"

namespace plexor
{
    // A row's place in the table: most domains first, then by name. The
    // domains and the name's first twelve bytes make one 128-bit number,
    // compared without a branch, which settles most ties without reading
    // the names (names in a zone often share their first bytes, "ns1.").
    // 24 bytes a key.
    struct SortKey
    {
        std::uint64_t high; // ~domains, then the name's first four bytes
        std::uint64_t low;  // the name's next eight bytes
        NameArena::Ref name;

        std::uint32_t Domains() const { return ~static_cast<std::uint32_t>(high >> 32); }
    };

    SortKey MakeSortKey(std::string_view name, NameArena::Ref ref, std::uint32_t domains);

    // The keys in table order. A large table is split around the key in
    // the middle of a sample (keys that tie go to one side together) and
    // its two sides are sorted side by side on two threads.
    void SortKeys(SortKey* begin, SortKey* end, const NameArena& names);

    // Runs `here` on this thread and `there` on another beside it, or
    // after it on this one when no thread can be had; returns when both
    // are done. Neither may throw.
    template <typename Here, typename There>
    void OnBothCores(const Here& here, const There& there)
    {
        std::thread other;
        try
        {
            other = std::thread(there);
        }
        catch (const std::system_error&)
        {
            there();
        }
        here();
        if (other.joinable())
            other.join();
    }
}
