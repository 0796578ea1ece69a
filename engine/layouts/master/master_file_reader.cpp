#include "layouts/master/master_file_reader.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "scan/byte_scan.h"
#include "run/extraction_state.h"
#include "input/line_index.h"

#include "layouts/gtld/record_label.h"

#ifdef PLEXOR_HAVE_AVX2_VARIANT
#include <immintrin.h>
#endif

namespace plexor
{
    namespace
    {
        // Bytes that separate fields. A CR that is not part of a line end
        // separates too: it cannot be part of a name.
        constexpr bool IsSeparator(char c)
        {
            return c == ' ' || c == '\t' || c == '\r';
        }

        // Bytes with a meaning beyond the plain fields of one line.
        [[maybe_unused]] constexpr bool IsSpecial(char c)
        {
            return c == '(' || c == ')' || c == '"' || c == '\\' || c == ';';
        }

        constexpr char LowerAscii(char c)
        {
            return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        }

        bool IsDigit(char c)
        {
            return c >= '0' && c <= '9';
        }

        // `text` equals `lower` (lower-case ASCII) without regard to case.
        bool EqualsNoCase(std::string_view text, std::string_view lower)
        {
            if (text.size() != lower.size())
                return false;
            for (std::size_t i = 0; i < text.size(); ++i)
            {
                if (LowerAscii(text[i]) != lower[i])
                    return false;
            }
            return true;
        }

        // Digits, or groups of digits each followed by a unit (s, m, h, d,
        // w, any case): 3600, 1h30m, 2D.
        bool IsTtl(std::string_view field)
        {
            if (field.empty() || !IsDigit(field[0]))
                return false;
            std::size_t i = 0;
            while (i < field.size() && IsDigit(field[i]))
                ++i;
            if (i == field.size())
                return true;
            for (i = 0; i < field.size();)
            {
                if (!IsDigit(field[i]))
                    return false;
                while (i < field.size() && IsDigit(field[i]))
                    ++i;
                if (i == field.size())
                    return false; // digits after a unit need a unit of their own
                const char unit = LowerAscii(field[i]);
                if (unit != 's' && unit != 'm' && unit != 'h' && unit != 'd' && unit != 'w')
                    return false;
                ++i;
            }
            return true;
        }

        // IN, CH, HS, CS or CLASSnn, any case.
        bool IsClass(std::string_view field)
        {
            if (field.size() == 2)
            {
                const char a = LowerAscii(field[0]);
                const char b = LowerAscii(field[1]);
                return (a == 'i' && b == 'n') || (a == 'c' && b == 'h') || (a == 'h' && b == 's')
                    || (a == 'c' && b == 's');
            }
            if (field.size() <= 5 || !EqualsNoCase(field.substr(0, 5), "class"))
                return false;
            for (const char c : field.substr(5))
            {
                if (!IsDigit(c))
                    return false;
            }
            return true;
        }

        // Bit i set where byte i of the 16 bytes from p is special.
        unsigned SpecialMask16(const char* p)
        {
#ifdef PLEXOR_HAVE_SSE2
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i hits = _mm_or_si128(
                _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('(')), _mm_cmpeq_epi8(bytes, _mm_set1_epi8(')'))),
                _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('"')),
                                          _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\\'))),
                             _mm_cmpeq_epi8(bytes, _mm_set1_epi8(';'))));
            return static_cast<unsigned>(_mm_movemask_epi8(hits));
#else
            unsigned mask = 0;
            for (unsigned i = 0; i < 16; ++i)
                mask |= static_cast<unsigned>(IsSpecial(p[i])) << i;
            return mask;
#endif
        }

        // Bit i set where byte i of the 16 bytes from p separates fields.
        unsigned SeparatorMask16(const char* p)
        {
#ifdef PLEXOR_HAVE_SSE2
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i hits = _mm_or_si128(
                _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(' ')), _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\t'))),
                _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\r')));
            return static_cast<unsigned>(_mm_movemask_epi8(hits));
#else
            unsigned mask = 0;
            for (unsigned i = 0; i < 16; ++i)
                mask |= static_cast<unsigned>(IsSeparator(p[i])) << i;
            return mask;
#endif
        }

        // Position of the first byte in [line, line + size) that Mask16
        // marks, or size. Every position has kLineProbeBytes readable bytes
        // after it, so the last block may look past size.
        template <unsigned (*Mask16)(const char*)>
        std::size_t FindFirst(const char* line, std::size_t size)
        {
            for (std::size_t i = 0; i < size; i += 16)
            {
                if (const unsigned mask = Mask16(line + i); mask != 0)
                    return std::min(i + static_cast<std::size_t>(std::countr_zero(mask)), size);
            }
            return size;
        }

        std::size_t FindSpecial(const char* line, std::size_t size)
        {
            return FindFirst<SpecialMask16>(line, size);
        }

        std::size_t FindSeparator(const char* line, std::size_t size)
        {
            return FindFirst<SeparatorMask16>(line, size);
        }

#ifdef PLEXOR_HAVE_SSE2
        // Bit i set where byte i of the 64 bytes from p separates fields.
        std::uint64_t SeparatorMask64(const char* p)
        {
            std::uint64_t mask = 0;
            for (int k = 0; k < 4; ++k)
                mask |= static_cast<std::uint64_t>(SeparatorMask16(p + 16 * k)) << (16 * k);
            return mask;
        }

#endif

