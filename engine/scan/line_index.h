#pragma once

// The positions of the line feeds in a buffer of zone-file bytes, found in
// one pass 64 bytes at a time, so that the per-line work after it never
// searches for line ends again.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>

namespace plexor
{
    // Every buffer the zone line reader hands out keeps this many readable
    // bytes after its data, so that a fixed number of bytes (up to this) can
    // be loaded at once from any line's start, however short the line.
    inline constexpr std::size_t kLineProbeBytes = 64;

    namespace detail
    {
        // Each kernel's search of LineEndIndex::Add over whole 64-byte blocks
        // (IndexBlocks in scan/kernels.h) writes this many positions past the
        // last one found.
        inline constexpr std::size_t kSpareLineEndWrites = 4;
    }

    // A kernel's search of the LFs in whole 64-byte blocks (see
    // scan/kernels.h).
    using BlockIndexer = std::size_t (*)(const char* buffer, std::size_t from, std::size_t to, std::uint32_t* out);

    class LineEndIndex final
    {
    public:
        LineEndIndex() = default;
        LineEndIndex(LineEndIndex&& other) noexcept { *this = std::move(other); }
        LineEndIndex& operator=(LineEndIndex&& other) noexcept
        {
            m_positions = std::move(other.m_positions);
            m_size = std::exchange(other.m_size, 0);
            m_capacity = std::exchange(other.m_capacity, 0);
            return *this;
        }

        std::size_t size() const { return m_size; }
        bool empty() const { return m_size == 0; }
        std::uint32_t operator[](std::size_t i) const { return m_positions[i]; }
        const std::uint32_t* data() const { return m_positions.get(); }
        // Whether storage has been allocated (kept across clear()).
        bool HasStorage() const { return m_capacity > 0; }
        void clear() { m_size = 0; }

        // Appends the position of every LF in buffer[from, to), in order.
        // Positions are offsets into `buffer`, so `to` must not exceed
        // kMaxPosition.
        // The run's kernel finds them (scan/kernel.h), or `indexBlocks`.
        void Add(const char* buffer, std::size_t from, std::size_t to);
        void Add(const char* buffer, std::size_t from, std::size_t to, BlockIndexer indexBlocks);

        static constexpr std::size_t kMaxPosition = 0xFFFFFFFFu;

        // For callers that find the LFs themselves, 64 bytes at a time while
        // they look at those bytes for something else too: room for the
        // positions of `bytes` more bytes, then AppendBlock for each block,
        // in order. `lineFeeds` has bit i set where byte base + i is an LF.
        void ReserveForBytes(std::size_t bytes)
        {
            if (m_capacity - m_size < bytes + detail::kSpareLineEndWrites)
                Reserve(m_size + bytes + detail::kSpareLineEndWrites);
        }
        void AppendBlock(std::uint32_t base, std::uint64_t lineFeeds)
        {
            std::uint32_t* out = m_positions.get() + m_size;
            const auto count = static_cast<std::size_t>(std::popcount(lineFeeds));
            // The first few whether or not they are there: the usual two or
            // three LFs of a block cost no mispredicted branch.
            for (std::size_t i = 0; i < detail::kSpareLineEndWrites; ++i)
            {
                out[i] = base + static_cast<std::uint32_t>(std::countr_zero(lineFeeds | (std::uint64_t {1} << 63)));
                lineFeeds &= lineFeeds - 1;
            }
            for (std::size_t i = detail::kSpareLineEndWrites; i < count; ++i)
            {
                out[i] = base + static_cast<std::uint32_t>(std::countr_zero(lineFeeds));
                lineFeeds &= lineFeeds - 1;
            }
            m_size += count;
        }

    private:
        void Reserve(std::size_t capacity);

        // Only the part in use is ever touched, so a large capacity costs
        // address space, not memory.
        std::unique_ptr<std::uint32_t[]> m_positions;
        std::size_t m_size = 0;
        std::size_t m_capacity = 0;
    };
}
