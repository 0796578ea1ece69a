#pragma once

// The master-file layout's search of whole chunks, made by the reading
// thread while it is ahead of the extractor and otherwise by the reader:
// whether the chunk is plain master-file text, and, when asked, the NS lines
// of its simple records (scan/master_lines.h). The extractors take them back
// from the runs of buffered lines.

#include <memory>

#include "input/chunk_scan.h"
#include "input/zone_line_reader.h"
#include "scan/master_lines.h"

namespace plexor
{
    struct MasterChunkFindings final : ChunkFindings
    {
        // The buffer's unread bytes are plain master-file text
        // (IsPlainMasterText).
        bool plain = false;
        // The NS lines of simple records among all the lines of the buffer
        // from the line with index 1 on, when asked for and found.
        SimpleNsLines nsLines;
        // Whether the reading thread looked for them.
        bool nsLinesLookedFor = false;

    protected:
        void ClearFound() override
        {
            plain = false;
            nsLines.Clear();
            nsLinesLookedFor = false;
        }
    };

    class MasterChunkScan final : public ChunkScan
    {
    public:
        // `nsLines`: look for the NS lines of simple records too; with
        // `servers`, for their servers as well (SimpleNsLines::servers).
        explicit MasterChunkScan(bool nsLines, bool servers = false)
            : m_nsLines(nsLines)
            , m_servers(servers)
        {
        }

        void Prepare(std::unique_ptr<ChunkFindings>& findings) const override;
        void FindAhead(const ChunkBytes& bytes, LineEndIndex& lineEnds, ChunkFindings& findings,
                       ReaderLoad& load) const override;
        void FindOnReader(const ChunkBytes& bytes, bool lookedAt, const ChunkFindings& previous,
                          LineEndIndex& lineEnds, ChunkFindings& findings) const override;

    private:
        void FindNsLines(const ChunkBytes& bytes, const LineEndIndex& lineEnds, MasterChunkFindings& found) const;

        bool m_nsLines;
        bool m_servers;
    };

    // The scan the master-file extractors hand the zone line reader, with
    // or without the NS lines of simple records (and their servers).
    const ChunkScan& MasterPlainChunkScan(bool nsLines, bool servers = false);

    // Asks the reader (and its reading thread) to find plain text, and with
    // `nsLines` the NS lines of simple records (with `servers`, their
    // servers too), in what it reads from now on.
    inline void FindPlainLines(ZoneLineReader& zoneFile, bool nsLines, bool servers = false)
    {
        zoneFile.FindChunkFindings(MasterPlainChunkScan(nsLines, servers));
    }

    // What was found for the lines of `run`, null when nothing was asked.
    inline const MasterChunkFindings* FoundMasterFindings(const ZoneLineReader::LineRun& run)
    {
        return static_cast<const MasterChunkFindings*>(run.findings);
    }
    // Whether the lines of `run` are plain master-file text.
    inline bool FoundPlain(const ZoneLineReader::LineRun& run)
    {
        const MasterChunkFindings* found = FoundMasterFindings(run);
        return found != nullptr && found->plain;
    }
    // The NS lines of simple records found for the lines of `run`'s buffer
    // (line i of the run has index run.firstLine + i there), or null.
    inline const SimpleNsLines* FoundNsLines(const ZoneLineReader::LineRun& run)
    {
        const MasterChunkFindings* found = FoundMasterFindings(run);
        return found != nullptr && found->nsLines.found ? &found->nsLines : nullptr;
    }
}
