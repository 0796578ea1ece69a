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

    // The n bytes at p (n below 8) as memcpy into a zeroed word places them,
    // read in at most two overlapping loads of fixed size: the bytes of a
    // copy of variable length into a word cannot be forwarded to a load of
    // the whole word right after it, which then waits for the copy to
    // retire.
    inline std::uint64_t LoadTail(const char* p, std::size_t n)
    {
        if constexpr (std::endian::native != std::endian::little)
        {
            std::uint64_t word = 0;
            std::memcpy(&word, p, n);
            return word;
        }
        else
        {
            if (n >= 4)
            {
                std::uint32_t low, high;
                std::memcpy(&low, p, 4);
                std::memcpy(&high, p + n - 4, 4);
                return low | (std::uint64_t {high} << (8 * (n - 4)));
            }
            if (n >= 2)
            {
                std::uint16_t low, high;
                std::memcpy(&low, p, 2);
                std::memcpy(&high, p + n - 2, 2);
                return low | (std::uint64_t {high} << (8 * (n - 2)));
            }
            return n == 1 ? static_cast<unsigned char>(*p) : 0;
        }
    }

    // The n low bytes of a word (n below 8) stored at p, as memcpy from the
    // word would store them, in at most two overlapping stores.
    inline void StoreTail(char* p, std::uint64_t word, std::size_t n)
    {
        if constexpr (std::endian::native != std::endian::little)
            std::memcpy(p, &word, n);
        else
        {
            if (n >= 4)
            {
                const auto low = static_cast<std::uint32_t>(word);
                const auto high = static_cast<std::uint32_t>(word >> (8 * (n - 4)));
                std::memcpy(p + n - 4, &high, 4);
                std::memcpy(p, &low, 4);
            }
            else if (n >= 2)
            {
                const auto low = static_cast<std::uint16_t>(word);
                const auto high = static_cast<std::uint16_t>(word >> (8 * (n - 2)));
                std::memcpy(p + n - 2, &high, 2);
                std::memcpy(p, &low, 2);
            }
            else if (n == 1)
                *p = static_cast<char>(word);
        }
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