#ifdef PLEXOR_HAVE_SSE2
        // Bit i set where byte i of the 32 bytes from p is ( ) " \ or ;.
        std::uint32_t SpecialMask32(const char* p)
        {
            const __m128i closeBit = _mm_set1_epi8(1);
            const __m128i close = _mm_set1_epi8(')'); // "(" | 1 is ")"
            const __m128i quote = _mm_set1_epi8('"');
            const __m128i escape = _mm_set1_epi8('\\');
            const __m128i comment = _mm_set1_epi8(';');
            static_assert(('(' | 1) == ')');
            const auto half = [&](const char* at) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
                return static_cast<std::uint32_t>(static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(
                    _mm_or_si128(_mm_cmpeq_epi8(_mm_or_si128(v, closeBit), close), _mm_cmpeq_epi8(v, quote)),
                    _mm_or_si128(_mm_cmpeq_epi8(v, escape), _mm_cmpeq_epi8(v, comment))))));
            };
            return half(p) | (half(p + 16) << 16);
        }

        // Bit i set where byte i of the 32 bytes from p is a dot.
        std::uint32_t DotMask32(const char* p)
        {
            const __m128i dot = _mm_set1_epi8('.');
            const auto half = [&](const char* at) {
                return static_cast<std::uint32_t>(static_cast<unsigned>(
                    _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), dot))));
            };
            return half(p) | (half(p + 16) << 16);
        }
#endif

        // Whether the first `size` bytes (at most 64) from p hold an ASCII
        // upper-case letter; 64 bytes from p are readable.
        bool HasUpperAscii(const char* p, std::size_t size)
        {
#ifdef PLEXOR_HAVE_SSE2
            const __m128i belowA = _mm_set1_epi8('A' - 1);
            const __m128i aboveZ = _mm_set1_epi8('Z' + 1);
            std::uint64_t upper = 0;
            for (int k = 0; k < 4; ++k)
            {
                const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
                const __m128i hits = _mm_and_si128(_mm_cmpgt_epi8(bytes, belowA), _mm_cmplt_epi8(bytes, aboveZ));
                upper |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(hits))) << (16 * k);
            }
            const std::uint64_t wanted = size >= 64 ? ~std::uint64_t {0} : (std::uint64_t {1} << size) - 1;
            return (upper & wanted) != 0;
#else
            for (std::size_t i = 0; i < size; ++i)
            {
                if (p[i] >= 'A' && p[i] <= 'Z')
                    return true;
            }
            return false;
#endif
        }

        // A name field without escapes or quotes has an empty label when it
        // begins with a dot (other than the root's lone dot) or holds "..".
        // Every position has kLineProbeBytes readable bytes after it.
        bool HasEmptyLabel(const char* field, std::size_t size)
        {
            if (field[0] == '.')
                return size > 1;
#ifdef PLEXOR_HAVE_SSE2
            std::uint32_t dotBefore = 0;
            for (std::size_t i = 0; i < size; i += 32)
            {
                const std::size_t left = size - i;
                const std::uint32_t valid = left >= 32 ? ~std::uint32_t {0} : (std::uint32_t {1} << left) - 1;
                const std::uint32_t dots = DotMask32(field + i) & valid;
                if (((dots & (dots >> 1)) | (dots & dotBefore)) != 0)
                    return true;
                dotBefore = dots >> 31;
            }
            return false;
#else
            for (std::size_t i = 0; i + 1 < size; ++i)
            {
                if (field[i] == '.' && field[i + 1] == '.')
                    return true;
            }
            return false;
#endif
        }

        // ResolveMasterName for a field without escapes or quotes, with the
        // probe rule of HasEmptyLabel.
        bool ResolvePlainName(std::string_view field, std::string_view origin, std::string& out,
                              bool noDotPairs = false)
        {
            const std::size_t n = field.size();
            if (n == 1 && field[0] == '@')
            {
                out.assign(origin);
                return true;
            }
            if (noDotPairs ? field[0] == '.' && n > 1 : HasEmptyLabel(field.data(), n))
                return false;
            const bool absolute = field[n - 1] == '.';
            const std::size_t length = absolute ? n - 1 : n;
            const bool withOrigin = !absolute && !origin.empty();
            const std::size_t total = withOrigin ? length + 1 + origin.size() : length;
            out.resize(total);
            char* to = out.data();
#ifdef PLEXOR_HAVE_SSE2
            const auto lower16 = [](const char* from) {
                const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
                const __m128i upper = _mm_and_si128(_mm_cmpgt_epi8(bytes, _mm_set1_epi8('A' - 1)),
                                                    _mm_cmplt_epi8(bytes, _mm_set1_epi8('Z' + 1)));
                return _mm_or_si128(bytes, _mm_and_si128(upper, _mm_set1_epi8(0x20)));
            };
            if (length >= 16)
            {
                // Whole 16-byte pieces, the last one overlapping the one
                // before it.
                for (std::size_t i = 0; i + 16 < length; i += 16)
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), lower16(field.data() + i));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(to + length - 16), lower16(field.data() + length - 16));
            }
            else
            {
                alignas(16) char piece[16];
                _mm_store_si128(reinterpret_cast<__m128i*>(piece), lower16(field.data()));
                std::memcpy(to, piece, length);
            }
#else
            for (std::size_t i = 0; i < length; ++i)
                to[i] = LowerAscii(field[i]);
