#pragma once

// A comparison of two zone files read with the same settings: the entries of
// one file's list whose names the other file's list lacks, in the order of
// their list, each name once. "List" is what a plain run writes for that
// file: the same extractors read both files, the first into a list of name
// fingerprints in its order (fingerprint_list.h) and the second through a
// filter in front of the output.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "run/extraction_worker.h"

namespace plexor
{
    class EntrySink;
    class OutputWriter;
    class ZoneLineReader;

    // The part of an entry that is compared: in the domain mode with servers
    // appended, the name before ": "; otherwise the whole entry.
    std::string_view ComparedName(std::string_view entry, bool serversAppended);

    // Writes the changes between the zone file (today's) and the older one:
    // the new names (ZoneChanges::NewNames) or the dropped ones. Both files
    // are read whole, whatever the run's line limit; the counters count the
    // lines of both and the names written. Closes all three files. Returns
    // the message of a failure that ended the run, naming the file that
    // failed. An abort before the end of the second file sets
    // the run state's comparisonAborted. With a sink the changed entries go
    // to it and the output gets its result, after a comparison that went to
    // its end.
    std::optional<std::string> WriteZoneChanges(ZoneChanges changes, const ZoneReading& reading,
                                                ZoneLineReader& zoneFile, ZoneLineReader& olderZoneFile,
                                                OutputWriter& outputFile, EntrySink* sink = nullptr);

    // The body of a comparison run (RunBody, run/extraction_worker.h):
    // WriteZoneChanges with the context's files, RunChanges() and
    // RunEntrySink(); a context that asks for no comparison, or has no older
    // zone file, gets a plain run (ExtractZone).
    std::optional<std::string> CompareZones(RunContext& context, const ZoneReading& reading);

    // The thread procedure of a comparison run (RunWithBody with
    // CompareZones). Always returns 0.
    std::uint32_t ComparisonWorker(RunContext* context);
}
