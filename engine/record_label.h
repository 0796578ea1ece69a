#pragma once

// Most lines of a .COM/.NET/.EDU zone are name-server records of the form
// "LABEL NS SERVER": a label, one blank and "NS ". The domain extractor
// recognises a domain's further lines by that beginning; finding it is
// shared between the extractor and the reading thread, which finds it for
// every line of a chunk ahead of time when asked to.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "byte_scan.h"

namespace plexor
{
    // The beginning is looked for within a line's first kRecordProbeBytes
    // bytes; kRecordProbeBytes + 4 bytes must be readable from the line's
    // start (see kLineProbeBytes).
    inline constexpr std::size_t kRecordProbeBytes = 32;

    namespace detail
    {
        // The length of "LABEL NS " given the position of the line's first
        // blank (kRecordProbeBytes when there is none in the probe), or 0.
        inline std::size_t RecordPrefixAt(const char* line, std::size_t length, std::size_t blank)
        {
            std::uint32_t key;
            std::memcpy(&key, line + blank, sizeof key);
            std::uint32_t wanted;
            std::memcpy(&wanted, " NS ", sizeof wanted);
            const std::size_t prefix = blank + 4;
            // Bitwise operators: no branch on the bytes.
            const bool found =
                (prefix <= kRecordProbeBytes) & (prefix <= length) & (key == wanted) & (line[0] != '$');
            return prefix & (std::size_t {0} - static_cast<std::size_t>(found));
        }
    }

#ifdef PLEXOR_HAVE_SSE2
    // Bit i set where byte i of a and b are equal.
    inline std::uint32_t SameByteMask(__m128i a, __m128i b)
    {
        return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(a, b)));
    }

    // RecordPrefix for a line whose first 32 bytes are already loaded.
    inline std::size_t RecordPrefix(const char* line, std::size_t length, __m128i lo, __m128i hi)
    {
        const __m128i blank = _mm_set1_epi8(' ');
        const std::uint32_t blanks = SameByteMask(lo, blank) | (SameByteMask(hi, blank) << 16);
        return detail::RecordPrefixAt(line, length, static_cast<std::size_t>(std::countr_zero(blanks)));
    }
#endif

    // The length of the line's "LABEL NS " when the first blank starts its
    // first " NS ", lies within the probe and the line does not begin with
    // "$" (which changes the origin); 0 otherwise. A line that also has the
    // form may still get 0: callers treat 0 as "look at the whole line".
    inline std::size_t RecordPrefix(const char* line, std::size_t length)
    {
#ifdef PLEXOR_HAVE_SSE2
        return RecordPrefix(line, length, _mm_loadu_si128(reinterpret_cast<const __m128i*>(line)),
                            _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + 16)));
#else
        const void* blank = std::memchr(line, ' ', kRecordProbeBytes);
        const std::size_t at =
            blank != nullptr ? static_cast<std::size_t>(static_cast<const char*>(blank) - line) : kRecordProbeBytes;
        return detail::RecordPrefixAt(line, length, at);
#endif
    }
}