#endif
            if (withOrigin)
            {
                to[length] = '.';
                std::memcpy(to + length + 1, origin.data(), origin.size());
            }
            out.resize(total);
            return true;
        }
    }

    bool IsPlainMasterText(const char* data, std::size_t size, bool dotBefore)
    {
#ifdef PLEXOR_HAVE_SSE2
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
        std::uint32_t dotBeforeBit = whole > 0 && data[-1] == '.' ? 1 : 0;
        for (std::size_t i = 0; i < size; i += 32)
        {
            const std::size_t left = size - i;
            const std::uint32_t valid = left >= 32 ? ~std::uint32_t {0} : (std::uint32_t {1} << left) - 1;
            const std::uint32_t dots = DotMask32(data + i) & valid;
            if (((SpecialMask32(data + i) & valid) | (dots & (dots >> 1)) | (dots & dotBeforeBit)) != 0)
                return false;
            dotBeforeBit = dots >> 31;
        }
        return true;
#else
        for (std::size_t i = 0; i < size; ++i)
        {
            if (IsSpecial(data[i]) || (data[i] == '.' && (i == 0 ? dotBefore : data[i - 1] == '.')))
                return false;
        }
        return true;
#endif
    }

    bool detail::IndexPlainMasterTextPortable(const char* buffer, std::size_t from, std::size_t to, bool dotBefore,
                                              LineEndIndex& lineEnds)
    {
        lineEnds.Add(buffer, from, to);
        return IsPlainMasterText(buffer + from, to - from, dotBefore);
    }

#ifdef PLEXOR_HAVE_AVX2_VARIANT
    __attribute__((target("avx2,popcnt,bmi"))) bool detail::IndexPlainMasterTextAvx2(const char* buffer,
                                                                                     std::size_t from, std::size_t to,
                                                                                     bool dotBefore,
                                                                                     LineEndIndex& lineEnds)
    {
        // Both searches in one pass over whole 64-byte blocks whose next byte
        // is still in the data; the rest of the bytes go to the portable
        // ones.
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
        lineEnds.Add(buffer, at, to);
        return plain && IsPlainMasterText(buffer + at, to - at, at > from ? buffer[at - 1] == '.' : dotBefore);
    }
#endif

    namespace
    {
        using IndexAndPlainTextSearch = bool (*)(const char*, std::size_t, std::size_t, bool, LineEndIndex&);

        IndexAndPlainTextSearch ChooseIndexAndPlainTextSearch()
        {
#ifdef PLEXOR_HAVE_AVX2_VARIANT
            if (detail::HasAvx2Variant() && __builtin_cpu_supports("popcnt"))
                return &detail::IndexPlainMasterTextAvx2;
#endif
            return &detail::IndexPlainMasterTextPortable;
        }

        const IndexAndPlainTextSearch g_indexAndPlainTextSearch = ChooseIndexAndPlainTextSearch();
    }

    bool IndexPlainMasterText(const char* buffer, std::size_t from, std::size_t to, bool dotBefore,
                              LineEndIndex& lineEnds)
    {
        return g_indexAndPlainTextSearch(buffer, from, to, dotBefore, lineEnds);
    }


