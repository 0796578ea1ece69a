#pragma once

// Reads (and decompresses) a byte source on a thread of its own, a few large
// chunks ahead of the zone line reader, so that the run's worker spends its
// time on the lines and not on the system's file reads or on inflating.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace plexor
{
    class ByteSource;

    class ReadAhead final
    {
    public:
        // Every chunk's bytes start this far into its buffer, leaving room for
        // the reader to put the unfinished line of the chunk before in front.
        static constexpr std::size_t kHeadroom = 16 * 1024;
        static constexpr std::size_t kChunkSize = 128 * 1024;

        explicit ReadAhead(std::unique_ptr<ByteSource> source);
        ~ReadAhead();
        ReadAhead(const ReadAhead&) = delete;
        ReadAhead& operator=(const ReadAhead&) = delete;

        // Swaps `buffer` with the next chunk, whose bytes are then at
        // [kHeadroom, kHeadroom + result), and `lineEnds` with the positions
        // of every LF among them, in order (found on the reading thread, so
        // the reader need not search for them). The vectors passed in are
        // kept for reuse. Returns 0 at the end of the data and -1 once
        // reading failed (after every chunk read before the failure).
        std::ptrdiff_t Next(std::vector<char>& buffer, std::vector<std::uint32_t>& lineEnds);

    private:
        struct Chunk
        {
            std::vector<char> buffer;
            std::vector<std::uint32_t> lineEnds;
            std::size_t size = 0;
        };

        void Run();

        static constexpr std::size_t kDepth = 3; // chunks read ahead

        std::unique_ptr<ByteSource> m_source;
        std::mutex m_mutex;
        std::condition_variable m_changed;
        std::deque<Chunk> m_ready;
        std::vector<std::vector<char>> m_free;
        std::vector<std::vector<std::uint32_t>> m_freeLineEnds;
        bool m_stop = false;     // the reader is going away
        bool m_finished = false; // no chunk follows those in m_ready
        bool m_failed = false;   // reading failed after those in m_ready
        std::thread m_thread;    // last: starts once everything else exists
    };
}
