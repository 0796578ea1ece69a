#include "layouts/gtld/gtld_chunk_scan.h"

namespace plexor
{
    void RecordClassScan::Prepare(std::unique_ptr<ChunkFindings>& findings) const
    {
        if (dynamic_cast<RecordClassFindings*>(findings.get()) == nullptr)
            findings = std::make_unique<RecordClassFindings>();
    }

    void RecordClassScan::FindAhead(const ChunkBytes& bytes, LineEndIndex& lineEnds, ChunkFindings& findings,
                                    ReaderLoad&) const
    {
        lineEnds.Add(bytes.buffer, bytes.from, bytes.to);
        static_cast<RecordClassFindings&>(findings).classes.Find(bytes.buffer, lineEnds);
    }

    void RecordClassScan::FindOnReader(const ChunkBytes& bytes, bool lookedAt, const ChunkFindings&,
                                       LineEndIndex& lineEnds, ChunkFindings&) const
    {
        // The extractor classifies the lines the reading thread left itself,
        // as it reads them.
        if (!lookedAt)
            lineEnds.Add(bytes.buffer, bytes.from, bytes.to);
    }

    const ChunkScan& RecordClassChunkScan()
    {
        static const RecordClassScan scan;
        return scan;
    }
}