#ifdef PLEXOR_HAVE_SSE2
    namespace
    {
        // The search of SimpleNsLines::Find, compiled twice: for any x86-64
        // processor, and with the AVX2 generation's instructions (VEX
        // encodings, BMI) where the processor has them (detail::).
#if defined(__GNUC__) || defined(__clang__)
        [[gnu::always_inline]]
#endif
        inline void FindSimpleNsLines(const char* data, const LineEndIndex& lineEnds, SimpleNsLines& out)
        {
            // The fields after the owner, from the separator bits of the bytes
            // from `head` (past the line's end set), of which the first `known`
            // are known (the others clear): 1 for an NS record, 0 for a record
            // of another type, -1 when the line is not simple or its fields are
            // not all found within the known bytes.
            const auto readHead = [](const char* head, std::uint64_t separators, std::size_t known,
                                     std::size_t& serverStart, std::size_t& typeEnd) {
                std::size_t at = 0;
                std::size_t start = 0;
                std::size_t end = 0;
                const auto nextField = [&]() {
                    const std::uint64_t starts = ~separators & (~std::uint64_t {0} << at);
                    if (starts == 0)
                        return false;
                    start = static_cast<std::size_t>(std::countr_zero(starts));
                    const std::uint64_t ends = separators & (~std::uint64_t {0} << start);
                    if (start >= known || ends == 0)
                        return false;
                    end = static_cast<std::size_t>(std::countr_zero(ends));
                    at = end;
                    return true;
                };
                // A TTL of digits.
                if (!nextField() || end - start > 10)
                    return -1;
                for (std::size_t i = start; i < end; ++i)
                {
                    if (!IsDigit(head[i]))
                        return -1;
                }
                // The class IN, any case.
                if (!nextField() || end - start != 2 || (head[start] | 0x20) != 'i' || (head[start + 1] | 0x20) != 'n')
                    return -1;
                if (!nextField())
                    return -1;
                const char* type = head + start;
                const std::size_t typeLength = end - start;
                typeEnd = end;
                if (typeLength == 3 && (type[0] | 0x20) == 's' && (type[1] | 0x20) == 'o' && (type[2] | 0x20) == 'a')
                    return -1; // it sets the apex and the origin
                if (typeLength != 2 || (type[0] | 0x20) != 'n' || (type[1] | 0x20) != 's')
                    return 0;
                // The server: a name that is not the root, not the origin.
                const std::uint64_t starts = ~separators & (~std::uint64_t {0} << at);
                serverStart = static_cast<std::size_t>(std::countr_zero(starts));
                if (starts == 0 || serverStart >= known)
                    return -1;
                const char first = head[serverStart];
                return first == '.' || first == '@' ? -1 : 1;
            };

            const std::size_t count = lineEnds.size();
            const char* entryOwner = nullptr; // of the last entry
            std::size_t entryOwnerLength = 0;
            std::size_t ownerSize = 0; // of the line read last, as written
            // The bytes between owner and server of the NS line read last, when
            // at most 32: most NS lines of a zone have the same, and need no
            // closer look at their TTL, class and type.
            alignas(16) char shape[32] = {};
            std::uint32_t shapeMask = 0; // one bit per byte of the shape
            std::size_t shapeLength = 0;
            // The bytes between owner and type of the last few records of other
            // types, and the separator after the type: a zone has few kinds.
            struct OtherShape
            {
                alignas(16) char bytes[32];
                std::uint32_t mask;
                std::size_t length;
            };
            constexpr std::size_t kOtherShapes = 4;
            OtherShape others[kOtherShapes];
            std::size_t otherCount = 0;
            std::size_t otherNext = 0;
            // The NS line read last, when its bytes up to its server (the first
            // repeatLength, fewer than 64) are its owner and the shape.
            const char* repeat = nullptr;
            std::size_t repeatLength = 0;
            std::uint64_t repeatMask = 0;
            for (std::size_t i = 1; i < count; ++i)
            {
                const std::size_t start = static_cast<std::size_t>(lineEnds[i - 1]) + 1;
                std::size_t n = lineEnds[i] - start;
                const char* p = data + start;
                // A further NS line of the owner of the NS line before, written
                // the same way up to its server, in one compare (a CR at the end
                // of the line cannot begin a server).
                if (repeatLength != 0 && n > repeatLength)
                {
                    const char first = p[repeatLength];
                    if ((scan::EqualMask64(p, repeat) & repeatMask) == repeatMask && !IsSeparator(first)
                        && first != '.' && first != '@')
                    {
                        continue; // same owner: ownerSize stays
                    }
                }
                if (n > 0 && p[n - 1] == '\r')
                    --n;
                if (n == 0 || IsSeparator(p[0]) || p[0] == '$' || p[0] == '.')
                    return;
                const std::size_t ownerEnd = FindSeparator(p, n);
                if (ownerEnd == n)
                    return;
                const char* head = p + ownerEnd;
                const std::size_t headSize = n - ownerEnd;
                int kind;
                if (shapeMask != 0 && (scan::EqualMask32(head, shape) & shapeMask) == shapeMask
                    && headSize > shapeLength
                    && !IsSeparator(head[shapeLength]) && head[shapeLength] != '.' && head[shapeLength] != '@')
                {
                    kind = 1; // the shape ends in a separator and a server follows
                }
                else if (std::any_of(others, others + otherCount, [&](const OtherShape& o) {
                             return o.length <= headSize && (scan::EqualMask32(head, o.bytes) & o.mask) == o.mask;
                         }))
                {
                    kind = 0;
                }
                else
                {
                    std::uint64_t separators = SeparatorMask64(head);
                    if (headSize < 64)
                        separators |= ~std::uint64_t {0} << headSize; // past the line's end
                    std::size_t serverStart = 0;
                    std::size_t typeEnd = 0;
                    kind = readHead(head, separators, 64, serverStart, typeEnd);
                    if (kind < 0)
                        return;
                    if (kind == 1)
                    {
                        shapeLength = serverStart <= 32 ? serverStart : 0;
                        shapeMask = static_cast<std::uint32_t>((std::uint64_t {1} << shapeLength) - 1);
                        std::memcpy(shape, head, sizeof shape); // 64 bytes from a line's position are readable
                    }
                    else if (typeEnd < headSize && typeEnd < 32)
                    {
                        // Up to the separator after the type.
                        OtherShape& o = others[otherNext];
                        otherNext = (otherNext + 1) % kOtherShapes;
                        otherCount = std::max(otherCount, otherNext == 0 ? kOtherShapes : otherNext);
                        o.length = typeEnd + 1;
                        o.mask = static_cast<std::uint32_t>((std::uint64_t {1} << o.length) - 1);
                        std::memcpy(o.bytes, head, sizeof o.bytes);
                    }
                }
                if (p[ownerEnd - 1] != '.' && kind == 1)
                    return; // a relative owner needs the origin
                ownerSize = ownerEnd;
                repeatLength = 0;
                if (kind == 1 && ownerEnd + shapeLength < 64 && shapeLength != 0 && headSize > shapeLength
                    && !IsSeparator(head[shapeLength]))
                {
                    repeat = p;
                    repeatLength = ownerEnd + shapeLength;
                    repeatMask = (std::uint64_t {1} << repeatLength) - 1;
                }
                const std::size_t ownerLength = ownerEnd - 1;
                if (kind == 1 && !(ownerLength == entryOwnerLength && scan::BytesEqual(p, entryOwner, ownerLength)))
                {
                    if (ownerEnd <= 64 ? HasUpperAscii(p, ownerEnd)
                                       : std::any_of(p, p + ownerEnd, [](char c) { return c >= 'A' && c <= 'Z'; }))
                        return;
                    out.entries.push_back({static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(start),
                                       static_cast<std::uint32_t>(ownerLength)});
                    entryOwner = p;
                    entryOwnerLength = ownerLength;
                }
            }
            out.found = count > 1;
            out.lastOwnerSize = static_cast<std::uint32_t>(ownerSize);
        }
    }
