// Fuzz target: comparisons of two zone files. The first bytes choose the
// mode, the layout, append mode and where the rest splits into yesterday's
// zone and today's. Plain runs of each give the two lists; the comparison's
// new and dropped names are checked against them: every new name is in
// today's list and not in yesterday's, every dropped name the reverse, no
// name twice, and the new names with those both lists hold make up today's
// list.

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "compare/zone_changes.h"
#include "fuzz_check.h"
#include "fuzz_support.h"
#include "run/extraction_worker.h"
#include "run/headless_run.h"
#include "extraction/run_messages.h"
#include "run/run_setup.h"

using namespace plexor;

namespace
{
    using Entries = std::vector<std::string>;

    struct Setup
    {
        ExtractMode mode;
        std::int32_t zoneType;
        RunFilters filters;
        bool Appended() const { return mode == ExtractMode::Domains && filters.appendNameServers != 0; }
    };

    Entries SplitEntries(const std::string& output)
    {
        Entries entries;
        for (std::size_t start = 0; start < output.size();)
        {
            const std::size_t end = output.find("\r\n", start);
            PLEXOR_FUZZ_CHECK(end != std::string::npos);
            entries.push_back(output.substr(start, end - start));
            start = end + 2;
        }
        return entries;
    }

    // A plain run (changes None) or a comparison, zones in memory.
    Entries Run(const Setup& setup, const std::string& today, const std::string& older, ZoneChanges changes)
    {
        std::string output;
        HeadlessRunContext context(setup.mode, setup.zoneType);
        context.ShareRun(CurrentRun());
        context.changes = changes;
        context.zoneFile.OpenMemory(today, "today");
        context.olderZoneFile.OpenMemory(older, "yesterday");
        context.outputFile.CreateInMemory(output, "output");
        SetGtldOriginSuffix("");
        PrepareRun(setup.filters);
        context.SetWorkerReference();
        PLEXOR_FUZZ_CHECK((changes == ZoneChanges::None ? ExtractionWorker(&context) : ComparisonWorker(&context)) == 0);
        PLEXOR_FUZZ_CHECK(!context.Failure().has_value());
        PLEXOR_FUZZ_CHECK(!CurrentRunState().comparisonAborted.load());
        PLEXOR_FUZZ_CHECK(!context.zoneFile.IsOpen() && !context.outputFile.IsOpen());
        const Entries entries = SplitEntries(output);
        std::uint64_t lines = 0;
        std::uint64_t names = 0;
        GetRunCounters(lines, names);
        PLEXOR_FUZZ_CHECK(names == entries.size());
        PLEXOR_FUZZ_CHECK(context.FinalStatusText() == FormatStatusText(lines, names));
        return entries;
    }

    std::set<std::string> Names(const Entries& entries, bool appended)
    {
        std::set<std::string> names;
        for (const std::string& entry : entries)
            names.emplace(ComparedName(entry, appended));
        return names;
    }

    // `changes` are entries of `list` whose names `other` lacks, each once.
    void CheckChanges(const Entries& changes, const Entries& list, const Entries& other, bool appended)
    {
        const std::set<std::string> listEntries(list.begin(), list.end());
        const std::set<std::string> otherNames = Names(other, appended);
        std::set<std::string> seen;
        for (const std::string& entry : changes)
        {
            const std::string name(ComparedName(entry, appended));
            PLEXOR_FUZZ_CHECK(listEntries.count(entry) == 1);
            PLEXOR_FUZZ_CHECK(otherNames.count(name) == 0);
            PLEXOR_FUZZ_CHECK(seen.insert(name).second);
        }
        // The changes and the names both lists hold make up the list.
        std::set<std::string> together = seen;
        for (const std::string& name : Names(list, appended))
        {
            if (otherNames.count(name) == 1)
                together.insert(name);
        }
        PLEXOR_FUZZ_CHECK(together == Names(list, appended));
    }
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    plexor::fuzz::InputCursor input(data, size);
    const std::uint8_t flags = input.Byte();
    constexpr std::int32_t kZoneTypes[] = {0, 1, 2, 2};
    Setup setup {static_cast<ExtractMode>(flags & 1), kZoneTypes[(flags >> 1) & 3], RunFilters {}};
    setup.filters.appendNameServers = (flags >> 3) & 1;
    setup.filters.lineLimit = 0;
    if ((flags & 0x10) == 0)
    {
        setup.filters.minChars = 0;
        setup.filters.maxChars = 255;
        setup.filters.excludedChars.clear();
    }
    const std::size_t split = static_cast<std::size_t>(input.Byte()) << 8 | input.Byte();
    const std::string_view rest = input.Rest();
    const std::string older(rest.substr(0, split % (rest.size() + 1)));
    const std::string today(rest.substr(older.size()));
    // Gzip data is the reader's own target's business.
    for (const std::string* zone : {&older, &today})
    {
        if (zone->size() >= 2 && static_cast<unsigned char>((*zone)[0]) == 0x1F
            && static_cast<unsigned char>((*zone)[1]) == 0x8B)
            return 0;
    }

    const Entries todayList = Run(setup, today, "", ZoneChanges::None);
    const Entries olderList = Run(setup, older, "", ZoneChanges::None);
    CheckChanges(Run(setup, today, older, ZoneChanges::NewNames), todayList, olderList, setup.Appended());
    CheckChanges(Run(setup, today, older, ZoneChanges::DroppedNames), olderList, todayList, setup.Appended());
    return 0;
}
