#include "layouts/gtld/record_label.h"

#ifdef PLEXOR_HAVE_SSE2
#ifdef PLEXOR_HAVE_AVX2_VARIANT
#include <immintrin.h>
#endif

namespace plexor
{
    namespace detail
    {
        std::uint64_t ClassifyRecordLinesSse2(const char* data, std::size_t begin, const std::uint32_t* ends,
                                              std::size_t n, RecordScanState& state, std::uint8_t* prefixes)
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
                const bool repeat = RepeatsPrefix(differ, length, previousPrefix);
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

#ifdef PLEXOR_HAVE_AVX2_VARIANT
        // The same with one 32-byte compare where SSE2 needs two.
        __attribute__((target("avx2,bmi"))) std::uint64_t ClassifyRecordLinesAvx2(const char* data, std::size_t begin,
                                                                                const std::uint32_t* ends,
                                                                                std::size_t n, RecordScanState& state,
                                                                                std::uint8_t* prefixes)
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
                const bool repeat = RepeatsPrefix(differ, length, previousPrefix);
                const auto blanks = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(bytes, blank)));
                const std::size_t prefix =
                    RecordPrefixAt(line, length, static_cast<std::size_t>(std::countr_zero(blanks)));
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
#endif

        bool HasAvx2Variant()
        {
#ifdef PLEXOR_HAVE_AVX2_VARIANT
            __builtin_cpu_init();
            return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi");
#else
            return false;
#endif
        }
    }

    namespace
    {
        using LineClassifier = std::uint64_t (*)(const char*, std::size_t, const std::uint32_t*, std::size_t,
                                                 RecordScanState&, std::uint8_t*);

        LineClassifier ChooseLineClassifier()
        {
#ifdef PLEXOR_HAVE_AVX2_VARIANT
            if (detail::HasAvx2Variant())
                return &detail::ClassifyRecordLinesAvx2;
#endif
            return &detail::ClassifyRecordLinesSse2;
        }

        const LineClassifier g_classifyRecordLines = ChooseLineClassifier();
    }

    std::uint64_t ClassifyRecordLines(const char* data, std::size_t begin, const std::uint32_t* ends, std::size_t n,
                                      RecordScanState& state, std::uint8_t* prefixes)
    {
        return g_classifyRecordLines(data, begin, ends, n, state, prefixes);
    }
}
#endif
