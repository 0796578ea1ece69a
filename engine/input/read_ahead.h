#pragma once

// Reads (and decompresses) a byte source on a thread of its own, a few large
// chunks ahead of the zone line reader, so that the run's worker spends its
// time on the lines and not on the system's file reads or on inflating.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "input/byte_buffer.h"
#include "input/chunk_scan.h"
#include "scan/line_index.h"

namespace plexor
{
    class ByteSource;

    class ReadAhead final : private ChunkScan::ReaderLoad
    {
    public:
        // Every chunk's bytes start this far into its buffer, leaving room for
        // the reader to put the unfinished line of the chunk before in front.
        static constexpr std::size_t kHeadroom = 16 * 1024;
        static constexpr std::size_t kChunkSize = 256 * 1024;

        explicit ReadAhead(std::unique_ptr<ByteSource> source);
        ~ReadAhead();
        ReadAhead(const ReadAhead&) = delete;
        ReadAhead& operator=(const ReadAhead&) = delete;

        // Every chunk's buffer holds kHeadroom + kChunkSize + kLineProbeBytes
        // bytes.
        static constexpr std::size_t kBufferSize = kHeadroom + kChunkSize + kLineProbeBytes;

        // What the reading thread found out about a chunk's bytes, so that
        // the reader need not.
        struct Findings
        {
            // The positions of every LF among them, in order; empty when
            // they were not looked for.
            LineEndIndex lineEnds;
            // What the layout's scan found (FindChunkFindings), clear when
            // it did not look; null when there never was a scan.
            std::unique_ptr<ChunkFindings> layout;
        };

        // Moves the next chunk into `buffer`, whose bytes are then at
        // [kHeadroom, kHeadroom + result), and what was found about it into
        // `findings`. Returns 0 at the end of the data and -1 once reading
        // failed (after every chunk read before the failure).
        std::ptrdiff_t Next(ByteBuffer& buffer, Findings& findings);
        // Hands a chunk's storage back for reuse once its bytes are no longer
        // needed; a buffer of another size is let go.
        void Recycle(ByteBuffer buffer, Findings findings);
        // Once Next has returned -1: the system's error that ended reading,
        // or empty when the data itself was bad.
        std::error_code Error();

        // Asks for the layout's findings (chunk_scan.h) of the chunks read
        // from now on, found while the reader has chunks to go on with: work
        // the reading thread can take off the run's worker. `scan` outlives
        // this object.
        void FindChunkFindings(const ChunkScan* scan) { m_scan.store(scan, std::memory_order_release); }

    private:
        struct Chunk
        {
            ByteBuffer buffer;
            Findings findings;
            std::size_t size = 0;
        };

        // How reading a chunk ended: at the end of the data, or with a
        // failure and its error.
        struct ReadEnd
        {
            bool end = false;
            bool failed = false;
            std::error_code error;
        };

        // The reading thread: chunk after chunk, while there is room among
        // the ready ones, until the end of the data or the reader goes away.
        void Run();
        // Waits for room among the ready chunks and takes storage to reuse
        // into `buffer` and `chunk`; false when the reader is going away.
        bool TakeStorage(ByteBuffer& buffer, Chunk& chunk);
        // Reads up to kChunkSize bytes into the buffer after kHeadroom.
        ReadEnd FillChunk(ByteBuffer& buffer, Chunk& chunk);
        // What this thread finds out about the chunk's bytes for the reader.
        void FindChunkFindings(const ByteBuffer& buffer, Chunk& chunk);
        // Hands the chunk to the reader.
        void Publish(Chunk chunk, const ReadEnd& readEnd);
        bool HasReadyChunks();
        // Whether the chunks waiting keep the reader busy for longer than
        // finding the NS lines of one more takes: one it must read line by
        // line, or two whose NS lines were found.
        bool ReaderBusyWithWaitingChunks();
        bool BusyWithWaitingChunks() override { return ReaderBusyWithWaitingChunks(); }

        // Chunks read ahead. Deep enough that the reading thread, which
        // finds the NS lines of a chunk only while the reader has enough to
        // go on with, does so for a good share of them.
        static constexpr std::size_t kDepth = 8;

        std::unique_ptr<ByteSource> m_source;
        std::mutex m_mutex;
        std::condition_variable m_changed;
        std::deque<Chunk> m_ready;
        std::vector<ByteBuffer> m_free;
        std::vector<Findings> m_freeFindings;
        std::atomic<const ChunkScan*> m_scan {nullptr};
        bool m_lastByteDot = false; // of the chunk read last; reading thread only
        bool m_stop = false;     // the reader is going away
        bool m_finished = false; // no chunk follows those in m_ready
        bool m_failed = false;   // reading failed after those in m_ready
        std::error_code m_error; // why, when m_failed
        std::thread m_thread;    // last: starts once everything else exists
    };
}
