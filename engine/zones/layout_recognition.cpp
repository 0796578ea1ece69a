#include "zones/layout_recognition.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

#include "input/zone_line_reader.h"
#include "layouts/layout_hint.h"

namespace plexor
{
    namespace
    {
        bool IsDigit(char c) { return c >= '0' && c <= '9'; }
        bool IsAlpha(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
        char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

        bool EqualsNoCase(std::string_view a, std::string_view b)
        {
            return a.size() == b.size()
                && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
        }

        bool StartsWithNoCase(std::string_view text, std::string_view prefix)
        {
            return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
        }

        bool AllDigits(std::string_view text)
        {
            return !text.empty() && std::all_of(text.begin(), text.end(), IsDigit);
        }

        bool IsBlankLine(std::string_view line)
        {
            return line.find_first_not_of(" \t") == std::string_view::npos;
        }

        // Digits alone, or numbers each followed by a unit: 3600, 1h30m, 2D.
        bool IsTtl(std::string_view text)
        {
            if (AllDigits(text))
                return true;
            std::size_t i = 0;
            while (i < text.size())
            {
                const std::size_t start = i;
                while (i < text.size() && IsDigit(text[i]))
                    ++i;
                if (i == start || i == text.size())
                    return false;
                if (std::string_view("smhdwSMHDW").find(text[i]) == std::string_view::npos)
                    return false;
                ++i;
            }
            return !text.empty();
        }

        bool IsClass(std::string_view text)
        {
            static constexpr std::array<std::string_view, 6> kClasses {"IN", "CH", "HS", "CS", "NONE", "ANY"};
            for (const std::string_view name : kClasses)
            {
                if (EqualsNoCase(text, name))
                    return true;
            }
            return StartsWithNoCase(text, "CLASS") && AllDigits(text.substr(5));
        }

        bool IsRecordType(std::string_view text)
        {
            // The mnemonics of the IANA DNS parameters registry, obsolete and
            // experimental ones too: a zone may still carry them.
            static constexpr std::string_view kTypes[] {
                "A",      "NS",       "MD",       "MF",     "CNAME",      "SOA",    "MB",         "MG",
                "MR",     "NULL",     "WKS",      "PTR",    "HINFO",      "MINFO",  "MX",         "TXT",
                "RP",     "AFSDB",    "X25",      "ISDN",   "RT",         "NSAP",   "NSAP-PTR",   "SIG",
                "KEY",    "PX",       "GPOS",     "AAAA",   "LOC",        "NXT",    "EID",        "NIMLOC",
                "SRV",    "ATMA",     "NAPTR",    "KX",     "CERT",       "A6",     "DNAME",      "SINK",
                "APL",    "DS",       "SSHFP",    "IPSECKEY", "RRSIG",    "NSEC",   "DNSKEY",     "DHCID",
                "NSEC3",  "NSEC3PARAM", "TLSA",   "SMIMEA", "HIP",        "NINFO",  "RKEY",       "TALINK",
                "CDS",    "CDNSKEY",  "OPENPGPKEY", "CSYNC", "ZONEMD",    "SVCB",   "HTTPS",      "SPF",
                "UINFO",  "UID",      "GID",      "UNSPEC", "NID",        "L32",    "L64",        "LP",
                "EUI48",  "EUI64",    "URI",      "CAA",    "AVC",        "DOA",    "AMTRELAY",   "RESINFO",
                "WALLET", "TA",       "DLV"};
            for (const std::string_view name : kTypes)
            {
                if (EqualsNoCase(text, name))
                    return true;
            }
            return StartsWithNoCase(text, "TYPE") && AllDigits(text.substr(4));
        }

        // "@", or name bytes with escapes ("\." or "\065").
        bool IsMasterName(std::string_view text)
        {
            if (text.empty())
                return false;
            if (text == "@")
                return true;
            for (std::size_t i = 0; i < text.size(); ++i)
            {
                const char c = text[i];
                if (c == '\\')
                {
                    if (++i == text.size())
                        return false;
                    continue;
                }
                if (!IsAlpha(c) && !IsDigit(c) && std::string_view("-_.*/").find(c) == std::string_view::npos)
                    return false;
            }
            return true;
        }

        bool IsUpperName(std::string_view text)
        {
            return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
                return (c >= 'A' && c <= 'Z') || IsDigit(c) || c == '-' || c == '_' || c == '.';
            });
        }

        std::string LowerOrigin(std::string_view name)
        {
            if (name == ".")
                return ".";
            std::string origin(name);
            if (!origin.empty() && origin.back() == '.'
                && (origin.size() < 2 || origin[origin.size() - 2] != '\\'))
                origin.pop_back();
            std::transform(origin.begin(), origin.end(), origin.begin(), LowerAscii);
            return origin;
        }

