#pragma once

// The SSE2 kernel's byte masks, 16 bytes to a compare: the same names and
// answers as the reference masks (reference/masks.h). Every x86-64
// processor has SSE2; 16, 32 or 64 bytes must be readable from the
// pointer, as the mask's size says.

#include "scan/byte_scan.h"

#ifdef PLEXOR_HAVE_SSE2
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace plexor::scan::sse2
{
    struct Masks
    {
        static __m128i Load16(const char* p)
        {
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        }
        static unsigned Bits16(__m128i hits)
        {
            return static_cast<unsigned>(_mm_movemask_epi8(hits));
        }
        static __m128i Equal(__m128i bytes, char c)
        {
            return _mm_cmpeq_epi8(bytes, _mm_set1_epi8(c));
        }

        static std::uint64_t LineFeedMask64(const char* p)
        {
            std::uint64_t mask = 0;
            for (int k = 0; k < 4; ++k)
                mask |= static_cast<std::uint64_t>(Bits16(Equal(Load16(p + 16 * k), '\n'))) << (16 * k);
            return mask;
        }
        static unsigned SeparatorMask16(const char* p)
        {
            const __m128i bytes = Load16(p);
            return Bits16(_mm_or_si128(_mm_or_si128(Equal(bytes, ' '), Equal(bytes, '\t')), Equal(bytes, '\r')));
        }
        static std::uint64_t SeparatorMask64(const char* p)
        {
            std::uint64_t mask = 0;
            for (int k = 0; k < 4; ++k)
                mask |= static_cast<std::uint64_t>(SeparatorMask16(p + 16 * k)) << (16 * k);
            return mask;
        }
        static unsigned SpecialMask16(const char* p)
        {
            // "(" | 1 is ")": one compare for both parentheses.
            static_assert(('(' | 1) == ')');
            const __m128i bytes = Load16(p);
            return Bits16(_mm_or_si128(
                _mm_or_si128(Equal(_mm_or_si128(bytes, _mm_set1_epi8(1)), ')'), Equal(bytes, '"')),
                _mm_or_si128(Equal(bytes, '\\'), Equal(bytes, ';'))));
        }
        static std::uint32_t SpecialMask32(const char* p)
        {
            return SpecialMask16(p) | (static_cast<std::uint32_t>(SpecialMask16(p + 16)) << 16);
        }
        static std::uint32_t DotMask32(const char* p)
        {
            return Bits16(Equal(Load16(p), '.')) | (static_cast<std::uint32_t>(Bits16(Equal(Load16(p + 16), '.'))) << 16);
        }
        static std::uint32_t EqualMask32(const char* a, const char* b)
        {
            return scan::EqualMask32(a, b);
        }
        static std::uint64_t EqualMask64(const char* a, const char* b)
        {
            return scan::EqualMask64(a, b);
        }
        static __m128i UpperHits(__m128i bytes)
        {
            return _mm_and_si128(_mm_cmpgt_epi8(bytes, _mm_set1_epi8('A' - 1)),
                                 _mm_cmplt_epi8(bytes, _mm_set1_epi8('Z' + 1)));
        }
        // Whether the first `size` bytes (at most 64) from p hold an ASCII
        // upper-case letter; 64 bytes from p are readable.
        static bool HasUpperAscii(const char* p, std::size_t size)
        {
            std::uint64_t upper = 0;
            for (int k = 0; k < 4; ++k)
                upper |= static_cast<std::uint64_t>(Bits16(UpperHits(Load16(p + 16 * k)))) << (16 * k);
            const std::uint64_t wanted = size >= 64 ? ~std::uint64_t {0} : (std::uint64_t {1} << size) - 1;
            return (upper & wanted) != 0;
        }
        // Writes the `length` bytes from `from` to `to` with ASCII letters in
        // lower case; 16 bytes from `from` are readable.
        static void CopyLower(const char* from, std::size_t length, char* to)
        {
            const auto lower16 = [](const char* at) {
                const __m128i bytes = Load16(at);
                return _mm_or_si128(bytes, _mm_and_si128(UpperHits(bytes), _mm_set1_epi8(0x20)));
            };
            if (length >= 16)
            {
                // Whole 16-byte pieces, the last one overlapping the one
                // before it.
                for (std::size_t i = 0; i + 16 < length; i += 16)
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), lower16(from + i));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(to + length - 16), lower16(from + length - 16));
            }
            else
            {
                alignas(16) char piece[16];
                _mm_store_si128(reinterpret_cast<__m128i*>(piece), lower16(from));
                std::memcpy(to, piece, length);
            }
        }
        // Position of the first byte in [p, p + size) that Mask16 marks, or
        // size. Every position has kLineProbeBytes readable bytes after it,
        // so the last block may look past size.
        template <unsigned (*Mask16)(const char*)>
        static std::size_t FindFirst(const char* p, std::size_t size)
        {
            for (std::size_t i = 0; i < size; i += 16)
            {
                if (const unsigned mask = Mask16(p + i); mask != 0)
                    return std::min(i + static_cast<std::size_t>(std::countr_zero(mask)), size);
            }
            return size;
        }
        static std::size_t FindSeparator(const char* p, std::size_t size)
        {
            return FindFirst<SeparatorMask16>(p, size);
        }
        static std::size_t FindSpecial(const char* p, std::size_t size)
        {
            return FindFirst<SpecialMask16>(p, size);
        }
        // Copies the 64 bytes from `from` to `to` (16-byte aligned), in four
        // 16-byte moves (a plain memcpy of this size may become a slow string
        // move).
        static void Copy64(const char* from, char* to)
        {
            for (int k = 0; k < 4; ++k)
                _mm_store_si128(reinterpret_cast<__m128i*>(to + 16 * k), Load16(from + 16 * k));
        }
    };
}
#endif
