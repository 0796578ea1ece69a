#include "layouts/layout_hint.h"

#include <array>
#include <cstdio>
#include <memory>

#include "input/byte_sources.h"
#include "extraction/extraction_state.h"

namespace plexor
{
    namespace
    {
        // The zone types as the dialog's list shows them.
        constexpr std::string_view kGtldText = "Com,Net,Edu Zone";
        constexpr std::string_view kSeText = "Se Zone";
        constexpr std::string_view kMasterText = "Standard Zone";

        // Record lines a layout must show, at least, and the share of the
        // record lines they must make up, before the beginning of a file
        // plainly belongs to it.
        constexpr std::size_t kMinimumLines = 3;

        bool IsUpperNameByte(char c)
        {
            return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_';
        }

        bool IsUpperName(std::string_view text)
        {
            if (text.empty())
                return false;
            for (const char c : text)
            {
                if (!IsUpperNameByte(c))
                    return false;
            }
            return true;
        }

        // "LABEL NS SERVER" or "HOST A ADDRESS" with single blanks and upper
        // case, as the .COM/.NET/.EDU layout writes its records.
        bool IsGtldRecord(std::string_view line)
        {
            const std::size_t first = line.find(' ');
            if (first == std::string_view::npos)
                return false;
            const std::size_t second = line.find(' ', first + 1);
            if (second == std::string_view::npos || line.find(' ', second + 1) != std::string_view::npos)
                return false;
            const std::string_view type = line.substr(first + 1, second - first - 1);
            return IsUpperName(line.substr(0, first)) && (type == "NS" || type == "A")
                && IsUpperName(line.substr(second + 1)) && line.find('\t') == std::string_view::npos;
        }

        std::string_view NextField(std::string_view& rest)
        {
            std::size_t start = 0;
            while (start < rest.size() && (rest[start] == ' ' || rest[start] == '\t'))
                ++start;
            std::size_t end = start;
            while (end < rest.size() && rest[end] != ' ' && rest[end] != '\t')
                ++end;
            const std::string_view field = rest.substr(start, end - start);
            rest.remove_prefix(end);
            return field;
        }

        bool IsRecordType(std::string_view field)
        {
            static constexpr std::array kTypes {"NS",   "A",     "AAAA", "SOA",    "DS",   "DNSKEY", "RRSIG",
                                                "NSEC", "NSEC3", "TXT",  "MX",     "CNAME", "PTR",   "SRV",
                                                "CAA",  "HINFO", "NSEC3PARAM", "ZONEMD", "CDS",  "CDNSKEY"};
            const std::string upper = ToUpperAscii(field);
            for (const char* type : kTypes)
            {
                if (upper == type)
                    return true;
            }
            return false;
        }

        // A master-file record that names its class: an owner (or a blank
        // owner), an optional TTL, the class IN in any case, then a known
        // type. The .COM/.NET/.EDU layout never writes a class.
        bool IsMasterRecord(std::string_view line)
        {
            std::string_view rest = line;
            if (!line.empty() && line[0] != ' ' && line[0] != '\t')
                NextField(rest); // the owner
            std::string_view field = NextField(rest);
            if (!field.empty() && field[0] >= '0' && field[0] <= '9')
                field = NextField(rest);
            if (ToUpperAscii(field) != "IN")
                return false;
            return IsRecordType(NextField(rest));
        }
    }

    std::optional<std::string> LayoutHintForText(std::string_view head, std::int32_t zoneType)
    {
        std::size_t records = 0; // lines that are neither empty nor comments
        std::size_t gtld = 0;
        std::size_t se = 0;
        std::size_t master = 0;
        while (!head.empty())
        {
            const std::size_t lf = head.find('\n');
            std::string_view line = head.substr(0, lf);
            head.remove_prefix(lf == std::string_view::npos ? head.size() : lf + 1);
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            if (line.find_first_not_of(" \t") == std::string_view::npos || line[0] == ';')
                continue;
            ++records;
            if (line.starts_with("- Name="))
                ++se;
            else if (IsGtldRecord(line))
                ++gtld;
            else if (IsMasterRecord(line))
                ++master;
        }

        // .SE records take three lines, one of them the head.
        const auto plainly = [&](std::size_t lines, std::size_t share) {
            return lines >= kMinimumLines && lines * share >= records;
        };
        std::string_view layout;
        const bool chosenGtld = zoneType == static_cast<std::int32_t>(ZoneType::Gtld);
        const bool chosenMaster = zoneType == static_cast<std::int32_t>(ZoneType::Master);
        const bool chosenSe = !chosenGtld && !chosenMaster;
        if (plainly(se, 4) && !chosenSe)
            layout = kSeText;
        else if (plainly(master, 2) && !chosenMaster)
            layout = kMasterText;
        else if (plainly(gtld, 2) && chosenSe)
            layout = kGtldText; // a master-file run reads these records too
        if (layout.empty())
            return std::nullopt;
        return "No names were found: the zone file looks like the layout \"" + std::string(layout)
            + "\"; choose that zone type and run again.";
    }

    std::optional<std::string> LayoutHintForFile(const std::filesystem::path& zonePath, std::int32_t zoneType)
    {
        // A pipe or device cannot be read a second time and may block.
        std::error_code error;
        if (!std::filesystem::is_regular_file(zonePath, error))
            return std::nullopt;
#ifdef _WIN32
        std::FILE* file = _wfopen(zonePath.c_str(), L"rb");
#else
        std::FILE* file = std::fopen(zonePath.c_str(), "rb");
#endif
        if (file == nullptr)
            return std::nullopt;
        const std::unique_ptr<ByteSource> source = MakeDecodingSource(MakeFileSource(file));
        if (!source)
            return std::nullopt;
        std::string head(kLayoutHintBytes, '\0');
        std::size_t size = 0;
        while (size < head.size())
        {
            const std::ptrdiff_t got = source->Read(head.data() + size, head.size() - size);
            if (got <= 0)
                break;
            size += static_cast<std::size_t>(got);
        }
        head.resize(size);
        // The last line may be cut short: leave it out.
        if (size == kLayoutHintBytes)
        {
            const std::size_t lf = head.rfind('\n');
            head.resize(lf == std::string::npos ? 0 : lf + 1);
        }
        return LayoutHintForText(head, zoneType);
    }
}
