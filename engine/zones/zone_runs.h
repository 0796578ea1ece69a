#pragma once

// A run over many zone files: each zone's layout recognised (or the one
// given), each zone read as a headless run of its own, several side by side
// (zone_jobs), their outputs combined in list order into one output or
// written one per zone into a folder, and one summary row per zone
// (zone_summary).
//
// A zone that fails (it cannot be opened, read or inflated, or its layout
// is not recognised) contributes nothing: its rows are taken back from the
// combined output, and its own output in a folder is written under a hidden
// name and renamed only when the zone's run has succeeded.
//
// A comparison (new or dropped names) pairs each zone with the older zone
// of the same origin (PairZones). A zone without an older one ("no older
// file"), or whose older one fails ("older file failed: REASON"),
// contributes no names: a missed day never turns a whole zone into new
// names. The older zones no zone was paired with get rows of their own
// ("only in the older folder"), after the zones' rows.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "extraction/extraction_state.h"
#include "output/entry_rows.h"
#include "extraction/batch.h"
#include "run/run_setup.h"
#include "zones/zone_set.h"
#include "zones/zone_summary.h"

namespace plexor
{
    // How far a run over many zones has come, over all its files.
    struct ZonesProgress
    {
        // Bytes read as stored (compressed bytes of a gzip file) and the
        // stored sizes of every zone file of the run (older ones included).
        std::uint64_t rawBytesRead = 0;
        std::uint64_t rawSize = 0;
        std::uint64_t linesRead = 0;
        std::uint64_t namesExtracted = 0;
        std::size_t zonesDone = 0;
        std::size_t zones = 0;
    };

    struct ZoneRunSetup
    {
        ExtractMode mode = ExtractMode::Domains;
        // Nothing: each file's layout is recognised (layout "auto").
        std::optional<ZoneType> layout;
        RunFilters filters;
        LineEnd lineEnd = LineEnd::CrLf;
        OutputForm form = OutputForm::List;
        // The table forms name each entry's zone in a zone column.
        bool zoneColumn = true;

        // A comparison, and the older zones (from an older folder).
        ZoneChanges changes = ZoneChanges::None;
        std::vector<ZoneFile> olderZones;

        // One combined output (a file, or standard output), or one output
        // per zone in `output.folder` (which exists).
        ZoneOutputTarget output;
        bool outputToStandardOutput = false;

        // Zones read side by side; 0 counts as 1.
        unsigned jobs = 1;

        // Called on the calling thread about every watchInterval while
        // zones are read, and once at the end.
        std::function<void(const ZonesProgress&)> watch;
        std::chrono::milliseconds watchInterval {250};
        // Polled while zones are read: true ends every zone's run early;
        // zones not yet started are not read, and a zone cut short fails.
        std::function<bool()> stopRequested;
    };

    struct ZonesOutcome
    {
        // One per zone in their order, then the older zones no zone took.
        std::vector<ZoneRow> rows;
        // The combined output could not be opened or written: the message.
        std::optional<std::string> outputFailure;
    };

    // The reason a zone failed, from a headless run's message: "Error: "
    // dropped, the line break before the system's reason as ": ".
    std::string FailureReason(const std::string& message);

    ZonesOutcome RunZones(const std::vector<ZoneFile>& zones, const ZoneRunSetup& setup);
}
