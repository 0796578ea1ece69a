// The AVX2 kernel: 32 bytes to a compare, with BMI1, BMI2 and POPCNT.
// Each function carries the target attribute itself (no file-wide -mavx2):
// code from shared headers compiled here must stay runnable on processors
// without AVX2 wherever the linker picks it. Routines without a 32-byte
// build (the plain-text test) are the SSE2 kernel's.

#include "scan/kernels.h"

#ifdef PLEXOR_HAVE_AVX2_KERNEL
#include <immintrin.h>

#include <bit>
#include <cstring>

#include "scan/line_index.h"
#include "scan/record_lines.h"
#include "scan/master_lines.h"
#include "scan/generic/simple_ns_lines.h"
#include "scan/sse2/masks.h"

#define PLEXOR_AVX2_TARGET __attribute__((target("avx2,bmi,bmi2,popcnt")))

namespace plexor::scan::avx2
{
    // The first few positions of a block are written whether or not they
    // are there, so the usual two or three LFs of a block cost no
    // mispredicted branch.
    PLEXOR_AVX2_TARGET std::size_t IndexBlocks(const char* buffer, std::size_t from, std::size_t to,
                                               std::uint32_t* out)
    {
        constexpr std::size_t kSpareWrites = detail::kSpareLineEndWrites;
        std::uint32_t* const first = out;
        for (std::size_t at = from; at + 64 <= to; at += 64)
        {
            std::uint64_t bits = sse2::Masks::LineFeedMask64(buffer + at);
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

    bool IsPlainMasterText(const char* data, std::size_t size, bool dotBefore)
    {
        return sse2::IsPlainMasterText(data, size, dotBefore);
    }

    PLEXOR_AVX2_TARGET bool IndexPlainMasterText(const char* buffer, std::size_t from, std::size_t to, bool dotBefore,
                                                 LineEndIndex& lineEnds)
    {
        // Both searches in one pass over whole 64-byte blocks whose next byte
        // is still in the data; the rest of the bytes go to the single ones.
        const __m256i lineFeed = _mm256_set1_epi8('\n');
        const __m256i closeBit = _mm256_set1_epi8(1);
        const __m256i close = _mm256_set1_epi8(')'); // "(" | 1 is ")"
        const __m256i quote = _mm256_set1_epi8('"');
        const __m256i escape = _mm256_set1_epi8('\\');
        const __m256i comment = _mm256_set1_epi8(';');
        const __m256i dot = _mm256_set1_epi8('.');
        __m256i found = _mm256_setzero_si256();
        lineEnds.ReserveForBytes(to - from);
        std::size_t at = from;
        for (; at + 64 < to; at += 64)
        {
            const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(buffer + at));
            const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(buffer + at + 32));
            const __m256i nextLow = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(buffer + at + 1));
            const __m256i nextHigh = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(buffer + at + 33));
            // (No lambda for the two halves: it would not have this
            // function's target.)
            found = _mm256_or_si256(
                found,
                _mm256_or_si256(
                    _mm256_or_si256(_mm256_cmpeq_epi8(_mm256_or_si256(low, closeBit), close),
                                    _mm256_cmpeq_epi8(_mm256_or_si256(high, closeBit), close)),
                    _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(low, quote), _mm256_cmpeq_epi8(high, quote)),
                                    _mm256_or_si256(_mm256_cmpeq_epi8(low, escape), _mm256_cmpeq_epi8(high, escape)))));
            found = _mm256_or_si256(
                found,
                _mm256_or_si256(
                    _mm256_or_si256(_mm256_cmpeq_epi8(low, comment), _mm256_cmpeq_epi8(high, comment)),
                    _mm256_or_si256(_mm256_and_si256(_mm256_cmpeq_epi8(low, dot), _mm256_cmpeq_epi8(nextLow, dot)),
                                    _mm256_and_si256(_mm256_cmpeq_epi8(high, dot), _mm256_cmpeq_epi8(nextHigh, dot)))));
            const auto lowLineFeeds = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(low, lineFeed)));
            const auto highLineFeeds =
                static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(high, lineFeed)));
            const std::uint64_t lineFeeds = lowLineFeeds | (static_cast<std::uint64_t>(highLineFeeds) << 32);
            lineEnds.AppendBlock(static_cast<std::uint32_t>(at), lineFeeds);
        }
        const bool plain = _mm256_movemask_epi8(found) == 0 && !(dotBefore && from < to && buffer[from] == '.');
        // SSE code after this must not run with the upper halves of the AVX
        // registers in use.
        _mm256_zeroupper();
        lineEnds.Add(buffer, at, to, &IndexBlocks);
        return plain && sse2::IsPlainMasterText(buffer + at, to - at, at > from ? buffer[at - 1] == '.' : dotBefore);
    }

    // ClassifyRecordLines with one 32-byte compare where SSE2 needs two.
    PLEXOR_AVX2_TARGET std::uint64_t ClassifyRecordLines(const char* data, std::size_t begin, const std::uint32_t* ends,
                                                         std::size_t n, RecordScanState& state, std::uint8_t* prefixes)
    {
        static_assert(kRecordProbeBytes == 32);
        __m256i previous = _mm256_load_si256(reinterpret_cast<const __m256i*>(state.previous));
        std::size_t previousPrefix = state.prefix;
        const __m256i blank = _mm256_set1_epi8(' ');
        std::uint64_t repeats = 0;
        std::size_t start = begin;
        for (std::size_t k = 0; k < n; ++k)
        {
            const std::size_t end = ends[k];
            const std::size_t length = end - start;
            const char* line = data + start;
            const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(line));
            const std::uint32_t differ =
                ~static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(bytes, previous)));
            const bool repeat = detail::RepeatsPrefix(differ, length, previousPrefix);
            const auto blanks = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(bytes, blank)));
            const std::size_t prefix =
                detail::RecordPrefixAt(line, length, static_cast<std::size_t>(std::countr_zero(blanks)));
            repeats |= static_cast<std::uint64_t>(repeat) << k;
            prefixes[k] = static_cast<std::uint8_t>(prefix);
            previous = bytes;
            previousPrefix = prefix;
            start = end + 1;
        }
        _mm256_store_si256(reinterpret_cast<__m256i*>(state.previous), previous);
        state.prefix = previousPrefix;
        return repeats;
    }

    // The generic search compiled with this kernel's instructions (VEX
    // encodings, BMI) over the SSE2 masks.
    PLEXOR_AVX2_TARGET void FindSimpleNsLines(const char* data, const LineEndIndex& lineEnds, SimpleNsLines& out)
    {
        generic::FindSimpleNsLines<sse2::Masks>(data, lineEnds, out);
    }
}
#endif
