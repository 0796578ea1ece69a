#pragma once

// A window run over several zone files: the worker reads them one after
// another into one combined output, each zone's layout recognised from its
// first lines, and keeps one summary row per zone.
//
// Each zone is read as a run of its own would read it: from a fresh start
// (no domain or gTLD origin carried over from the zone before) and with the
// line limit counted from its own first line, so the combined output is the
// zones' own outputs one after another. A zone that fails (it cannot be
// opened, read or inflated, or its layout cannot be told) contributes
// nothing: what it wrote is taken back from the output. A zone cut short by
// Abort fails likewise ("stopped before its end"), and the zones after it
// are not read ("stopped before it was read"), so the output holds exactly
// the zones read whole.
//
// A zone that is no regular file (a named pipe) cannot be read twice, once
// to recognise it and once by the run: it is read with the layout chosen in
// the window.

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "run/run_progress.h"
#include "zones/zone_set.h"
#include "zones/zone_summary.h"

namespace plexor
{
    class CombinedOutput;
    class OutputWriter;
    class ZoneLineReader;
    struct ZoneReading;

    class ZoneListRun final
    {
    public:
        // Creates (or empties) the combined output, on the window's thread
        // before the worker starts; null with `failure` ("Error: Unable to
        // open ...") when it cannot be created.
        static std::unique_ptr<ZoneListRun> Open(std::vector<ZoneFile> zones, const std::filesystem::path& output,
                                                 const std::string& outputName, std::string& failure);
        ~ZoneListRun();
        ZoneListRun(const ZoneListRun&) = delete;
        ZoneListRun& operator=(const ZoneListRun&) = delete;

        // The worker's body: every zone through `zoneFile` and `outputFile`
        // (which it opens and closes for each zone), in the calling thread's
        // current run. Returns the message of a failure of the combined
        // output, which ends the whole run.
        std::optional<std::string> Read(ZoneLineReader& zoneFile, OutputWriter& outputFile,
                                        const ZoneReading& reading);

        // Abort: called on the window's thread before the run's abort flag
        // is set, so that a zone that ends at the line limit does not take
        // the abort for its own stop.
        void RequestStop() { m_stopRequested.store(true); }

        // The stored bytes of every zone, and of those read so far (the
        // zones done and what `zoneFile` has read of the current one).
        RunBytes Progress(const ZoneLineReader& zoneFile) const;

        // One row per zone, in their order; read once the run has ended.
        const std::vector<ZoneRow>& Rows() const { return m_rows; }
        std::size_t Zones() const { return m_zones.size(); }

    private:
        class Sink;
        ZoneListRun(std::vector<ZoneFile> zones, std::unique_ptr<CombinedOutput> output, std::string outputName);
        std::optional<std::string> WriteHeader(OutputWriter& outputFile, const ZoneReading& reading);
        // Reads zone i; returns a failure of the combined output.
        std::optional<std::string> ReadZone(std::size_t i, ZoneLineReader& zoneFile, OutputWriter& outputFile,
                                            const ZoneReading& reading);
        std::optional<std::string> ReadRecognised(const ZoneFile& zone, ZoneRow& row, ZoneLineReader& zoneFile,
                                                  OutputWriter& outputFile, ZoneReading reading);
        // Drops what the failed zone wrote; a failure when the output
        // cannot take it back.
        std::optional<std::string> TakeBack(std::uint64_t size);
        std::optional<std::string> OutputFailure() const;

        std::vector<ZoneFile> m_zones;
        std::vector<std::uint64_t> m_sizes;
        std::uint64_t m_totalSize = 0;
        std::unique_ptr<CombinedOutput> m_output;
        std::unique_ptr<Sink> m_sink;
        std::string m_outputName;
        std::vector<ZoneRow> m_rows;
        std::atomic<std::uint64_t> m_bytesDone {0};
        // A zone is being read: the zone reader's count is of that zone.
        std::atomic<bool> m_inZone {false};
        std::atomic<bool> m_stopRequested {false};
    };

    // The summary shown after the run: a totals line, then one line per
    // zone, the failed ones first with their reasons ("FILE: failed:
    // REASON"), then the others ("FILE (ZONE, LAYOUT): N names, RESULT"), at
    // most `maxLines` zone lines and a last line for the zones left out.
    std::string ZoneListSummary(const std::vector<ZoneRow>& rows, std::size_t maxLines = 20);
}
