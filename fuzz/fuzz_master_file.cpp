// Fuzz target: whole runs of the master-file layout through the worker. The
// first input byte chooses the mode, append mode and a name-server list; the
// rest is the zone file. Whatever the bytes, the run must end cleanly and:
// every output name is non-empty and holds no blank, tab, CR or LF, does not
// end in a dot and holds no upper-case ASCII letter; linesRead equals the
// input's line count; there are never more entries than NS records (each
// NS record needs a line of its own with the type "NS" as a token).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "run/extraction_state.h"
#include "run/extraction_worker.h"
#include "fuzz_check.h"
#include "fuzz_support.h"
#include "run/headless_run.h"
#include "run/run_messages.h"
#include "run/run_setup.h"

using namespace plexor;

namespace
{
    bool IsTokenEnd(char c)
    {
        return c == ' ' || c == '\t' || c == '\r' || c == '(' || c == ')' || c == ';' || c == '"';
    }

    // Lines that hold "ns", any case, as a token of their own: an upper
    // bound of the NS records, which never share a line.
    std::size_t LinesWithNsToken(const std::vector<std::string>& lines)
    {
        std::size_t count = 0;
        for (const std::string& line : lines)
        {
            for (std::size_t i = 0; i + 1 < line.size(); ++i)
            {
                const bool before = i == 0 || IsTokenEnd(line[i - 1]);
                const bool after = i + 2 == line.size() || IsTokenEnd(line[i + 2]);
                if (before && after && (line[i] | 0x20) == 'n' && (line[i + 1] | 0x20) == 's')
                {
                    ++count;
                    break;
                }
            }
        }
        return count;
    }

    void CheckName(std::string_view name)
    {
        PLEXOR_FUZZ_CHECK(!name.empty());
        // No final dot, unless it is escaped: a dot inside the last label
        // (`a\.` with an odd number of backslashes before the dot).
        std::size_t escapes = 0;
        while (escapes + 1 < name.size() && name[name.size() - 2 - escapes] == '\\')
            ++escapes;
        PLEXOR_FUZZ_CHECK(name.back() != '.' || escapes % 2 == 1);
        for (const char c : name)
        {
            PLEXOR_FUZZ_CHECK(c != ' ' && c != '\t' && c != '\r' && c != '\n');
            PLEXOR_FUZZ_CHECK(!(c >= 'A' && c <= 'Z'));
        }
    }
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    plexor::fuzz::InputCursor input(data, size);
    const std::uint8_t flags = input.Byte();
    const auto mode = static_cast<ExtractMode>(flags & 1);
    RunFilters filters;
    filters.minChars = 0;
    filters.maxChars = 1 << 20;
    filters.excludedChars.clear();
    filters.appendNameServers = (flags >> 1) & 1;
    if ((flags & 4) != 0)
        filters.nameServerText = "ns1,B";
    const std::string zone(input.Rest());
    // A zone beginning with the gzip magic is left to the reader's target.
    if (zone.size() >= 2 && static_cast<unsigned char>(zone[0]) == 0x1F
        && static_cast<unsigned char>(zone[1]) == 0x8B)
        return 0;

    std::string output;
    HeadlessRunContext context(mode, static_cast<std::int32_t>(ZoneType::Master));
    context.zoneFile.OpenMemory(zone, "zone");
    context.outputFile.CreateInMemory(output, "output");
    PrepareRun(filters);
    context.SetWorkerReference();
    PLEXOR_FUZZ_CHECK(ExtractionWorker(&context) == 0);
    PLEXOR_FUZZ_CHECK(!context.IsRunActive());
    PLEXOR_FUZZ_CHECK(!context.Failure().has_value());

    const auto linesRead = g_runState.linesRead.load();
    const auto names = g_runState.namesExtracted.load();
    PLEXOR_FUZZ_CHECK(context.FinalStatusText() == FormatStatusText(linesRead, names));
    const std::vector<std::string> lines = plexor::fuzz::ExpectedLines(zone);
    PLEXOR_FUZZ_CHECK(linesRead == lines.size());
    PLEXOR_FUZZ_CHECK(g_runState.unreadableRecords.load() <= linesRead);

    std::size_t entries = 0;
    std::size_t start = 0;
    for (std::size_t end; (end = output.find("\r\n", start)) != std::string::npos; start = end + 2)
    {
        std::string entry = output.substr(start, end - start);
        ++entries;
        if (mode == ExtractMode::Domains && filters.appendNameServers != 0)
        {
            // "name: server,server": the one blank is the separator's.
            const std::size_t separator = entry.find(": ");
            PLEXOR_FUZZ_CHECK(separator != std::string::npos);
            CheckName(entry.substr(0, separator));
            entry.erase(separator + 1, 1);
        }
        CheckName(entry);
    }
    PLEXOR_FUZZ_CHECK(start == output.size());
    PLEXOR_FUZZ_CHECK(entries == names);
    PLEXOR_FUZZ_CHECK(entries <= LinesWithNsToken(lines));
    return 0;
}
