#pragma once

// What a layout finds out about a chunk of zone-file lines beyond their line
// ends, ahead of its extractor: the zone line reader and its reading thread
// take a ChunkScan from the layout, make it search each chunk (once per
// chunk, never per line), and hand on what it found without knowing what it
// means; the layout's extractors read it back from the runs of buffered
// lines (ZoneLineReader::LineRun).

#include <cstddef>
#include <memory>

#include "scan/line_index.h"

namespace plexor
{
    // A layout's findings for the lines of one buffer. The reader keeps them
    // with the buffer's line ends, and recycles their storage with the
    // buffer's.
    class ChunkFindings
    {
    public:
        virtual ~ChunkFindings() = default;

        // Forgets what was found, keeping the storage.
        void Clear()
        {
            spareLineReading = false;
            ClearFound();
        }

        // The findings let the extractor pass over most of the chunk's lines
        // without reading them; the reading thread then counts the chunk as
        // a quick one for the reader.
        bool spareLineReading = false;

    protected:
        virtual void ClearFound() = 0;
    };

    // The bytes of one buffer that a scan looks at: the new bytes
    // [from, to) of `buffer`, with the unfinished line before them (the
    // `unfinished` bytes before `from`), whose start came from the data
    // before. Positions are offsets into `buffer`; kLineProbeBytes bytes are
    // readable past `to`.
    struct ChunkBytes
    {
        const char* buffer = nullptr;
        std::size_t from = 0;
        std::size_t to = 0;
        std::size_t unfinished = 0;
        // The last byte before `from` in the data (not necessarily in
        // `buffer`) is a dot.
        bool dotBefore = false;
    };

    // A layout's search of whole chunks. One object serves every reader at
    // once and must outlive them (a static object of the layout).
    class ChunkScan
    {
    public:
        virtual ~ChunkScan() = default;

        // Makes `findings` hold findings of this scan's kind: kept when they
        // already are, replaced otherwise.
        virtual void Prepare(std::unique_ptr<ChunkFindings>& findings) const = 0;

        // Whether the reader's further search is worth its time now: true
        // while the reader has enough chunks waiting.
        class ReaderLoad
        {
        public:
            virtual bool BusyWithWaitingChunks() = 0;

        protected:
            ~ReaderLoad() = default;
        };

        // On the reading thread, while the reader has chunks to go on with:
        // appends the positions of the LFs in bytes.buffer[from, to) to the
        // empty `lineEnds` and finds the chunk's findings (cleared before).
        // The unfinished line in front is not known here (unfinished is 0).
        virtual void FindAhead(const ChunkBytes& bytes, LineEndIndex& lineEnds, ChunkFindings& findings,
                               ReaderLoad& load) const = 0;

        // On the reader's thread, once the new bytes are its buffer's, with
        // the unfinished line in front: `lookedAt` when FindAhead made
        // `lineEnds` and `findings` for the new bytes (`previous` then holds
        // the findings of the buffer the unfinished line came from);
        // otherwise `lineEnds` is empty, `findings` are clear and `previous`
        // is not to be read. Completes both for the whole of the unread
        // bytes; a scan may leave its findings clear, never `lineEnds`.
        virtual void FindOnReader(const ChunkBytes& bytes, bool lookedAt, const ChunkFindings& previous,
                                  LineEndIndex& lineEnds, ChunkFindings& findings) const = 0;

    protected:
        ChunkScan() = default;
    };
}
