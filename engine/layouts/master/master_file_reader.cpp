#include "layouts/master/master_file_reader.h"

// The reading rules of a standard master file (RFC 1035, section 5), as the
// header lists them: fields, parentheses, quotes, escapes, comments, the
// owner, the directives, TTL, class and type. The shortcuts that reach the
// same answers with fewer steps for the common lines are in
// master_line_shortcuts.cpp; the searches over whole chunks in
// scan/master_lines.h.

#include <cstring>

#include "layouts/master/master_plain_names.h"
#include "extraction/extraction_state.h"
#include "scan/byte_classes.h"
#include "scan/line_masks.h"

namespace plexor
{
    using master::HasEmptyLabel;
    using master::ResolvePlainName;
    using scan::IsDigit;
    using scan::IsSeparator;
    using scan::LineMasks;
    using scan::LowerAscii;

    namespace
    {
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
    }

    bool MasterFileReader::ReadLine(std::string_view line, bool plain)
    {
        if (m_shortcuts && !m_inRecord && (m_shapeLength != 0 || plain))
        {
            const int shaped = ReadShapedLine(line, plain);
            if (shaped >= 0)
                return shaped == 1;
        }
        SettleOwner();
        const bool beginsRecord = BeginLine(line);
        if (!beginsRecord || !m_shortcuts)
        {
            ReadEscapedLine(line);
            return EndLine();
        }
        const std::size_t special = plain ? line.size() : LineMasks::FindSpecial(line.data(), line.size());
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

    void MasterFileReader::CountUnreadable()
    {
        // Rare: the current run is looked up each time.
        auto& counter = CurrentRunState().unreadableRecords;
        counter.store(counter.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
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
}
