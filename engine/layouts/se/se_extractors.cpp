// Extractors for the .SE zone layout: records of three lines, a head
// "- Name=<name>", a second line that is not examined, and a detail line that
// holds "Name Server=<host>" for a delegation or "IP Address=<address>" for a
// host, for example
//
//   - Name=alpha.se
//   (any text)
//       Name Server=ns1.host.se

#include <string_view>

#include "extraction/extractor_support.h"
#include "extraction/extractors.h"
#include "extraction/name_filter.h"
#include "input/zone_line_reader.h"

namespace plexor
{
    namespace
    {
        constexpr std::string_view kHeadKey = "- Name=";
        constexpr std::string_view kApexName = "se";
        constexpr std::string_view kNameServerKey = "Name Server=";
        constexpr std::string_view kAddressKey = "IP Address=";
        constexpr std::string_view kWhiteSpace = " \t\r\n\v\f";

        std::string_view Trim(std::string_view text)
        {
            const std::size_t first = text.find_first_not_of(kWhiteSpace);
            if (first == std::string_view::npos)
                return {};
            const std::size_t last = text.find_last_not_of(kWhiteSpace);
            return text.substr(first, last - first + 1);
        }

        // Reads the next line and, if it opens a record (and is not the apex
        // record, which stands alone), the record's two further lines. Counts
        // only the first line. Returns false at the end of the file, also
        // inside a record; `name` is then meaningless. `isRecord` tells
        // whether name and detailLine were filled.
        bool ReadRecord(RunState& state, ZoneLineReader& zoneFile, std::string& name, std::string_view& detailLine,
                        bool& isRecord)
        {
            std::string_view line;
            isRecord = false;
            if (!zoneFile.ReadLine(line))
                return false;
            CountLineRead(state);
            if (!line.starts_with(kHeadKey))
                return true;
            const std::string_view headName = line.substr(kHeadKey.size());
            if (headName == kApexName)
                return true;
            // The next reads may move the buffer the view points into.
            name.assign(headName);
            if (!zoneFile.ReadLine(detailLine) || !zoneFile.ReadLine(detailLine))
                return false;
            isRecord = true;
            return true;
        }
    }

    std::uint32_t ExtractSeDomains(ZoneLineReader& zoneFile, Batch& batch, std::uint32_t limit)
    {
        EngineRun& run = CurrentRun();
        const ExtractionSettings& settings = run.settings;
        RunState& state = run.state;
        const bool append = settings.appendNameServers != 0;
        const std::size_t listSize = settings.nameServers.size();

        std::uint32_t count = 0;
        if (limit == 0)
            return 0;

        std::string name;
        std::string upperServer;
        std::string_view detailLine;
        bool isRecord = false;
        while (detail::ContinueBeforeLine(state) && ReadRecord(state, zoneFile, name, detailLine, isRecord))
        {
            if (!isRecord)
                continue;
            const std::string_view trimmed = Trim(detailLine);
            const std::size_t key = trimmed.find(kNameServerKey);
            if (key == std::string_view::npos)
                continue;
            const std::string_view server = trimmed.substr(key + kNameServerKey.size());

            if (listSize > 0)
            {
                upperServer = ToUpperAscii(server);
                bool listed = false;
                for (std::size_t i = 0; i < listSize && !listed; ++i)
                    listed = upperServer.find(settings.nameServers[i]) != std::string::npos;
                if (!listed)
                    continue;
            }

            if (name == state.previousName)
            {
                // A further record of the name accepted last: its server joins
                // that name's entry, the batch's last (held back by the
                // worker across calls).
                if (append && !batch.empty())
                    batch.AppendToBack(",", server);
                continue;
            }

            if (!PassesNameFilter(settings, ToUpperAscii(name)))
                continue;

            batch.push_back(name);
            if (append)
                batch.AppendToBack(": ", server);
            state.previousName = name;
            CountNameExtracted(state);
            if (++count >= limit)
                break;
        }
        return count;
    }

    std::uint32_t ExtractSeNameServers(ZoneLineReader& zoneFile, Batch& batch, std::uint32_t limit)
    {
        std::uint32_t count = 0;
        if (limit == 0)
            return 0;

        RunState& state = CurrentRunState();
        std::string name;
        std::string_view detailLine;
        bool isRecord = false;
        while (detail::ContinueBeforeLine(state) && ReadRecord(state, zoneFile, name, detailLine, isRecord))
        {
            if (!isRecord || detailLine.find(kAddressKey) == std::string_view::npos)
                continue;
            batch.push_back(name);
            CountNameExtracted(state);
            if (++count >= limit)
                break;
        }
        return count;
    }
}
