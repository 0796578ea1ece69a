#include "layouts/master/master_chunk_scan.h"

namespace plexor
{
    void MasterChunkScan::Prepare(std::unique_ptr<ChunkFindings>& findings) const
    {
        if (dynamic_cast<MasterChunkFindings*>(findings.get()) == nullptr)
            findings = std::make_unique<MasterChunkFindings>();
    }

    void MasterChunkScan::FindAhead(const ChunkBytes& bytes, LineEndIndex& lineEnds, ChunkFindings& findings,
                                    ReaderLoad& load) const
    {
        auto& found = static_cast<MasterChunkFindings&>(findings);
        found.plain = IndexPlainMasterText(bytes.buffer, bytes.from, bytes.to, bytes.dotBefore, lineEnds);
        // The NS lines take longer to find: only while the reader has more
        // to go on with.
        if (found.plain && m_nsLines && load.BusyWithWaitingChunks())
        {
            found.nsLinesLookedFor = true;
            FindNsLines(bytes, lineEnds, found);
        }
    }

    void MasterChunkScan::FindOnReader(const ChunkBytes& bytes, bool lookedAt, const ChunkFindings& previous,
                                       LineEndIndex& lineEnds, ChunkFindings& findings) const
    {
        auto& found = static_cast<MasterChunkFindings&>(findings);
        const std::size_t unfinished = bytes.unfinished;
        const char* unfinishedStart = bytes.buffer + bytes.from - unfinished;
        if (lookedAt)
        {
            // The unfinished line came from the buffer before: plain when
            // that buffer was, or when its own bytes are (no byte before it
            // counts; the reading thread saw the dot before the new bytes).
            const auto* before = dynamic_cast<const MasterChunkFindings*>(&previous);
            found.plain = found.plain
                && (unfinished == 0 || (before != nullptr && before->plain)
                    || IsPlainMasterText(unfinishedStart, unfinished, false));
        }
        else
        {
            const bool newBytesPlain =
                IndexPlainMasterText(bytes.buffer, bytes.from, bytes.to, bytes.dotBefore, lineEnds);
            found.plain = newBytesPlain && (unfinished == 0 || IsPlainMasterText(unfinishedStart, unfinished, false));
        }
        // Finding the NS lines of simple records costs less than reading
        // every line, here too.
        if (m_nsLines && found.plain && !found.nsLinesLookedFor)
            FindNsLines(bytes, lineEnds, found);
    }

    void MasterChunkScan::FindNsLines(const ChunkBytes& bytes, const LineEndIndex& lineEnds,
                                      MasterChunkFindings& found) const
    {
        found.nsLines.Find(bytes.buffer, lineEnds, m_servers);
        found.spareLineReading = found.nsLines.found;
    }

    const ChunkScan& MasterPlainChunkScan(bool nsLines, bool servers)
    {
        static const MasterChunkScan plain(false);
        static const MasterChunkScan withNsLines(true);
        static const MasterChunkScan withServers(true, true);
        return !nsLines ? plain : servers ? withServers : withNsLines;
    }
}
