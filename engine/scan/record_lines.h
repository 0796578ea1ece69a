#pragma once

// Most lines of a .COM/.NET/.EDU zone are name-server records of the form
// "LABEL NS SERVER": a label, one blank and "NS ", and most of them begin
// with the same "LABEL NS " as the line before (a domain's second, third...
// server). The domain extractor gives such a line the outcome of the line
// before without looking at it further. Telling those lines apart is a
// kernel's search (scan/kernel.h), made by the extractor itself or, for the
// chunks read ahead, by the reading thread on the layout's behalf; the
// classes found are the kernels' own answer type (RecordLineClasses).

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "scan/byte_scan.h"
#include "scan/line_index.h"

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

        // Whether a line repeats the "LABEL NS " of the line before, whose
        // RecordPrefix was previousPrefix, given the bits of the first 32
        // bytes where the two lines differ. No branch on the bytes.
        inline bool RepeatsPrefix(std::uint32_t differ, std::size_t length, std::size_t previousPrefix)
        {
            const auto wanted = static_cast<std::uint32_t>((std::uint64_t {1} << previousPrefix) - 1);
            return (previousPrefix != 0) & (length >= previousPrefix) & ((differ & wanted) == 0);
        }
    }

#ifdef PLEXOR_HAVE_SSE2
    // Bit i set where byte i of a and b are equal.
    inline std::uint32_t SameByteMask(__m128i a, __m128i b)
    {
        return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(a, b)));
    }

    // Bit i set where byte i of the 32 bytes lo, hi is c.
    inline std::uint32_t ByteMask32(__m128i lo, __m128i hi, char c)
    {
        const __m128i wanted = _mm_set1_epi8(c);
        return SameByteMask(lo, wanted) | (SameByteMask(hi, wanted) << 16);
    }

    // RecordPrefix for a line whose first 32 bytes are already loaded.
    inline std::size_t RecordPrefix(const char* line, std::size_t length, __m128i lo, __m128i hi)
    {
        const std::uint32_t blanks = ByteMask32(lo, hi, ' ');
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

    // What classifying lines remembers of the last line it saw.
    struct RecordScanState
    {
        alignas(32) char previous[kRecordProbeBytes] = {}; // its first bytes
        std::size_t prefix = 0; // its RecordPrefix; 0: nothing repeats it

        // The next line does not follow the last one seen.
        void Forget() { prefix = 0; }
    };

    // Classifies n (at most 64) consecutive lines, with no branch on their
    // bytes: line k runs from `begin` (k = 0) or ends[k - 1] + 1 to its line
    // end at ends[k], positions in `data`, and kLineProbeBytes bytes are
    // readable from its start. Writes each line's RecordPrefix to
    // prefixes[k] and returns bit k set where line k begins with the same
    // "LABEL NS " as the line before it; the line before the first is the
    // one `state` remembers, and the state then remembers the last.
    // A line's end may include a CR before its LF: both answers end with a
    // blank, never with that CR, so they are the same either way.
    // The run's kernel does it (scan/kernel.h).
    std::uint64_t ClassifyRecordLines(const char* data, std::size_t begin, const std::uint32_t* ends, std::size_t n,
                                      RecordScanState& state, std::uint8_t* prefixes);

    // What the reading thread finds for the lines of a chunk: each line's
    // RecordPrefix and whether it repeats the line before (bit i of the
    // words for the line ending at lineEnds[i]). The chunk's first line
    // began in the chunk before and its second follows that one: the first
    // is left without prefix and repeat, the second without repeat, which
    // only means they are looked at in full.
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
            // From line 1 on, up to the end of each word of repeat bits.
            RecordScanState state;
            for (std::size_t first = 1; first < count;)
            {
                const std::size_t last = std::min(count, (first / 64 + 1) * 64);
                const std::uint64_t bits =
                    ClassifyRecordLines(data, lineEnds[first - 1] + std::size_t {1}, lineEnds.data() + first,
                                        last - first, state, prefixes.data() + first);
                repeatWords[first / 64] = bits << (first % 64);
                first = last;
            }
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