        // A line of the checkers' input and its number, from 1.
        struct Line
        {
            std::string_view text;
            std::size_t number = 0;
        };

        // The .COM/.NET/.EDU grammar (see the header).
        class GtldGrammar
        {
        public:
            bool Take(std::string_view line)
            {
                if (IsBlankLine(line) || line[0] == ';')
                    return true;
                if (line.find('\t') != std::string_view::npos)
                    return false;
                if (line.starts_with("$ORIGIN "))
                {
                    const std::string_view name = line.substr(8);
                    if (!IsUpperName(name))
                        return false;
                    if (!origin)
                        origin = LowerOrigin(name);
                    return true;
                }
                if (line.starts_with("$TTL "))
                    return IsTtl(line.substr(5));
                const std::size_t first = line.find(' ');
                if (first == std::string_view::npos)
                    return false;
                const std::size_t second = line.find(' ', first + 1);
                if (second == std::string_view::npos)
                    return false;
                const std::string_view owner = line.substr(0, first);
                const std::string_view type = line.substr(first + 1, second - first - 1);
                const std::string_view data = line.substr(second + 1);
                if (!(owner == "@" || IsUpperName(owner)) || data.empty() || data[0] == ' ')
                    return false;
                if (type == "NS")
                {
                    sawRecord = true;
                    return IsUpperName(data);
                }
                return type == "A" || type == "AAAA" || type == "DS";
            }
            bool sawRecord = false; // an NS record
            std::optional<std::string> origin;
        };

        // The .SE grammar (see the header).
        class SeGrammar
        {
        public:
            bool Take(std::string_view line)
            {
                if (m_recordLines > 0)
                {
                    --m_recordLines;
                    if (m_recordLines == 0 && line.find("Name Server=") != std::string_view::npos)
                        sawRecord = true;
                    return IsKeyValue(line);
                }
                if (IsBlankLine(line) || line[0] == '#' || line[0] == ';')
                    return true;
                if (!line.starts_with("- Name=") || line.size() == 7)
                    return false;
                const std::string_view name = line.substr(7);
                if (!origin && name.find('.') == std::string_view::npos)
                    origin = LowerOrigin(name);
                m_recordLines = 2;
                return true;
            }
            bool sawRecord = false; // a record with a name server
            std::optional<std::string> origin;

        private:
            static bool IsKeyValue(std::string_view line)
            {
                const std::size_t start = line.find_first_not_of(" \t\v\f");
                const std::size_t equals = line.find('=');
                if (start == std::string_view::npos || equals == std::string_view::npos || equals == start)
                    return false;
                const std::string_view key = line.substr(start, equals - start);
                return std::all_of(key.begin(), key.end(), [](char c) { return IsAlpha(c) || c == ' '; });
            }
            int m_recordLines = 0;
        };

        // The master-file grammar (see the header), with the origin found
        // on the way.
        class MasterGrammar
        {
        public:
            bool Take(std::string_view line)
            {
                if (m_depth == 0)
                {
                    m_fields.clear();
                    m_blankOwner = !line.empty() && (line[0] == ' ' || line[0] == '\t');
                }
                if (!Split(line))
                    return false;
                if (m_depth > 0)
                    return true;
                if (m_fields.empty())
                    return true;
                if (!m_blankOwner && m_fields[0].starts_with('$'))
                    return TakeDirective();
                return TakeRecord();
            }
            // False when a record is still open at the end of the file.
            bool Finish(bool ended) const { return !ended || m_depth == 0; }

            bool sawRecord = false;
            std::optional<std::string> Origin() const
            {
                if (m_soaOwner)
                    return m_soaOwner;
                return m_firstOrigin;
            }

        private:
            // Adds the line's fields to the record's; false on a parenthesis
            // closed that was not open, or a string not closed on its line.
            // A field is the bytes of the line from its first to its last, as
            // written (quotes and escapes kept), so it is kept as a view of
            // the line, which outlives the record.
            bool Split(std::string_view line)
            {
                std::size_t fieldStart = 0;
                bool inField = false;
                const auto end = [&](std::size_t at) {
                    if (inField)
                        m_fields.push_back(line.substr(fieldStart, at - fieldStart));
                    inField = false;
                };
                const auto begin = [&](std::size_t at) {
                    if (!inField)
                        fieldStart = at;
                    inField = true;
                };
                for (std::size_t i = 0; i < line.size(); ++i)
                {
                    const char c = line[i];
                    if (c == ';')
                    {
                        end(i);
                        return true;
                    }
                    if (c == ' ' || c == '\t')
                        end(i);
                    else if (c == '(' || c == ')')
                    {
                        end(i);
                        if (c == '(')
                            ++m_depth;
                        else if (m_depth-- == 0)
                            return false;
                    }
                    else if (c == '"')
                    {
                        const std::size_t close = ClosingQuote(line, i + 1);
                        if (close == std::string_view::npos)
                            return false;
                        begin(i);
                        i = close;
                    }
                    else
                    {
                        begin(i);
                        if (c == '\\' && i + 1 < line.size())
                            ++i;
                    }
                }
                end(line.size());
                return true;
            }

