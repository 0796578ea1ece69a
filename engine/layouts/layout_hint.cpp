#include "layouts/layout_hint.h"

#include <algorithm>
#include <array>
#include <cerrno>
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
        // A file that cannot be read gets no hint; what was read before a
        // failure still can.
        ZoneFileHead head = ReadZoneFileHead(zonePath);
        if (head.failed && head.text.empty())
            return std::nullopt;
        return LayoutHintForText(head.text, zoneType);
    }

    ZoneFileHead ReadZoneFileHead(const std::filesystem::path& zonePath, std::size_t maxBytes)
    {
        ZoneFileHead head;
        const auto fail = [&head](std::error_code error) {
            head.failed = true;
            head.error = error;
            return std::move(head);
        };
        std::error_code error;
        const std::filesystem::file_status status = std::filesystem::status(zonePath, error);
        if (error)
            return fail(error);
        if (std::filesystem::is_directory(status))
            return fail(std::make_error_code(std::errc::is_a_directory));
        if (!std::filesystem::is_regular_file(status))
            return fail(std::make_error_code(std::errc::invalid_argument));
#ifdef _WIN32
        std::FILE* file = _wfopen(zonePath.c_str(), L"rb");
#else
        std::FILE* file = std::fopen(zonePath.c_str(), "rb");
#endif
        if (file == nullptr)
            return fail(std::error_code(errno, std::generic_category()));
        // Compressed zone text takes a quarter of its size or less: reads
        // of that size fetch the head in a few reads, and no more of the
        // file than it needs.
        const std::size_t readSize = std::clamp<std::size_t>(maxBytes / 4, 4096, kGzipInputBytes);
        const std::unique_ptr<ByteSource> source =
            MakeDecodingSource(MakeFileSource(file), DefaultInflater(), readSize);
        if (!source)
            return fail(std::make_error_code(std::errc::io_error));
        // One byte more than asked for tells whether the file goes on.
        std::string& text = head.text;
        text.assign(maxBytes + 1, '\0');
        std::size_t size = 0;
        while (size < text.size())
        {
            const std::ptrdiff_t got = source->Read(text.data() + size, text.size() - size);
            if (got < 0)
            {
                head.failed = true;
                head.error = source->Error();
                break;
            }
            if (got == 0)
            {
                head.ended = true;
                break;
            }
            size += static_cast<std::size_t>(got);
        }
        text.resize(size);
        // The last line may be cut short: leave it out.
        if (size > maxBytes)
        {
            const std::size_t lf = text.rfind('\n', maxBytes - 1);
            text.resize(lf == std::string::npos || maxBytes == 0 ? 0 : lf + 1);
        }
        return head;
    }
}