#endif

    void detail::FindSimpleNsLinesBaseline(const char* data, const LineEndIndex& lineEnds, SimpleNsLines& out)
    {
#ifdef PLEXOR_HAVE_SSE2
        FindSimpleNsLines(data, lineEnds, out);
#else
        // No search without SSE2: the worker reads every line.
        static_cast<void>(data);
        static_cast<void>(lineEnds);
        static_cast<void>(out);
#endif
    }

#if defined(PLEXOR_HAVE_AVX2_VARIANT) && defined(PLEXOR_HAVE_SSE2)
    __attribute__((target("avx2,bmi,bmi2,popcnt"))) void detail::FindSimpleNsLinesAvx2(const char* data,
                                                                                     const LineEndIndex& lineEnds,
                                                                                     SimpleNsLines& out)
    {
        FindSimpleNsLines(data, lineEnds, out);
    }
#endif

    namespace
    {
        using SimpleNsLineSearch = void (*)(const char*, const LineEndIndex&, SimpleNsLines&);

        SimpleNsLineSearch ChooseSimpleNsLineSearch()
        {
#if defined(PLEXOR_HAVE_AVX2_VARIANT) && defined(PLEXOR_HAVE_SSE2)
            __builtin_cpu_init();
            if (detail::HasAvx2Variant() && __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt"))
                return &detail::FindSimpleNsLinesAvx2;
#endif
            return &detail::FindSimpleNsLinesBaseline;
        }

        const SimpleNsLineSearch g_simpleNsLineSearch = ChooseSimpleNsLineSearch();
    }

    void SimpleNsLines::Find(const char* data, const LineEndIndex& lineEnds)
    {
        Clear();
        g_simpleNsLineSearch(data, lineEnds, *this);
    }

    bool ResolveMasterName(std::string_view field, std::string_view origin, std::string& out)
    {
        out.clear();
        if (field == "@")
        {
            out.assign(origin);
            return true;
        }
        if (field == ".")
            return true;
        out.reserve(field.size() + 1 + origin.size());
        bool labelEmpty = true;
        bool absolute = false;
        const std::size_t n = field.size();
        for (std::size_t i = 0; i < n;)
        {
            const char c = field[i];
            if (c == '\\')
            {
                if (i + 1 == n)
                    return false;
                const char escaped = field[i + 1];
                if (escaped == ' ')
                    out += "\\032";
                else if (escaped == '\t')
                    out += "\\009";
                else if (escaped == '\r')
                    out += "\\013";
                else
                {
                    out += '\\';
                    out += LowerAscii(escaped);
                }
                labelEmpty = false;
                i += 2;
                continue;
            }
            if (c == '.')
            {
                if (labelEmpty)
                    return false;
                if (i + 1 == n)
                {
                    absolute = true;
                    break;
                }
                labelEmpty = true;
            }
            else
            {
                labelEmpty = false;
            }
            out += LowerAscii(c);
            ++i;
        }
        if (!absolute && !origin.empty())
        {
            out += '.';
            out += origin;
        }
        return true;
    }

    bool MasterFileReader::RestIsPlainServer(const char* rest, std::size_t size)
    {
        const char first = rest[0];
        if (IsSeparator(first) || first == '.')
            return false;
        // No special byte, and no empty label: ".." nowhere (the line has
        // no escapes).
#ifdef PLEXOR_HAVE_SSE2
        std::uint32_t dotBefore = 0; // the byte before the block is a dot
        for (std::size_t i = 0; i < size; i += 32)
        {
            const std::size_t left = size - i;
            const std::uint32_t valid = left >= 32 ? ~std::uint32_t {0} : (std::uint32_t {1} << left) - 1;
            const std::uint32_t dots = DotMask32(rest + i) & valid;
            const std::uint32_t pairs = (dots & (dots >> 1)) | (dots & dotBefore);
            if (((SpecialMask32(rest + i) & valid) | pairs) != 0)
                return false;
            dotBefore = dots >> 31;
        }
        return true;
#else
        return FindSpecial(rest, size) == size && !HasEmptyLabel(rest, size);
#endif
    }

    void MasterFileReader::CountUnreadable()
    {
        auto& counter = g_runState.unreadableRecords;
        counter.store(counter.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    }

    void MasterFileReader::BeginRecord(bool ownerInFirstColumn)
    {
        m_inRecord = true;
        m_depth = 0;
        m_bad = false;
        m_anything = false;
        m_stage = ownerInFirstColumn ? Stage::Owner : Stage::Head;
        m_ttlSeen = false;
        m_classSeen = false;
        m_type = Type::None;
        m_directive = Directive::None;
        m_directiveArgument = false;
        m_directiveBad = false;
        m_haveServer = false;
        m_serverIsRoot = false;
    }

    // Resets what a line changes; true when the line begins a record.
    bool MasterFileReader::BeginLine(std::string_view line)
    {
        m_repeatLength = 0;
        m_line = line;
        m_plainLine = false;
        if (m_inRecord)
            return false;
        const bool ownerInFirstColumn =
            !line.empty() && !IsSeparator(line[0]) && line[0] != '(' && line[0] != ')' && line[0] != ';';
        BeginRecord(ownerInFirstColumn);
        m_ownerEnd = 0;
        return true;
    }

    bool MasterFileReader::EndLine()
    {
        if (m_depth > 0)
            return false; // the record goes on on the next line
        m_inRecord = false;
        return EndRecord();
    }

    int MasterFileReader::ReadShapedLine(std::string_view line, bool plain)
    {
        // The line must begin with an owner, followed by the bytes that
        // followed the owner of the last NS record line read in full, then a
        // plain server: an NS record with that line's TTL and class.
        const char* p = line.data();
        const std::size_t n = line.size();
        if (n == 0 || IsSeparator(p[0]) || p[0] == '$' || p[0] == '@')
            return -1;
#ifdef PLEXOR_HAVE_SSE2
        const std::size_t ownerEnd = FindSeparator(p, n);
        if (ownerEnd == n)
            return -1;
        const std::size_t serverStart = ownerEnd + m_shapeLength;
        const auto wanted = static_cast<std::uint32_t>((std::uint64_t {1} << m_shapeLength) - 1);
        if (m_shapeLength == 0 || serverStart >= n || (scan::EqualMask32(p + ownerEnd, m_shapeBytes) & wanted) != wanted)
            return plain ? PassOtherRecord(p, n, ownerEnd) : -1;
#else
        const std::size_t ownerEnd = FindSeparator(p, n);
        if (ownerEnd == n)
            return -1;
        const std::size_t serverStart = ownerEnd + m_shapeLength;
        if (m_shapeLength == 0 || serverStart >= n || std::memcmp(p + ownerEnd, m_shapeBytes, m_shapeLength) != 0)
            return plain ? PassOtherRecord(p, n, ownerEnd) : -1;
#endif
        const char first = p[serverStart];
        if (first == '@')
            return -1;
        if (plain ? IsSeparator(first) || first == '.'
                  : FindSpecial(p, ownerEnd) != ownerEnd || !RestIsPlainServer(p + serverStart, n - serverStart))
            return -1;
        // A plain owner in lower case and fully qualified is its own name,
        // up to its final dot: handed out from the line itself and kept
        // unresolved for the lines after it. Any other owner is resolved;
        // one that is not a name leaves the line to the full reading, which
        // counts it.
        std::string_view owner;
        if (plain && ownerEnd <= sizeof m_pendingOwner && p[0] != '.' && p[ownerEnd - 1] == '.'
            && !HasUpperAscii(p, ownerEnd))
        {
            KeepOwner(p); // a line's first 64 bytes are readable
            m_pendingOwnerLength = ownerEnd;
            owner = std::string_view(p, ownerEnd - 1);
        }
        else
        {
            if (!ResolvePlainName(std::string_view(p, ownerEnd), m_origin, m_owner, plain))
                return -1;
            m_pendingOwnerLength = 0;
            owner = m_owner;
        }
        m_ownerValid = true;
        SetRepeatPrefix(p, serverStart);
        if (m_serversWanted)
        {
            std::size_t serverEnd = serverStart;
            while (serverEnd < n && !IsSeparator(p[serverEnd]))
                ++serverEnd;
            ResolvePlainName(std::string_view(p + serverStart, serverEnd - serverStart), m_origin, m_server, true);
        }
        m_record.owner = owner;
        m_record.server = m_serversWanted ? std::string_view(m_server) : std::string_view();
        m_record.ownerIsApex = m_hasApex && owner.size() == m_apex.size()
            && std::memcmp(owner.data(), m_apex.data(), owner.size()) == 0;
        m_record.ownerInLine = owner.data() == p;
        return 1;
    }

    int MasterFileReader::PassOtherRecord(const char* p, std::size_t n, std::size_t ownerEnd)
    {
        // The owner must fit the pending copy and be a name: in plain text
        // only a leading dot can make an empty label.
        if (ownerEnd > sizeof m_pendingOwner || p[0] == '.')
            return -1;
        // TTL, class and type from the separator bits of the 64 bytes after
        // the owner; anything else is left to the full reading.
        const char* head = p + ownerEnd;
        std::uint64_t separators;
#ifdef PLEXOR_HAVE_SSE2
        separators = SeparatorMask64(head);
#else
        separators = 0;
        for (std::size_t i = 0; i < 64; ++i)
            separators |= static_cast<std::uint64_t>(IsSeparator(head[i]) ? 1 : 0) << i;
#endif
        if (n - ownerEnd < 64)
            separators |= ~std::uint64_t {0} << (n - ownerEnd); // past the line's end
        std::size_t at = 0; // below 64: a separator ends every field found
        const auto nextField = [&](std::size_t& start, std::size_t& end) {
            const std::uint64_t starts = ~separators & (~std::uint64_t {0} << at);
            if (starts == 0)
                return false;
            start = static_cast<std::size_t>(std::countr_zero(starts));
            const std::uint64_t ends = separators & (~std::uint64_t {0} << start);
            if (ends == 0)
                return false;
            end = static_cast<std::size_t>(std::countr_zero(ends));
            at = end;
            return true;
        };
        std::size_t start = 0;
        std::size_t end = 0;
        // A TTL of digits only.
        if (!nextField(start, end) || end - start > 10)
            return -1;
        for (std::size_t i = start; i < end; ++i)
        {
            if (!IsDigit(head[i]))
                return -1;
        }
        // The class IN, any case.
        if (!nextField(start, end) || end - start != 2 || (head[start] | 0x20) != 'i'
            || (head[start + 1] | 0x20) != 'n')
            return -1;
        // A type other than NS and SOA.
        if (!nextField(start, end))
            return -1;
        const std::size_t typeLength = end - start;
        const char* type = head + start;
        if (typeLength == 2 && (type[0] | 0x20) == 'n' && (type[1] | 0x20) == 's')
            return -1;
        if (typeLength == 3 && (type[0] | 0x20) == 's' && (type[1] | 0x20) == 'o' && (type[2] | 0x20) == 'a')
            return -1;
        // A complete record of no interest; its owner is resolved only if a
        // line that needs it follows (SettleOwner).
        m_repeatLength = 0;
        KeepOwner(p); // a line's first 64 bytes are readable
        m_pendingOwnerLength = ownerEnd;
        m_ownerValid = true;
        return 0;
    }

    void MasterFileReader::PassedSimpleLines(const char* line, std::size_t ownerSize)
    {
        // The owner as written: resolved only when a line that needs it
        // follows (it may be relative: the origin stays as it is).
        m_repeatLength = 0;
        m_ownerValid = true;
        if (ownerSize <= sizeof m_pendingOwner)
        {
            KeepOwner(line); // a line's first 64 bytes are readable
            m_pendingOwnerLength = ownerSize;
        }
        else
        {
            ResolvePlainName(std::string_view(line, ownerSize), m_origin, m_owner, true);
            m_pendingOwnerLength = 0;
        }
    }

    void MasterFileReader::SettleOwner()
    {
        if (m_pendingOwnerLength == 0)
            return;
        ResolvePlainName(std::string_view(m_pendingOwner, m_pendingOwnerLength), m_origin, m_owner, true);
        m_pendingOwnerLength = 0;
    }

    bool MasterFileReader::ReadLine(std::string_view line, bool plain)
    {
        if (!m_inRecord && (m_shapeLength != 0 || plain))
        {
            const int shaped = ReadShapedLine(line, plain);
            if (shaped >= 0)
                return shaped == 1;
        }
        SettleOwner();
        if (!BeginLine(line))
        {
            ReadEscapedLine(line);
            return EndLine();
        }
        const std::size_t special = plain ? line.size() : FindSpecial(line.data(), line.size());
        if (special == line.size() || line[special] == ';')
        {
            m_plainLine = true;
            ReadPlainLine(line.substr(0, special));
        }
        else
        {
            ReadEscapedLine(line);
        }
        return EndLine();
    }

    void MasterFileReader::EndOfFile()
    {
        if (!m_inRecord)
            return;
        // A parenthesis still open.
        m_inRecord = false;
        m_depth = 0;
        CountUnreadable();
    }

    void MasterFileReader::ReadPlainLine(std::string_view line)
    {
        const char* p = line.data();
        const std::size_t n = line.size();
#ifdef PLEXOR_HAVE_SSE2
        // 64 bytes at a time from `base`: the fields that end within them
        // from the separator bits, a field that runs past them byte by byte.
        std::size_t base = 0;
        while (m_stage != Stage::Rest && base < n)
        {
            std::uint64_t separators = SeparatorMask64(p + base);
            if (n - base < 64)
                separators |= ~std::uint64_t {0} << (n - base); // past the line's end
            std::size_t at = 0;
            for (;;)
            {
                const std::uint64_t starts = ~separators & (~std::uint64_t {0} << at);
                if (starts == 0)
                {
                    base += 64;
                    break;
                }
                const auto start = static_cast<std::size_t>(std::countr_zero(starts));
                const std::uint64_t ends = separators & (~std::uint64_t {0} << start);
                if (m_stage == Stage::Server)
                    m_serverOffset = base + start;
                if (ends == 0)
                {
                    std::size_t end = base + 64;
                    while (end < n && !IsSeparator(p[end]))
                        ++end;
                    Field(std::string_view(p + base + start, end - base - start), false, true);
                    base = end;
                    break;
                }
                const auto end = static_cast<std::size_t>(std::countr_zero(ends));
                Field(std::string_view(p + base + start, end - start), false, true);
                if (m_stage == Stage::Rest)
                    return;
                at = end;
            }
        }
#else
        std::size_t i = 0;
        while (m_stage != Stage::Rest)
        {
            while (i < n && IsSeparator(p[i]))
                ++i;
            if (i == n)
                break;
            const std::size_t start = i;
            while (i < n && !IsSeparator(p[i]))
                ++i;
            if (m_stage == Stage::Server)
                m_serverOffset = start;
            Field(std::string_view(p + start, i - start), false, true);
        }
#endif
    }

    void MasterFileReader::ReadEscapedLine(std::string_view line)
    {
        const char* p = line.data();
        const std::size_t n = line.size();
        std::size_t start = 0;
        bool inField = false;
        bool quoted = false;
        bool inQuote = false;
        const auto endField = [&](std::size_t end) {
            if (inField)
                Field(std::string_view(p + start, end - start), quoted, false);
            inField = false;
            quoted = false;
        };
        const auto beginField = [&](std::size_t at) {
            if (!inField)
            {
                inField = true;
                start = at;
            }
        };
        std::size_t i = 0;
        while (i < n)
        {
            const char c = p[i];
            if (inQuote)
            {
                if (c == '\\')
                    i += 2;
                else
                {
                    if (c == '"')
                        inQuote = false;
                    ++i;
                }
                continue;
            }
            switch (c)
            {
            case ' ':
            case '\t':
            case '\r':
                endField(i);
                ++i;
                break;
            case '(':
                endField(i);
                m_anything = true;
                ++m_depth;
                ++i;
                break;
            case ')':
                endField(i);
                m_anything = true;
                if (m_depth == 0)
                    m_bad = true; // a stray parenthesis
                else
                    --m_depth;
                ++i;
                break;
            case ';':
                endField(i);
                i = n;
                break;
            case '"':
                beginField(i);
                quoted = true;
                inQuote = true;
                ++i;
                break;
            case '\\':
                beginField(i);
                if (i + 1 == n)
                    m_bad = true; // an escape of nothing
                i += 2;
                break;
            default:
                beginField(i);
                ++i;
                break;
            }
        }
        if (inQuote)
            m_bad = true; // a quoted string open at the line's end
        endField(i < n ? i : n);
    }

    void MasterFileReader::Field(std::string_view field, bool quoted, bool plain)
    {
        m_anything = true;
        switch (m_stage)
        {
        case Stage::Owner:
            if (!quoted && field[0] == '$')
            {
                if (EqualsNoCase(field, "$origin"))
                    m_directive = Directive::Origin;
                else if (EqualsNoCase(field, "$ttl"))
                    m_directive = Directive::Ttl;
                else
                    m_directive = Directive::Skipped; // $INCLUDE is not followed
                m_stage = m_directive == Directive::Skipped ? Stage::Rest : Stage::Argument;
                return;
            }
            m_ownerValid = !quoted
                && (plain ? ResolvePlainName(field, m_origin, m_owner) : ResolveMasterName(field, m_origin, m_owner));
            m_ownerEnd = static_cast<std::size_t>(field.data() + field.size() - m_line.data());
            m_stage = Stage::Head;
            return;
        case Stage::Head:
            if (!quoted && !m_ttlSeen && IsTtl(field))
            {
                m_ttlSeen = true;
                return;
            }
            if (!quoted && !m_classSeen && IsClass(field))
            {
                m_classSeen = true;
                return;
            }
            if (quoted)
                m_type = Type::Other;
            else if (EqualsNoCase(field, "ns"))
                m_type = Type::Ns;
            else if (EqualsNoCase(field, "soa"))
                m_type = Type::Soa;
            else
                m_type = Type::Other;
            m_stage = m_type == Type::Ns ? Stage::Server : Stage::Rest;
            return;
        case Stage::Server:
            m_haveServer = true;
            m_stage = Stage::Rest;
            if (quoted)
                m_bad = true;
            else if (plain && !m_serversWanted)
            {
                // Only whether it is a name, and whether it is the root.
                m_bad = HasEmptyLabel(field.data(), field.size());
                m_serverIsRoot = field == "." || (field == "@" && m_origin.empty());
            }
            else
            {
                m_bad = !(plain ? ResolvePlainName(field, m_origin, m_server)
                                : ResolveMasterName(field, m_origin, m_server));
                m_serverIsRoot = m_server.empty();
            }
            return;
        case Stage::Argument:
            m_directiveArgument = true;
            m_stage = Stage::Rest;
            if (m_directive == Directive::Origin)
                m_directiveBad = quoted || !ResolveMasterName(field, m_origin, m_scratch);
            else
                m_directiveBad = quoted || !IsTtl(field);
            return;
        case Stage::Rest:
            return;
        }
    }

    bool MasterFileReader::EndRecord()
    {
        if (!m_anything)
            return false; // an empty or comment line
        if (m_directive != Directive::None)
        {
            if (m_directive == Directive::Skipped)
                return false;
            if (m_bad || !m_directiveArgument || m_directiveBad)
            {
                CountUnreadable();
                return false;
            }
            if (m_directive == Directive::Origin)
            {
                m_origin.swap(m_scratch);
                m_originFromDirective = true;
                if (!m_hasApex)
                {
                    m_hasApex = true;
                    m_apex = m_origin;
                }
            }
            return false;
        }
        if (m_bad || !m_ownerValid || m_type == Type::None || (m_type == Type::Ns && !m_haveServer))
        {
            CountUnreadable();
            return false;
        }
        if (m_type == Type::Soa)
        {
            if (!m_apexFromSoa)
            {
                m_apexFromSoa = true;
                m_hasApex = true;
                m_apex = m_owner;
                if (!m_originFromDirective)
                    m_origin = m_owner;
            }
            return false;
        }
        if (m_type != Type::Ns || m_serverIsRoot)
            return false; // a server that is the root names no host
        if (m_plainLine)
        {
            SetRepeatPrefix(m_line.data(), m_serverOffset);
            // The bytes between owner and server, for the lines of other
            // owners written the same way (ReadShapedLine).
            m_shapeLength = 0;
            if (m_ownerEnd != 0 && m_serverOffset - m_ownerEnd <= sizeof m_shapeBytes)
            {
                m_shapeLength = m_serverOffset - m_ownerEnd;
                std::memcpy(m_shapeBytes, m_line.data() + m_ownerEnd, sizeof m_shapeBytes);
            }
        }
        m_record.owner = m_owner;
        m_record.server = m_serversWanted ? std::string_view(m_server) : std::string_view();
        m_record.ownerIsApex = m_hasApex && m_owner == m_apex;
        m_record.ownerInLine = false;
        return true;
    }
}
