#pragma once

// What a run of the master-file layout remembers from one extractor call to
// the next: the reader's state (origin, apex, previous owner, an open
// parenthesis) and, in the name-server mode, the servers already written.
// The worker creates one for each run.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "layouts/master/master_file_reader.h"

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

    private:
        static constexpr std::size_t kBlockSize = std::size_t {1} << 20;
        static constexpr unsigned kPositionBits = 24;

        std::string_view NameAt(std::uint64_t location) const;
        std::uint64_t Store(std::string_view name);
        void Grow();

        std::vector<std::unique_ptr<char[]>> m_blocks;
        std::vector<std::size_t> m_blockFill; // bytes of names in each block
        std::size_t m_blockUsed = kBlockSize; // bytes used of the last block
        // 0 for an empty slot; otherwise the name's location + 1, shifted
        // left by 16, with 16 bits of its hash below.
        std::vector<std::uint64_t> m_slots;
        std::size_t m_count = 0;
    };

    struct MasterRunState
    {
        MasterFileReader reader;
        DistinctNames servers;
    };
}
