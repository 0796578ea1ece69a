#pragma once

// The search behind SimpleNsLines::Find, written once over a kernel's byte
// masks and compiled for each kernel (scan/<kernel>/kernel.cpp).

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "scan/line_index.h"
#include "scan/master_lines.h"
#include "scan/byte_classes.h"
#include "scan/byte_scan.h"

#if defined(__GNUC__) || defined(__clang__)
#define PLEXOR_ALWAYS_INLINE [[gnu::always_inline]] inline
#else
#define PLEXOR_ALWAYS_INLINE inline
#endif

namespace plexor::scan::generic
{
    // What a simple line's fields after its owner say.
    enum class SimpleHead
    {
        NotSimple, // not a simple line, or its fields are not all in the known bytes
        Other,     // a record of a type other than NS and SOA
        Ns         // an NS record with a server that is neither the root nor `@`
    };

    // Reads the fields after the owner from the separator bits of the bytes
    // from `head` (past the line's end set); the fields must begin within
    // the first `known` bytes. Sets serverStart (for an NS record) and
    // typeEnd.
    PLEXOR_ALWAYS_INLINE SimpleHead ReadSimpleHead(const char* head, std::uint64_t separators, std::size_t known,
                                                   std::size_t& serverStart, std::size_t& typeEnd)
    {
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
        if (!nextField() || end - start > 10 || !std::all_of(head + start, head + end, IsDigit))
            return SimpleHead::NotSimple;
        // The class IN, any case.
        if (!nextField() || end - start != 2 || (head[start] | 0x20) != 'i' || (head[start + 1] | 0x20) != 'n')
            return SimpleHead::NotSimple;
        if (!nextField())
            return SimpleHead::NotSimple;
        const char* type = head + start;
        const std::size_t typeLength = end - start;
        typeEnd = end;
        if (typeLength == 3 && (type[0] | 0x20) == 's' && (type[1] | 0x20) == 'o' && (type[2] | 0x20) == 'a')
            return SimpleHead::NotSimple; // it sets the apex and the origin
        if (typeLength != 2 || (type[0] | 0x20) != 'n' || (type[1] | 0x20) != 's')
            return SimpleHead::Other;
        // The server: a name that is not the root, not the origin.
        const std::uint64_t starts = ~separators & (~std::uint64_t {0} << at);
        serverStart = static_cast<std::size_t>(std::countr_zero(starts));
        if (starts == 0 || serverStart >= known)
            return SimpleHead::NotSimple;
        const char first = head[serverStart];
        return first == '.' || first == '@' ? SimpleHead::NotSimple : SimpleHead::Ns;
    }

    // The bytes after the owner that recent lines had, so that most lines
    // need no closer look at their TTL, class and type: those between owner
    // and server of the last NS line (when at most 32), and those up to the
    // separator after the type of the last few records of other types (a
    // zone has few kinds).
    template <class Masks>
    struct KnownHeads
    {
        struct Bytes
        {
            alignas(16) char bytes[32] = {};
            std::uint32_t mask = 0; // one bit per byte that counts
            std::size_t length = 0;

            void Set(const char* head, std::size_t size)
            {
                length = size;
                mask = static_cast<std::uint32_t>((std::uint64_t {1} << size) - 1);
                std::memcpy(bytes, head, sizeof bytes); // 64 bytes from a line's position are readable
            }
            bool Begins(const char* head) const { return (Masks::EqualMask32(head, bytes) & mask) == mask; }
        };
        static constexpr std::size_t kOthers = 4;

        Bytes ns;
        Bytes others[kOthers];
        std::size_t otherCount = 0;
        std::size_t otherNext = 0;

        // An NS line written like the last one: the shape ends in a
        // separator and a server follows.
        bool IsNsLine(const char* head, std::size_t headSize) const
        {
            if (ns.mask == 0 || !ns.Begins(head) || headSize <= ns.length)
                return false;
            const char first = head[ns.length];
            return !IsSeparator(first) && first != '.' && first != '@';
        }
        bool IsOtherLine(const char* head, std::size_t headSize) const
        {
            return std::any_of(others, others + otherCount,
                               [&](const Bytes& o) { return o.length <= headSize && o.Begins(head); });
        }
        void RememberOther(const char* head, std::size_t length)
        {
            others[otherNext].Set(head, length);
            otherNext = (otherNext + 1) % kOthers;
            otherCount = std::max(otherCount, otherNext == 0 ? kOthers : otherNext);
        }

        // The kind of the line whose fields after the owner start at `head`:
        // from the known heads, else read and remembered. For an NS line,
        // `serverStart` is where its server begins in `head`.
        SimpleHead Classify(const char* head, std::size_t headSize, std::size_t& serverStart)
        {
            if (IsNsLine(head, headSize))
            {
                serverStart = ns.length;
                return SimpleHead::Ns;
            }
            if (IsOtherLine(head, headSize))
                return SimpleHead::Other;
            std::uint64_t separators = Masks::SeparatorMask64(head);
            if (headSize < 64)
                separators |= ~std::uint64_t {0} << headSize; // past the line's end
            std::size_t typeEnd = 0;
            const SimpleHead kind = ReadSimpleHead(head, separators, 64, serverStart, typeEnd);
            if (kind == SimpleHead::Ns)
                ns.Set(head, serverStart <= 32 ? serverStart : 0);
            else if (kind == SimpleHead::Other && typeEnd < headSize && typeEnd < 32)
                RememberOther(head, typeEnd + 1); // up to the separator after the type
            return kind;
        }
    };

