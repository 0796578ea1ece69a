#include "read_ahead.h"

#include <utility>

#include "byte_sources.h"
#include "record_label.h"

namespace plexor
{
    ReadAhead::ReadAhead(std::unique_ptr<ByteSource> source)
        : m_source(std::move(source))
        , m_thread(&ReadAhead::Run, this)
    {
    }

    namespace
    {
        void FindPrefixes(const char* data, const LineEndIndex& lineEnds, std::vector<std::uint8_t>& prefixes)
        {
            const std::size_t count = lineEnds.size();
            prefixes.resize(count);
            if (count == 0)
                return;
            prefixes[0] = 0;
            for (std::size_t i = 1; i < count; ++i)
            {
                const std::size_t start = lineEnds[i - 1] + std::size_t {1};
                std::size_t length = lineEnds[i] - start;
                if (length > 0 && data[start + length - 1] == '\r')
                    --length;
                prefixes[i] = static_cast<std::uint8_t>(RecordPrefix(data + start, length));
            }
        }
    }

    ReadAhead::~ReadAhead()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }

    void ReadAhead::Run()
    {
        for (;;)
        {
            std::vector<char> buffer;
            Chunk chunk;
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [this] { return m_stop || m_ready.size() < kDepth; });
                if (m_stop)
                    return;
                if (!m_free.empty())
                {
                    buffer = std::move(m_free.back());
                    m_free.pop_back();
                }
                if (!m_freeLineEnds.empty())
                {
                    chunk.lineEnds = std::move(m_freeLineEnds.back());
                    m_freeLineEnds.pop_back();
                }
                if (!m_freePrefixes.empty())
                {
                    chunk.prefixes = std::move(m_freePrefixes.back());
                    m_freePrefixes.pop_back();
                }
            }

            bool end = false;
            bool failed = false;
            try
            {
                buffer.resize(kBufferSize);
                while (chunk.size < kChunkSize)
                {
                    const std::ptrdiff_t got =
                        m_source->Read(buffer.data() + kHeadroom + chunk.size, kChunkSize - chunk.size);
                    if (got <= 0)
                    {
                        end = true;
                        failed = got < 0;
                        break;
                    }
                    chunk.size += static_cast<std::size_t>(got);
                }
                // Index the line ends here, in parallel with the reader's
                // work on the chunk before.
                chunk.lineEnds.clear();
                chunk.lineEnds.Add(buffer.data(), kHeadroom, kHeadroom + chunk.size);
                chunk.prefixes.clear();
                // Only while the worker has chunks to go on with: a worker
                // that waits gets the chunk at once and finds them itself.
                if (m_findRecordPrefixes.load(std::memory_order_relaxed) && HasReadyChunks())
                    FindPrefixes(buffer.data(), chunk.lineEnds, chunk.prefixes);
            }
            catch (const std::bad_alloc&)
            {
                end = true;
                failed = true;
            }
            chunk.buffer = std::move(buffer);

            {
                std::lock_guard lock(m_mutex);
                if (chunk.size > 0)
                    m_ready.push_back(std::move(chunk));
                m_finished = end;
                m_failed = failed;
            }
            m_changed.notify_all();
            if (end)
                return;
        }
    }

    bool ReadAhead::HasReadyChunks()
    {
        std::lock_guard lock(m_mutex);
        return !m_ready.empty();
    }

    std::ptrdiff_t ReadAhead::Next(std::vector<char>& buffer, LineEndIndex& lineEnds,
                                   std::vector<std::uint8_t>& prefixes)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_ready.empty() || m_finished; });
        if (m_ready.empty())
            return m_failed ? -1 : 0;
        Chunk chunk = std::move(m_ready.front());
        m_ready.pop_front();
        lock.unlock();
        m_changed.notify_all();
        buffer = std::move(chunk.buffer);
        lineEnds = std::move(chunk.lineEnds);
        prefixes = std::move(chunk.prefixes);
        return static_cast<std::ptrdiff_t>(chunk.size);
    }

    void ReadAhead::Recycle(std::vector<char> buffer, LineEndIndex lineEnds, std::vector<std::uint8_t> prefixes)
    {
        std::lock_guard lock(m_mutex);
        if (buffer.size() == kBufferSize)
            m_free.push_back(std::move(buffer));
        if (lineEnds.HasStorage())
        {
            lineEnds.clear();
            m_freeLineEnds.push_back(std::move(lineEnds));
        }
        if (prefixes.capacity() > 0)
            m_freePrefixes.push_back(std::move(prefixes));
    }
}
