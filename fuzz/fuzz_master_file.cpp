// Fuzz target: the master-file layout, driven without a worker thread. The
// first input byte chooses the mode, append mode, a name-server list, the
// batch size and the bytes that follow each line in memory; the rest is the
// zone file. Whatever the bytes:
// - the extractor, called batch after batch on the zone in memory, yields
//   names that are non-empty and hold no blank, tab, CR or LF, do not end in
//   a dot and hold no upper-case ASCII letter; linesRead equals the input's
//   line count; there are never more entries than NS records (each NS record
//   needs a line of its own with the type "NS" as a token);
// - the reader's shortcuts give what its full reading gives: a reader told
//   which lines are plain text, passing over the lines it may pass over
//   (RepeatsLastNsRecord), hands out the same NS records, with the same
//   owners, apex flags and servers, and counts the same unreadable records
//   as a reader given every line in full; and neither depends on the bytes
//   after a line.
// (fuzz_extraction_worker keeps whole runs through the worker.)

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "fuzz_support.h"
#include "scan/line_index.h"
#include "input/zone_line_reader.h"
#include "extraction/extractors.h"
#include "layouts/master/master_extractors.h"
#include "layouts/master/master_file_reader.h"
#include "extraction/batch.h"
#include "extraction/extraction_state.h"
#include "run/extraction_worker.h"
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

    // What one reader hands out for one line: nothing, or an NS record.
    struct LineResult
    {
        bool record = false;
        std::string owner;
        std::string server;
        bool ownerIsApex = false;
    };

    // Each line copied into memory with kLineProbeBytes bytes of `filler`
    // after it, as the line reader's buffers have.
    std::vector<std::string> PaddedLines(const std::vector<std::string>& lines, char filler)
    {
        std::vector<std::string> padded;
        padded.reserve(lines.size());
        for (const std::string& line : lines)
            padded.push_back(line + std::string(kLineProbeBytes, filler));
        return padded;
    }

    // A reader that reads every line by the rules alone, or one with its
    // shortcuts, told which lines are plain and passing over those it may; the run's unreadable records counted
    // into `unreadable`.
    std::vector<LineResult> ReadAll(const std::vector<std::string>& lines, char filler, bool shortcuts,
                                    bool servers, std::uint64_t& unreadable)
    {
        CurrentRunState().unreadableRecords.store(0);
        const std::vector<std::string> padded = PaddedLines(lines, filler);
        MasterFileReader reader;
        reader.WantServers(servers);
        reader.UseShortcuts(shortcuts);
        std::vector<LineResult> results(lines.size());
        std::string lastOwner;
        for (std::size_t i = 0; i < lines.size(); ++i)
        {
            const std::string_view line(padded[i].data(), lines[i].size());
            const bool plain = shortcuts && IsPlainMasterText(line.data(), line.size(), false);
            LineResult& result = results[i];
            if (shortcuts && reader.RepeatsLastNsRecord(line, plain))
            {
                // Another NS record of the owner before; its server is not
                // read.
                result.record = true;
                result.owner = lastOwner;
                result.ownerIsApex = reader.IsApex(lastOwner);
                continue;
            }
            if (!reader.ReadLine(line, plain))
                continue;
            const MasterNsRecord& record = reader.Record();
            result = {true, std::string(record.owner), std::string(record.server), record.ownerIsApex};
            lastOwner = result.owner;
        }
        reader.EndOfFile();
        unreadable = CurrentRunState().unreadableRecords.load();
        return results;
    }

    void CheckShortcutsReadAsRules(const std::vector<std::string>& lines, char filler)
    {
        for (const bool servers : {true, false})
        {
            std::uint64_t unreadableFull = 0;
            std::uint64_t unreadableShort = 0;
            const std::vector<LineResult> full = ReadAll(lines, '\0', false, true, unreadableFull);
            const std::vector<LineResult> shortened = ReadAll(lines, filler, true, servers, unreadableShort);
            PLEXOR_FUZZ_CHECK(unreadableShort == unreadableFull);
            for (std::size_t i = 0; i < lines.size(); ++i)
            {
                const LineResult& a = full[i];
                const LineResult& b = shortened[i];
                PLEXOR_FUZZ_CHECK(a.record == b.record);
                PLEXOR_FUZZ_CHECK(a.owner == b.owner);
                PLEXOR_FUZZ_CHECK(a.ownerIsApex == b.ownerIsApex);
                // A line passed over has no server read; without servers
                // none is handed out.
                PLEXOR_FUZZ_CHECK(b.server.empty() || a.server == b.server);
                if (a.record)
                    CheckName(a.owner.empty() ? std::string_view("root") : std::string_view(a.owner));
            }
        }
    }

    // The extractor, batch after batch of at most `limit` entries, on the
    // zone in memory: the entries, and checks of each batch.
    std::vector<std::string> ExtractAll(ExtractMode mode, std::string zone, std::uint32_t limit)
    {
        const MasterExtractor extract =
            mode == ExtractMode::Domains ? &ExtractMasterDomains : &ExtractMasterNameServers;
        ZoneLineReader reader;
        // Half the zone: longer zones are read in more than one fill.
        reader.SetInitialBufferSize(zone.size() / 2);
        reader.OpenMemory(std::move(zone));
        MasterRunState run;
        std::vector<std::string> all;
        for (;;)
        {
            Batch batch;
            const std::uint32_t count = extract(run, reader, batch, limit);
            PLEXOR_FUZZ_CHECK(count == batch.size());
            PLEXOR_FUZZ_CHECK(count <= limit);
            for (std::string& entry : batch.Entries())
                all.push_back(std::move(entry));
            if (count == 0)
                return all;
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
    // Batches of 1, 2, 3 or of the worker's size.
    constexpr std::uint32_t kLimits[] = {kBatchLimit, 1, 2, 3};
    const std::uint32_t limit = kLimits[(flags >> 3) & 3];
    // What follows each line in memory: never part of it.
    constexpr char kFillers[] = {'\0', ' ', '.', '\n', ';', 'a', '\\', '"'};
    const char filler = kFillers[(flags >> 5) & 7];
    const std::string zone(input.Rest());
    // A zone beginning with the gzip magic is left to the reader's target.
    if (zone.size() >= 2 && static_cast<unsigned char>(zone[0]) == 0x1F
        && static_cast<unsigned char>(zone[1]) == 0x8B)
        return 0;

    const std::vector<std::string> lines = plexor::fuzz::ExpectedLines(zone);
    PrepareRun(filters);
    CheckShortcutsReadAsRules(lines, filler);

    PrepareRun(filters);
    const std::vector<std::string> entries = ExtractAll(mode, zone, limit);
    PLEXOR_FUZZ_CHECK(CurrentRunState().linesRead.load() == lines.size());
    PLEXOR_FUZZ_CHECK(CurrentRunState().namesExtracted.load() == entries.size());
    PLEXOR_FUZZ_CHECK(CurrentRunState().unreadableRecords.load() <= lines.size());
    for (std::string entry : entries)
    {
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
    PLEXOR_FUZZ_CHECK(entries.size() <= LinesWithNsToken(lines));
    return 0;
}