            static std::size_t ClosingQuote(std::string_view line, std::size_t from)
            {
                for (std::size_t i = from; i < line.size(); ++i)
                {
                    if (line[i] == '\\')
                        ++i;
                    else if (line[i] == '"')
                        return i;
                }
                return std::string_view::npos;
            }

            bool TakeDirective()
            {
                const std::string_view name = m_fields[0];
                const std::size_t arguments = m_fields.size() - 1;
                if (EqualsNoCase(name, "$ORIGIN"))
                {
                    if (arguments != 1 || !IsMasterName(m_fields[1]) || m_fields[1] == "@")
                        return false;
                    m_origin = Absolute(m_fields[1]);
                    if (!m_firstOrigin)
                        m_firstOrigin = LowerOrigin(m_origin);
                    return true;
                }
                if (EqualsNoCase(name, "$TTL"))
                    return arguments == 1 && IsTtl(m_fields[1]);
                if (EqualsNoCase(name, "$INCLUDE"))
                    return arguments >= 1;
                if (EqualsNoCase(name, "$GENERATE"))
                    return arguments >= 3;
                return false;
            }

            bool TakeRecord()
            {
                std::size_t i = 0;
                if (!m_blankOwner)
                {
                    if (!IsMasterName(m_fields[0]))
                        return false;
                    // The owner is made absolute only for the one SOA record
                    // that names the origin, with the origin in force now.
                    m_ownerName = m_fields[0];
                    m_ownerOrigin = m_origin;
                    i = 1;
                }
                bool ttl = false;
                bool cls = false;
                for (int k = 0; k < 2 && i < m_fields.size(); ++k)
                {
                    if (!ttl && IsTtl(m_fields[i]))
                        ttl = true;
                    else if (!cls && IsClass(m_fields[i]))
                        cls = true;
                    else
                        break;
                    ++i;
                }
                if (i + 1 >= m_fields.size() || !IsRecordType(m_fields[i]))
                    return false;
                sawRecord = true;
                if (!m_soaOwner && EqualsNoCase(m_fields[i], "SOA"))
                {
                    const std::string owner = Absolute(m_ownerName, m_ownerOrigin);
                    if (!owner.empty())
                        m_soaOwner = LowerOrigin(owner);
                }
                return true;
            }

            // A name as written (empty: no owner yet), taken with `origin`.
            static std::string Absolute(std::string_view name, const std::string& origin)
            {
                if (name == "@")
                    return origin;
                if (name.empty())
                    return {};
                const bool absolute = name.back() == '.' && (name.size() < 2 || name[name.size() - 2] != '\\');
                if (absolute || origin.empty())
                    return std::string(name);
                return origin == "." ? std::string(name) + "." : std::string(name) + "." + origin;
            }

            std::string Absolute(std::string_view name) const { return Absolute(name, m_origin); }

            std::vector<std::string_view> m_fields;
            bool m_blankOwner = false;
            int m_depth = 0;
            std::string m_origin; // absolute, as written; empty before any $ORIGIN
            // The last owner as written and the origin in force on its line.
            std::string_view m_ownerName;
            std::string m_ownerOrigin;
            std::optional<std::string> m_firstOrigin;
            std::optional<std::string> m_soaOwner;
        };

        std::optional<std::size_t> FindControlByte(std::string_view line)
        {
            for (std::size_t i = 0; i < line.size(); ++i)
            {
                const auto byte = static_cast<unsigned char>(line[i]);
                if ((byte < 0x20 && byte != '\t') || byte == 0x7F)
                    return static_cast<std::size_t>(byte);
            }
            return std::nullopt;
        }

        std::string Shown(std::string_view line)
        {
            constexpr std::size_t kShown = 60;
            return line.size() <= kShown ? std::string(line) : std::string(line.substr(0, kShown)) + "...";
        }

        LayoutRecognition Refuse(std::string why)
        {
            LayoutRecognition result;
            result.reason = "layout not recognised: " + why;
            return result;
        }

        LayoutRecognition Recognised(ZoneLayout layout, std::optional<std::string> origin)
        {
            LayoutRecognition result;
            result.layout = layout;
            result.origin = std::move(origin);
            return result;
        }

