#include "line_index.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "byte_scan.h"

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
        if (from >= to)
            return;
        // Room for every LF a block can hold.
        constexpr std::size_t kBlockRoom = 64;
        if (m_capacity - m_size < kBlockRoom)
            Reserve(m_size + std::max<std::size_t>(kBlockRoom, (to - from) / 16));
        std::size_t at = from;
#ifdef PLEXOR_HAVE_SSE2
        const __m128i lf = _mm_set1_epi8('\n');
        const auto maskOf = [&](std::size_t i) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(buffer + i));
            return static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lf))));
        };
        for (; at + 64 <= to; at += 64)
        {
            if (m_capacity - m_size < kBlockRoom)
                Reserve(m_size + kBlockRoom + (to - at) / 16);
            std::uint64_t bits =
                maskOf(at) | (maskOf(at + 16) << 16) | (maskOf(at + 32) << 32) | (maskOf(at + 48) << 48);
            std::uint32_t* out = m_positions.get() + m_size;
            const auto base = static_cast<std::uint32_t>(at);
            while (bits != 0)
            {
                *out++ = base + static_cast<std::uint32_t>(std::countr_zero(bits));
                bits &= bits - 1;
            }
            m_size = static_cast<std::size_t>(out - m_positions.get());
        }
#endif
        for (;;)
        {
            const void* found = at < to ? std::memchr(buffer + at, '\n', to - at) : nullptr;
            if (found == nullptr)
                break;
            if (m_size == m_capacity)
                Reserve(m_size + kBlockRoom);
            const auto position = static_cast<std::size_t>(static_cast<const char*>(found) - buffer);
            m_positions[m_size++] = static_cast<std::uint32_t>(position);
            at = position + 1;
        }
    }
}
