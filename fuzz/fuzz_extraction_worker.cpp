// Fuzz target: whole runs of the extraction worker with all four extractors.
// The first bytes of the input choose the mode, the zone layout, the filters
// and the origin suffix; the rest is the zone file. Each run goes through
// ExtractionWorker with a headless run context on a zone and an output held
// in memory, and its result is checked against what must hold for any
// input: whole CR LF lines, one per counted name, counters within the input,
// the final status, no failure, the run's end reported.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "extraction/extraction_state.h"
#include "run/extraction_worker.h"
#include "extraction/extractors.h"
#include "fuzz_check.h"
#include "fuzz_support.h"
#include "run/headless_run.h"
#include "extraction/run_messages.h"
#include "run/run_setup.h"

using namespace plexor;

namespace
{
    struct RunOutcome
    {
        std::string output;
        std::string status;
        std::uint64_t linesRead = 0;
        std::uint64_t namesExtracted = 0;
    };

    RunOutcome Run(std::string zone, ExtractMode mode, std::int32_t zoneType, const RunFilters& filters,
                   const std::string& originSuffix)
    {
        RunOutcome outcome;
        HeadlessRunContext context(mode, zoneType);
        context.ShareRun(CurrentRun());
        // A small read buffer: a quick start, and refills within small zones.
        context.zoneFile.SetInitialBufferSize(zone.size() / 2);
        context.zoneFile.OpenMemory(std::move(zone), "zone");
        context.outputFile.CreateInMemory(outcome.output, "output");
        SetGtldOriginSuffix(originSuffix);
        PrepareRun(filters);
        context.SetWorkerReference();

        PLEXOR_FUZZ_CHECK(ExtractionWorker(&context) == 0);

        GetRunCounters(outcome.linesRead, outcome.namesExtracted);
        outcome.status = context.FinalStatusText();
        PLEXOR_FUZZ_CHECK(!context.IsRunActive());
        PLEXOR_FUZZ_CHECK(!context.zoneFile.IsOpen());
        PLEXOR_FUZZ_CHECK(!context.outputFile.IsOpen());
        PLEXOR_FUZZ_CHECK(context.FailureReports() == 0);
        PLEXOR_FUZZ_CHECK(!context.Failure().has_value());
        PLEXOR_FUZZ_CHECK(outcome.status == FormatStatusText(outcome.linesRead, outcome.namesExtracted));
        return outcome;
    }

    // Every LF of the output ends an entry and follows a CR; nothing comes
    // after the last one. Entries never hold an LF, since lines never do.
    void CheckOutputLines(const RunOutcome& outcome)
    {
        const std::string& output = outcome.output;
        std::size_t lfs = 0;
        for (std::size_t i = 0; i < output.size(); ++i)
        {
            if (output[i] == '\n')
            {
                PLEXOR_FUZZ_CHECK(i > 0 && output[i - 1] == '\r');
                ++lfs;
            }
        }
        PLEXOR_FUZZ_CHECK(output.empty() || output.back() == '\n');
        PLEXOR_FUZZ_CHECK(lfs == outcome.namesExtracted);
    }

    std::int32_t Bound(std::uint8_t byte)
    {
        // Mostly small bounds, sometimes the extremes.
        if (byte == 0xFF)
            return std::numeric_limits<std::int32_t>::max();
        if (byte == 0xFE)
            return std::numeric_limits<std::int32_t>::min();
        return static_cast<std::int32_t>(byte % 80) - 4;
    }
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    plexor::fuzz::InputCursor input(data, size);
    const std::uint8_t flags = input.Byte();
    const auto mode = static_cast<ExtractMode>(flags & 1);
    constexpr std::int32_t kZoneTypes[] = {0, 1, 2, -7};
    const std::int32_t zoneType = kZoneTypes[(flags >> 1) & 3];
    const bool alsoGzip = (flags & 0x10) != 0;
    const std::string originSuffix = (flags & 0x20) != 0 ? ".COM" : "";

    RunFilters filters;
    filters.appendNameServers = (flags >> 3) & 1;
    filters.minChars = Bound(input.Byte());
    filters.maxChars = Bound(input.Byte());
    const std::size_t excludedLength = input.Byte() % 8;
    const std::size_t includeLength = input.Byte() % 16;
    const std::size_t nameServerLength = input.Byte() % 32;
    filters.excludedChars = std::string(input.Take(excludedLength));
    filters.includeWordsText = std::string(input.Take(includeLength));
    filters.nameServerText = std::string(input.Take(nameServerLength));
    const std::string zone(input.Rest());

    // The reader would take a zone beginning with the gzip magic for a
    // compressed one; such inputs are left to the reader's own target.
    if (zone.size() >= 2 && static_cast<unsigned char>(zone[0]) == 0x1F
        && static_cast<unsigned char>(zone[1]) == 0x8B)
        return 0;

    const RunOutcome plain = Run(zone, mode, zoneType, filters, originSuffix);
    CheckOutputLines(plain);
    // A run counts each line at most once.
    PLEXOR_FUZZ_CHECK(plain.linesRead <= plexor::fuzz::ExpectedLines(zone).size());
    // Nothing is extracted from a zone without lines, and no entry comes
    // from nowhere: each new entry needs a counted line.
    PLEXOR_FUZZ_CHECK(plain.namesExtracted <= plain.linesRead);

    if (alsoGzip)
    {
        // The same zone compressed gives the same run.
        const RunOutcome gz = Run(plexor::fuzz::Gzip(zone, 6), mode, zoneType, filters, originSuffix);
        PLEXOR_FUZZ_CHECK(gz.output == plain.output);
        PLEXOR_FUZZ_CHECK(gz.status == plain.status);
    }
    return 0;
}