        // The lines looked at, split by the zone line reader itself, one
        // after the other in `text` (which the views point into).
        std::vector<std::string_view> LinesOf(std::string_view head, std::string& text, bool& cutOff)
        {
            ZoneLineReader reader;
            // A buffer the size of the head: the reader's default is sized
            // for whole zones, and the head is read once.
            reader.SetInitialBufferSize(head.size());
            reader.OpenMemory(std::string(head));
            text.reserve(head.size());
            std::vector<std::size_t> ends;
            std::string_view line;
            while (ends.size() < kRecognitionLines && reader.ReadLine(line))
            {
                text.append(line);
                ends.push_back(text.size());
            }
            cutOff = ends.size() == kRecognitionLines && reader.ReadLine(line);
            std::vector<std::string_view> lines;
            lines.reserve(ends.size());
            std::size_t start = 0;
            for (const std::size_t end : ends)
            {
                lines.push_back(std::string_view(text).substr(start, end - start));
                start = end;
            }
            return lines;
        }
    }

    std::string_view LayoutName(ZoneLayout layout)
    {
        switch (layout)
        {
        case ZoneLayout::Gtld:
            return "gtld";
        case ZoneLayout::Se:
            return "se";
        case ZoneLayout::Master:
            break;
        }
        return "master";
    }

    ZoneType ToZoneType(ZoneLayout layout)
    {
        switch (layout)
        {
        case ZoneLayout::Gtld:
            return ZoneType::Gtld;
        case ZoneLayout::Se:
            return ZoneType::Se;
        case ZoneLayout::Master:
            break;
        }
        return ZoneType::Master;
    }

    LayoutRecognition RecogniseLayoutInText(std::string_view head, bool ended)
    {
        if (head.size() > kRecognitionBytes)
        {
            // Leave out the line that the bound cuts short.
            const std::size_t lf = head.rfind('\n', kRecognitionBytes - 1);
            head = head.substr(0, lf == std::string_view::npos ? 0 : lf + 1);
            ended = false;
        }
        bool cutOff = false;
        std::string text;
        const std::vector<std::string_view> lines = LinesOf(head, text, cutOff);
        ended = ended && !cutOff;
        GtldGrammar gtld;
        SeGrammar se;
        MasterGrammar master;
        // The line at which each grammar was left; 0 while it fits.
        std::size_t gtldFailed = 0;
        std::size_t seFailed = 0;
        std::size_t masterFailed = 0;
        for (std::size_t n = 0; n < lines.size(); ++n)
        {
            const std::string_view line = lines[n];
            if (const auto byte = FindControlByte(line))
            {
                char code[8];
                std::snprintf(code, sizeof code, "%02X", static_cast<unsigned>(*byte));
                return Refuse("binary data (byte 0x" + std::string(code) + " on line " + std::to_string(n + 1) + ")");
            }
            if (gtldFailed == 0 && !gtld.Take(line))
                gtldFailed = n + 1;
            if (seFailed == 0 && !se.Take(line))
                seFailed = n + 1;
            if (masterFailed == 0 && !master.Take(line))
                masterFailed = n + 1;
            if (gtldFailed != 0 && seFailed != 0 && masterFailed != 0)
                break;
        }
        if (masterFailed == 0 && !master.Finish(ended))
            masterFailed = lines.size();

        if (gtldFailed == 0 && gtld.sawRecord)
            return Recognised(ZoneLayout::Gtld, gtld.origin);
        if (masterFailed == 0 && master.sawRecord)
            return Recognised(ZoneLayout::Master, master.Origin());
        if (seFailed == 0 && se.sawRecord)
            return Recognised(ZoneLayout::Se, se.origin);
        if (lines.empty())
            return Refuse("the file is empty");
        const std::size_t last = std::max({gtldFailed, seFailed, masterFailed});
        if (gtldFailed == 0 || seFailed == 0 || masterFailed == 0 || last == 0)
            return Refuse("no record in the first " + std::to_string(lines.size()) + " lines");
        return Refuse("line " + std::to_string(last) + " fits no layout: " + Shown(lines[last - 1]));
    }

    LayoutRecognition RecogniseLayout(const std::filesystem::path& zonePath)
    {
        const ZoneFileHead head = ReadZoneFileHead(zonePath, kRecognitionBytes);
        if (head.failed)
        {
            if (head.error)
                return Refuse("the file could not be read: " + head.error.message());
            return Refuse("the gzip data is damaged or cut off");
        }
        return RecogniseLayoutInText(head.text, head.ended);
    }

    std::optional<std::string> ZoneOrigin(const std::filesystem::path& zonePath)
    {
        return RecogniseLayout(zonePath).origin;
    }
}
