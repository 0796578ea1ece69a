#pragma once

// What a run of the master-file layout remembers from one extractor call to
// the next: the reader's state (origin, apex, previous owner, an open
// parenthesis) and, in the name-server mode, the servers already written.
// The worker creates one for each run.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "layouts/master/master_file_reader.h"
#include "scan/large_pages.h"

namespace plexor
{
    // A set of names that only grows, for telling the first appearance of a
    // name server from its repeats. Its memory grows with the number and
    // length of the distinct names, never with how often they are added:
    // each name's bytes once in large blocks, and a table of 8-byte slots at
    // most half full.
    class DistinctNames final
    {
    public:
        DistinctNames() = default;

        // Adds the name unless it is in already; true when it was added.
        bool Insert(std::string_view name);
        std::size_t Size() const { return m_count; }

        // Insert in two steps, for a caller that has further names to look
        // at in between: Hash() gives the name's hash and asks for the slot
        // where it is looked for, so that the slot is in the cache when
        // InsertHashed(name, hash) comes a few names later.
        std::uint64_t Hash(std::string_view name) const;
        bool InsertHashed(std::string_view name, std::uint64_t hash);

    private:
        // Blocks of 2 MiB, on huge pages from the first on: a name is read
        // at random whenever its slot's tag matches, and a block on small
        // pages took 512 page faults to fill (a name-server run of 2,000,000
        // lines spent a fifth of its time in them).
        static constexpr std::size_t kBlockSize = std::size_t {2} << 20;
        static constexpr unsigned kPositionBits = 24;
        static constexpr std::size_t kLargePagesFrom = 0;
        struct Free
        {
            void operator()(char* bytes) const { std::free(bytes); }
        };
        using Block = std::unique_ptr<char[], Free>;

        std::string_view NameAt(std::uint64_t location) const;
        std::uint64_t Store(std::string_view name);
        void Grow();

        std::vector<Block> m_blocks;
        std::vector<std::size_t> m_blockFill; // bytes of names in each block
        std::size_t m_blockUsed = kBlockSize; // bytes used of the last block
        // 0 for an empty slot; otherwise the name's location + 1, shifted
        // left by 16, with 16 bits of its hash below.
        std::vector<std::uint64_t, LargePageAllocator<std::uint64_t>> m_slots;
        std::size_t m_count = 0;
    };

    // The name-server mode's servers on their way to the set within one
    // extractor call: each is hashed when its line is read and goes into the
    // set a few lines later (DistinctNames::Hash), in its order. Copies,
    // since a line's bytes do not outlast the reading of later lines.
    class PendingServers final
    {
    public:
        static constexpr std::size_t kAhead = 8;

        bool Full() const { return m_count == kAhead; }
        bool Empty() const { return m_count == 0; }
        std::size_t Size() const { return m_count; }
        void Push(std::string_view server, std::uint64_t hash)
        {
            Slot& slot = m_slots[(m_first + m_count) % kAhead];
            slot.name.assign(server);
            slot.hash = hash;
            ++m_count;
        }
        // The oldest, valid until the next Push.
        std::string_view FrontName() const { return m_slots[m_first].name; }
        std::uint64_t FrontHash() const { return m_slots[m_first].hash; }
        void Pop()
        {
            m_first = (m_first + 1) % kAhead;
            --m_count;
        }

    private:
        struct Slot
        {
            std::string name;
            std::uint64_t hash = 0;
        };
        Slot m_slots[kAhead];
        std::size_t m_first = 0;
        std::size_t m_count = 0;
    };

    struct MasterRunState
    {
        MasterFileReader reader;
        DistinctNames servers;
        PendingServers pending;
    };
}
