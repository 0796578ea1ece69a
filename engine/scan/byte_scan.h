#pragma once

// Small inline byte searches for the per-line hot path. Zone lines are short
// (a few dozen bytes), where the set-up of a library call costs more than the
// search itself; these look at 16 bytes at a time with SSE2 where the
// processor has it and fall back to the library otherwise.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

// PLEXOR_PLAIN_CODE_ONLY (a CMake option) builds the plain code alone, as
// for a processor without SSE2.
#if !defined(PLEXOR_PLAIN_CODE_ONLY) && (defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2))
#include <emmintrin.h>
#define PLEXOR_HAVE_SSE2 1
#endif

namespace plexor::scan
{
    // Bytes [a, a + n) equal [b, b + n), compared in overlapping words.
    inline bool BytesEqual(const char* a, const char* b, std::size_t n)
    {
        const auto load64 = [](const char* p) {
            std::uint64_t v;
            std::memcpy(&v, p, 8);
            return v;
        };
        const auto load32 = [](const char* p) {
            std::uint32_t v;
            std::memcpy(&v, p, 4);
            return v;
        };
        if (n >= 8)
        {
            for (std::size_t i = 0; i + 8 < n; i += 8)
            {
                if (load64(a + i) != load64(b + i))
                    return false;
            }
            return load64(a + n - 8) == load64(b + n - 8);
        }
        if (n >= 4)
            return load32(a) == load32(b) && load32(a + n - 4) == load32(b + n - 4);
        for (std::size_t i = 0; i < n; ++i)
        {
            if (a[i] != b[i])
                return false;
        }
        return true;
    }

#ifdef PLEXOR_HAVE_SSE2
    // Bit i set where byte i of the 32 bytes from a equals byte i of the 32
    // bytes from b.
    inline std::uint32_t EqualMask32(const char* a, const char* b)
    {
        const auto half = [&](int k) {
            return static_cast<std::uint32_t>(static_cast<unsigned>(
                _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 16 * k)),
                                                 _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 16 * k))))));
        };
        return half(0) | (half(1) << 16);
    }

    // The same for 64 bytes.
    inline std::uint64_t EqualMask64(const char* a, const char* b)
    {
        return EqualMask32(a, b) | (static_cast<std::uint64_t>(EqualMask32(a + 32, b + 32)) << 32);
    }
#endif

    // Position of the first occurrence of the four bytes " NS " (or any
    // other four-byte key) in [data, data + size), or size.
    inline std::size_t FindKey4(const char* data, std::size_t size, const char (&key)[5])
    {
        if (size < 4)
            return size;
        const std::size_t last = size - 4;
        std::uint32_t wanted;
        std::memcpy(&wanted, key, 4);
        const auto matchesAt = [&](std::size_t at) {
            std::uint32_t v;
            std::memcpy(&v, data + at, 4);
            return v == wanted;
        };
        std::size_t i = 0;
#ifdef PLEXOR_HAVE_SSE2
        const __m128i first = _mm_set1_epi8(key[0]);
        for (; i + 16 <= size; i += 16)
        {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
            unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, first)));
            while (mask != 0)
            {
                const std::size_t at = i + static_cast<std::size_t>(std::countr_zero(mask));
                if (at > last)
                    return size;
                if (matchesAt(at))
                    return at;
                mask &= mask - 1;
            }
        }
#endif
        for (; i <= last; ++i)
        {
            if (data[i] == key[0] && matchesAt(i))
                return i;
        }
        return size;
    }
}
