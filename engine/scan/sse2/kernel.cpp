// The SSE2 kernel: 16 bytes to a compare, for every x86-64 processor.

#include "scan/kernels.h"

#ifdef PLEXOR_HAVE_SSE2
#include <bit>
#include <cstring>

#include "scan/line_index.h"
#include "scan/record_lines.h"
#include "scan/master_lines.h"
#include "scan/generic/line_feeds.h"
#include "scan/generic/simple_ns_lines.h"
#include "scan/sse2/masks.h"

namespace plexor::scan::sse2
{
    std::size_t IndexBlocks(const char* buffer, std::size_t from, std::size_t to, std::uint32_t* out)
    {
        return generic::IndexBlocks<Masks>(buffer, from, to, out);
    }

    bool IsPlainMasterText(const char* data, std::size_t size, bool dotBefore)
    {
        if (dotBefore && size > 0 && data[0] == '.')
            return false;
        // Whole 16-byte blocks whose next byte is still in the data, without
        // a branch per block: the special bytes and the dots followed by a
        // dot gather in one register.
        const __m128i closeBit = _mm_set1_epi8(1);
        const __m128i close = _mm_set1_epi8(')'); // "(" | 1 is ")"
        const __m128i quote = _mm_set1_epi8('"');
        const __m128i escape = _mm_set1_epi8('\\');
        const __m128i comment = _mm_set1_epi8(';');
        const __m128i dot = _mm_set1_epi8('.');
        __m128i found = _mm_setzero_si128();
        std::size_t whole = 0;
        for (; whole + 16 < size; whole += 16)
        {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + whole));
            const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + whole + 1));
            const __m128i specials =
                _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(_mm_or_si128(v, closeBit), close), _mm_cmpeq_epi8(v, quote)),
                             _mm_or_si128(_mm_cmpeq_epi8(v, escape), _mm_cmpeq_epi8(v, comment)));
            found = _mm_or_si128(found, _mm_or_si128(specials, _mm_and_si128(_mm_cmpeq_epi8(v, dot),
                                                                              _mm_cmpeq_epi8(next, dot))));
        }
        if (_mm_movemask_epi8(found) != 0)
            return false;
        data += whole;
        size -= whole;
        // The rest, 32 bytes at a time (32 bytes are readable past the end).
        std::uint32_t dotBeforeBit = whole > 0 && data[-1] == '.' ? 1 : 0;
        for (std::size_t i = 0; i < size; i += 32)
        {
            const std::size_t left = size - i;
            const std::uint32_t valid = left >= 32 ? ~std::uint32_t {0} : (std::uint32_t {1} << left) - 1;
            const std::uint32_t dots = Masks::DotMask32(data + i) & valid;
            if (((Masks::SpecialMask32(data + i) & valid) | (dots & (dots >> 1)) | (dots & dotBeforeBit)) != 0)
                return false;
            dotBeforeBit = dots >> 31;
        }
        return true;
    }

    bool IndexPlainMasterText(const char* buffer, std::size_t from, std::size_t to, bool dotBefore,
                              LineEndIndex& lineEnds)
    {
        lineEnds.Add(buffer, from, to, &IndexBlocks);
        return IsPlainMasterText(buffer + from, to - from, dotBefore);
    }

    std::uint64_t ClassifyRecordLines(const char* data, std::size_t begin, const std::uint32_t* ends, std::size_t n,
                                      RecordScanState& state, std::uint8_t* prefixes)
    {
        // The line before's first bytes and prefix stay in registers.
        __m128i previousLo = _mm_load_si128(reinterpret_cast<const __m128i*>(state.previous));
        __m128i previousHi = _mm_load_si128(reinterpret_cast<const __m128i*>(state.previous + 16));
        std::size_t previousPrefix = state.prefix;
        std::uint64_t repeats = 0;
        std::size_t start = begin;
        for (std::size_t k = 0; k < n; ++k)
        {
            const std::size_t end = ends[k];
            const std::size_t length = end - start;
            const char* line = data + start;
            const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line));
            const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + 16));
            const std::uint32_t differ = ~(SameByteMask(lo, previousLo) | (SameByteMask(hi, previousHi) << 16));
            const bool repeat = detail::RepeatsPrefix(differ, length, previousPrefix);
            const std::size_t prefix = RecordPrefix(line, length, lo, hi);
            repeats |= static_cast<std::uint64_t>(repeat) << k;
            prefixes[k] = static_cast<std::uint8_t>(prefix);
            previousLo = lo;
            previousHi = hi;
            previousPrefix = prefix;
            start = end + 1;
        }
        _mm_store_si128(reinterpret_cast<__m128i*>(state.previous), previousLo);
        _mm_store_si128(reinterpret_cast<__m128i*>(state.previous + 16), previousHi);
        state.prefix = previousPrefix;
        return repeats;
    }

    void FindSimpleNsLines(const char* data, const LineEndIndex& lineEnds, SimpleNsLines& out)
    {
        generic::FindSimpleNsLines<Masks>(data, lineEnds, out);
    }
}
#endif
