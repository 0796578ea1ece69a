#include "input/line_index.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "scan/byte_scan.h"

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

    namespace
    {
        // Bit i set where byte i of the 64 bytes at `at` is an LF.
        inline std::uint64_t LineFeedMask(const char* at)
        {
            std::uint64_t mask = 0;
#ifdef PLEXOR_HAVE_SSE2
            const __m128i lf = _mm_set1_epi8('\n');
            for (int i = 0; i < 4; ++i)
            {
                const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 16 * i));
                mask |= static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lf))))
                    << (16 * i);
            }
#else
            for (int i = 0; i < 64; ++i)
                mask |= static_cast<std::uint64_t>(at[i] == '\n') << i;
#endif
            return mask;
        }

        constexpr std::size_t kSpareWrites = detail::kSpareLineEndWrites;
    }

    namespace detail
    {
        std::size_t IndexBlocks(const char* buffer, std::size_t from, std::size_t to, std::uint32_t* out)
        {
            std::uint32_t* const first = out;
            for (std::size_t at = from; at + 64 <= to; at += 64)
            {
                std::uint64_t bits = LineFeedMask(buffer + at);
                const auto base = static_cast<std::uint32_t>(at);
                while (bits != 0)
                {
                    *out++ = base + static_cast<std::uint32_t>(std::countr_zero(bits));
                    bits &= bits - 1;
                }
            }
            return static_cast<std::size_t>(out - first);
        }

#ifdef PLEXOR_HAVE_POPCNT_VARIANT
        // The first few positions of a block are written whether or not they
        // are there, so the usual two or three LFs of a block cost no
        // mispredicted branch.
        __attribute__((target("popcnt,bmi"))) std::size_t IndexBlocksPopcnt(const char* buffer, std::size_t from,
                                                                            std::size_t to, std::uint32_t* out)
        {
            std::uint32_t* const first = out;
            for (std::size_t at = from; at + 64 <= to; at += 64)
            {
                std::uint64_t bits = LineFeedMask(buffer + at);
                const auto base = static_cast<std::uint32_t>(at);
                const auto count = static_cast<std::size_t>(__builtin_popcountll(bits));
                for (std::size_t i = 0; i < kSpareWrites; ++i)
                {
                    out[i] = base + static_cast<std::uint32_t>(__builtin_ctzll(bits | (std::uint64_t {1} << 63)));
                    bits &= bits - 1;
                }
                for (std::size_t i = kSpareWrites; i < count; ++i)
                {
                    out[i] = base + static_cast<std::uint32_t>(__builtin_ctzll(bits));
                    bits &= bits - 1;
                }
                out += count;
            }
            return static_cast<std::size_t>(out - first);
        }
#endif

        bool HasPopcntVariant()
        {
#ifdef PLEXOR_HAVE_POPCNT_VARIANT
            __builtin_cpu_init();
            return __builtin_cpu_supports("popcnt") && __builtin_cpu_supports("bmi");
#else
            return false;
#endif
        }
    }

    namespace
    {
        using BlockIndexer = std::size_t (*)(const char*, std::size_t, std::size_t, std::uint32_t*);

        BlockIndexer ChooseBlockIndexer()
        {
#ifdef PLEXOR_HAVE_POPCNT_VARIANT
            if (detail::HasPopcntVariant())
                return &detail::IndexBlocksPopcnt;
#endif
            return &detail::IndexBlocks;
        }

        const BlockIndexer g_indexBlocks = ChooseBlockIndexer();
    }

    void LineEndIndex::Add(const char* buffer, std::size_t from, std::size_t to)
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
            if (m_capacity - m_size < sliceEnd - at + kSpareWrites)
                Reserve(m_size + sliceEnd - at + kSpareWrites);
            m_size += g_indexBlocks(buffer, at, sliceEnd, m_positions.get() + m_size);
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
