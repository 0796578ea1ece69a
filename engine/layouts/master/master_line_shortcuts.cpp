#include "layouts/master/master_file_reader.h"

// The reader's shortcuts: ways to the same outcome as the reading rules
// (master_file_reader.cpp) with fewer steps, for lines of plain text and
// for the NS lines written like the one before. The tests named
// "...SameAsFullReading" and the master-file fuzz target hold them to it.

#include <bit>
#include <cstring>

#include "layouts/master/master_plain_names.h"
#include "scan/byte_classes.h"
#include "scan/line_masks.h"

namespace plexor
{
    using master::ResolvePlainName;
    using scan::IsDigit;
    using scan::IsSeparator;
    using scan::LineMasks;

    void MasterFileReader::ReadPlainLine(std::string_view line)
    {
        const char* p = line.data();
        const std::size_t n = line.size();
        // 64 bytes at a time from `base`: the fields that end within them
        // from the separator bits, a field that runs past them byte by byte.
        std::size_t base = 0;
        while (m_stage != Stage::Rest && base < n)
        {
            std::uint64_t separators = LineMasks::SeparatorMask64(p + base);
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
        const std::size_t ownerEnd = LineMasks::FindSeparator(p, n);
        if (ownerEnd == n)
            return -1;
        const std::size_t serverStart = ownerEnd + m_shapeLength;
        const auto wanted = static_cast<std::uint32_t>((std::uint64_t {1} << m_shapeLength) - 1);
        if (m_shapeLength == 0 || serverStart >= n || (LineMasks::EqualMask32(p + ownerEnd, m_shapeBytes) & wanted) != wanted)
            return plain ? PassOtherRecord(p, n, ownerEnd) : -1;
        const char first = p[serverStart];
        if (first == '@')
            return -1;
        if (plain ? IsSeparator(first) || first == '.'
                  : LineMasks::FindSpecial(p, ownerEnd) != ownerEnd || !RestIsPlainServer(p + serverStart, n - serverStart))
            return -1;
        // A plain owner in lower case and fully qualified is its own name,
        // up to its final dot: handed out from the line itself and kept
        // unresolved for the lines after it. Any other owner is resolved;
        // one that is not a name leaves the line to the full reading, which
        // counts it.
        std::string_view owner;
        if (plain && ownerEnd <= sizeof m_pendingOwner && p[0] != '.' && p[ownerEnd - 1] == '.'
            && !LineMasks::HasUpperAscii(p, ownerEnd))
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
            // Sixteen bytes at a time, as the owner's end was found.
            const std::size_t serverEnd = serverStart + LineMasks::FindSeparator(p + serverStart, n - serverStart);
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
        separators = LineMasks::SeparatorMask64(head);
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

    std::string_view MasterFileReader::SimpleServer(std::string_view field)
    {
        // A simple line's server is plain, neither the root nor `@`: a name.
        ResolvePlainName(field, m_origin, m_server, true);
        return m_server;
    }

    void MasterFileReader::SettleOwner()
    {
        if (m_pendingOwnerLength == 0)
            return;
        ResolvePlainName(std::string_view(m_pendingOwner, m_pendingOwnerLength), m_origin, m_owner, true);
        m_pendingOwnerLength = 0;
    }

    bool MasterFileReader::RestIsPlainServer(const char* rest, std::size_t size)
    {
        const char first = rest[0];
        if (IsSeparator(first) || first == '.')
            return false;
        // No special byte, and no empty label: ".." nowhere (the line has
        // no escapes).
        std::uint32_t dotBefore = 0; // the byte before the block is a dot
        for (std::size_t i = 0; i < size; i += 32)
        {
            const std::size_t left = size - i;
            const std::uint32_t valid = left >= 32 ? ~std::uint32_t {0} : (std::uint32_t {1} << left) - 1;
            const std::uint32_t dots = LineMasks::DotMask32(rest + i) & valid;
            const std::uint32_t pairs = (dots & (dots >> 1)) | (dots & dotBefore);
            if (((LineMasks::SpecialMask32(rest + i) & valid) | pairs) != 0)
                return false;
            dotBefore = dots >> 31;
        }
        return true;
    }
}
