#include "scan/line_index.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "scan/kernel.h"

namespace plexor
{
    void LineEndIndex::Reserve(std::size_t capacity)
    {
        if (capacity <= m_capacity)
            return;
        capacity = std::max(capacity, m_capacity * 2);
        // Default-initialised: pages that are never written are never
        // touched.
        std::unique_ptr<std::uint32_t[]> positions(new std::uint32_t[capacity]);
        if (m_size > 0)
            std::memcpy(positions.get(), m_positions.get(), m_size * sizeof(std::uint32_t));
        m_positions = std::move(positions);
        m_capacity = capacity;
    }

    void LineEndIndex::Add(const char* buffer, std::size_t from, std::size_t to)
    {
        Add(buffer, from, to, scan::ActiveKernel().indexBlocks);
    }

    void LineEndIndex::Add(const char* buffer, std::size_t from, std::size_t to, BlockIndexer indexBlocks)
    {
        if (from >= to)
            return;
        std::size_t at = from;
        // Whole 64-byte blocks, a slice at a time, with room for an LF in
        // every byte of the slice and the spare writes.
        constexpr std::size_t kSlice = 64 * 1024;
        const std::size_t blocksEnd = from + (to - from) / 64 * 64;
        while (at < blocksEnd)
        {
            const std::size_t sliceEnd = std::min(blocksEnd, at + kSlice);
            if (m_capacity - m_size < sliceEnd - at + detail::kSpareLineEndWrites)
                Reserve(m_size + sliceEnd - at + detail::kSpareLineEndWrites);
            m_size += indexBlocks(buffer, at, sliceEnd, m_positions.get() + m_size);
            at = sliceEnd;
        }
        for (;;)
        {
            const void* found = at < to ? std::memchr(buffer + at, '\n', to - at) : nullptr;
            if (found == nullptr)
                break;
            if (m_size == m_capacity)
                Reserve(m_size + 64);
            const auto position = static_cast<std::size_t>(static_cast<const char*>(found) - buffer);
            m_positions[m_size++] = static_cast<std::uint32_t>(position);
            at = position + 1;
        }
    }
}
