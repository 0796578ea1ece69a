#pragma once

// The gTLD layout's search of whole chunks: the record line classes of their
// lines (scan/record_lines.h), found by the reading thread while it is ahead
// of the domain extractor, which then takes them instead of classifying the
// lines itself.

#include <memory>

#include "input/chunk_scan.h"
#include "input/zone_line_reader.h"
#include "scan/record_lines.h"

namespace plexor
{
    struct RecordClassFindings final : ChunkFindings
    {
        RecordLineClasses classes;

    protected:
        void ClearFound() override { classes.Clear(); }
    };

    class RecordClassScan final : public ChunkScan
    {
    public:
        void Prepare(std::unique_ptr<ChunkFindings>& findings) const override;
        void FindAhead(const ChunkBytes& bytes, LineEndIndex& lineEnds, ChunkFindings& findings,
                       ReaderLoad& load) const override;
        void FindOnReader(const ChunkBytes& bytes, bool lookedAt, const ChunkFindings& previous,
                          LineEndIndex& lineEnds, ChunkFindings& findings) const override;
    };

    // The scan the domain extractor hands the zone line reader.
    const ChunkScan& RecordClassChunkScan();

    // The classes the reading thread found for the lines of `run`, when it
    // found them for every line of the run's buffer; null otherwise. Line
    // i of the run has index run.firstLine + i among them.
    inline const RecordLineClasses* FoundRecordClasses(const ZoneLineReader::LineRun& run)
    {
        const auto* found = static_cast<const RecordClassFindings*>(run.findings);
        if (found == nullptr || found->classes.Empty() || found->classes.prefixes.size() != run.firstLine + run.count)
            return nullptr;
        return &found->classes;
    }
}