    // The NS line read last, when its bytes up to its server (fewer than 64)
    // are its owner and the NS shape: a further NS line of that owner,
    // written the same way, is found in one compare.
    template <class Masks>
    struct RepeatedNsLine
    {
        const char* line = nullptr;
        std::size_t length = 0;
        std::uint64_t mask = 0;

        // A CR at the end of the line cannot begin a server.
        bool Repeats(const char* p, std::size_t n) const
        {
            if (length == 0 || n <= length)
                return false;
            const char first = p[length];
            return (Masks::EqualMask64(p, line) & mask) == mask && !IsSeparator(first) && first != '.'
                && first != '@';
        }
        void Set(const char* p, std::size_t size)
        {
            line = p;
            length = size;
            mask = (std::uint64_t {1} << size) - 1;
        }
    };

    // The server field that begins at `field` on a line of `size` bytes from
    // there (a CR at its end included): up to the next separator.
    template <class Masks>
    PLEXOR_ALWAYS_INLINE void AddServer(SimpleNsLines& out, std::size_t line, const char* data, const char* field,
                                        std::size_t size)
    {
        out.servers.push_back({static_cast<std::uint32_t>(line), static_cast<std::uint32_t>(field - data),
                               static_cast<std::uint32_t>(Masks::FindSeparator(field, size))});
    }

    // Finds the entries (and with kServers the servers) of the lines from
    // line 1 on (see SimpleNsLines::Find; `out` is clear).
    template <class Masks, bool kServers>
    PLEXOR_ALWAYS_INLINE void FindSimpleNsLinesOf(const char* data, const LineEndIndex& lineEnds, SimpleNsLines& out)
    {
        const std::size_t count = lineEnds.size();
        const char* entryOwner = nullptr; // of the last entry
        std::size_t entryOwnerLength = 0;
        std::size_t ownerSize = 0; // of the line read last, as written
        KnownHeads<Masks> heads;
        RepeatedNsLine<Masks> repeat;
        for (std::size_t i = 1; i < count; ++i)
        {
            const std::size_t start = static_cast<std::size_t>(lineEnds[i - 1]) + 1;
            std::size_t n = lineEnds[i] - start;
            const char* p = data + start;
            if (repeat.Repeats(p, n))
            {
                if constexpr (kServers)
                    AddServer<Masks>(out, i, data, p + repeat.length, n - repeat.length);
                continue; // same owner: ownerSize stays
            }
            if (n > 0 && p[n - 1] == '\r')
                --n;
            if (n == 0 || IsSeparator(p[0]) || p[0] == '$' || p[0] == '.')
                return;
            const std::size_t ownerEnd = Masks::FindSeparator(p, n);
            if (ownerEnd == n)
                return;
            const char* head = p + ownerEnd;
            const std::size_t headSize = n - ownerEnd;
            std::size_t serverStart = 0; // in head
            const SimpleHead kind = heads.Classify(head, headSize, serverStart);
            if (kind == SimpleHead::NotSimple || (kind == SimpleHead::Ns && p[ownerEnd - 1] != '.'))
                return; // a relative owner needs the origin
            ownerSize = ownerEnd;
            repeat.length = 0;
            const std::size_t shapeLength = heads.ns.length;
            if (kind == SimpleHead::Ns && ownerEnd + shapeLength < 64 && shapeLength != 0 && headSize > shapeLength
                && !IsSeparator(head[shapeLength]))
                repeat.Set(p, ownerEnd + shapeLength);
            const std::size_t ownerLength = ownerEnd - 1;
            if (kind == SimpleHead::Ns
                && !(ownerLength == entryOwnerLength && scan::BytesEqual(p, entryOwner, ownerLength)))
            {
                if (ownerEnd <= 64 ? Masks::HasUpperAscii(p, ownerEnd) : std::any_of(p, p + ownerEnd, IsUpperAscii))
                    return;
                out.entries.push_back({static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(start),
                                       static_cast<std::uint32_t>(ownerLength)});
                entryOwner = p;
                entryOwnerLength = ownerLength;
            }
            if constexpr (kServers)
            {
                if (kind == SimpleHead::Ns)
                    AddServer<Masks>(out, i, data, head + serverStart, headSize - serverStart);
            }
        }
        out.found = count > 1;
        out.lastOwnerSize = static_cast<std::uint32_t>(ownerSize);
    }

    template <class Masks>
    PLEXOR_ALWAYS_INLINE void FindSimpleNsLines(const char* data, const LineEndIndex& lineEnds, SimpleNsLines& out)
    {
        if (out.withServers)
            FindSimpleNsLinesOf<Masks, true>(data, lineEnds, out);
        else
            FindSimpleNsLinesOf<Masks, false>(data, lineEnds, out);
    }
}
