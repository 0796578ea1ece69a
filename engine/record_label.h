#pragma once

// Most lines of a .COM/.NET/.EDU zone are name-server records of the form
// "LABEL NS SERVER": a label, one blank and "NS ", and most of them begin
// with the same "LABEL NS " as the line before (a domain's second, third...
// server). The domain extractor gives such a line the outcome of the line
// before without looking at it further. Telling those lines apart is shared
// between the extractor and the reading thread, which does it for the
// chunks it reads while it is ahead of the extractor.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "byte_scan.h"
#include "line_index.h"

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

#ifdef PLEXOR_HAVE_SSE2
    // Steps through consecutive lines and tells which of them begin with the
    // same "LABEL NS " as the line before, with no branch on the bytes.
    class RecordRepeats final
    {
    public:
        // Whether the line repeats the beginning of the line before; its own
        // RecordPrefix goes to `prefix`. kLineProbeBytes bytes must be
        // readable from `line`. `length` may count a CR before the line's LF:
        // both answers end with a blank, never with that CR, so they are the
        // same either way and the CR need not be looked for.
        bool Next(const char* line, std::size_t length, std::size_t& prefix)
        {
            const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line));
            const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + 16));
            const std::uint32_t differ = ~(SameByteMask(lo, m_lo) | (SameByteMask(hi, m_hi) << 16));
            const auto wanted = static_cast<std::uint32_t>((std::uint64_t {1} << m_prefix) - 1);
            const bool repeat = (m_prefix != 0) & (length >= m_prefix) & ((differ & wanted) == 0);
            prefix = RecordPrefix(line, length, lo, hi);
            m_lo = lo;
            m_hi = hi;
            m_prefix = prefix;
            return repeat;
        }

        // The next line does not follow the last one seen.
        void Forget() { m_prefix = 0; }

    private:
        __m128i m_lo = _mm_setzero_si128();
        __m128i m_hi = _mm_setzero_si128();
        std::size_t m_prefix = 0; // the line before's, 0: nothing repeats it
    };
#endif

    // What the reading thread finds for the lines of a chunk: each line's
    // RecordPrefix and whether it repeats the line before (bit i of the
    // words for the line ending at lineEnds[i]). The chunk's first line
    // began in the chunk before and its second follows that one: both are
    // left without prefix and repeat, which only means they are looked at
    // in full.
    struct RecordLineClasses
    {
        std::vector<std::uint8_t> prefixes;
        std::vector<std::uint64_t> repeatWords; // one spare word at the end

        bool Empty() const { return prefixes.empty(); }
        void Clear()
        {
            prefixes.clear();
            repeatWords.clear();
        }

        void Find(const char* data, const LineEndIndex& lineEnds)
        {
            const std::size_t count = lineEnds.size();
            prefixes.assign(count, 0);
            repeatWords.assign(count / 64 + 2, 0);
#ifdef PLEXOR_HAVE_SSE2
            RecordRepeats repeats;
            // The bits of a word collect in a register: an OR into memory per
            // line would make every line wait for the store of the one before.
            std::uint64_t word = 0;
            for (std::size_t i = 1; i < count; ++i)
            {
                const std::size_t start = lineEnds[i - 1] + std::size_t {1};
                std::size_t prefix = 0;
                const bool repeat = repeats.Next(data + start, lineEnds[i] - start, prefix) & (i > 1);
                prefixes[i] = static_cast<std::uint8_t>(prefix);
                word |= static_cast<std::uint64_t>(repeat) << (i % 64);
                if (i % 64 == 63)
                {
                    repeatWords[i / 64] = word;
                    word = 0;
                }
            }
            if (count > 1 && (count - 1) % 64 != 63)
                repeatWords[(count - 1) / 64] = word; // the last word, not yet stored
#else
            static_cast<void>(data);
#endif
        }

        // The repeat bits of the up to 64 lines from line `first` on.
        static std::uint64_t RepeatBits(const std::uint64_t* words, std::size_t first)
        {
            const std::size_t word = first / 64;
            const std::size_t bit = first % 64;
            return bit == 0 ? words[word] : (words[word] >> bit) | (words[word + 1] << (64 - bit));
        }
    };
}
