#include "read_ahead.h"

#include <utility>

#include "byte_sources.h"
#include "master_file_reader.h"

namespace plexor
{
    ReadAhead::ReadAhead(std::unique_ptr<ByteSource> source)
        : m_source(std::move(source))
        , m_thread(&ReadAhead::Run, this)
    {
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
                if (!m_freeClasses.empty())
                {
                    chunk.classes = std::move(m_freeClasses.back());
                    m_freeClasses.pop_back();
                }
            }

            bool end = false;
            bool failed = false;
            std::error_code error;
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
                        if (failed)
                            error = m_source->Error();
                        break;
                    }
                    chunk.size += static_cast<std::size_t>(got);
                }
                // Index the line ends (and find the classes asked for) here,
                // in parallel with the reader's work on the chunk before, but
                // only while the reader has chunks to go on with: a reader
                // that waits gets the chunk at once and does it itself (or
                // does without). Where inflating keeps this thread the busier
                // one, the reader takes that work.
                const bool workerBusy = HasReadyChunks();
                chunk.lineEnds.clear();
                if (workerBusy)
                    chunk.lineEnds.Add(buffer.data(), kHeadroom, kHeadroom + chunk.size);
                chunk.classes.Clear();
                if (m_findRecordClasses.load(std::memory_order_relaxed) && workerBusy)
                    chunk.classes.Find(buffer.data(), chunk.lineEnds);
                if (m_findPlainChunks.load(std::memory_order_relaxed) && chunk.size > 0)
                {
                    const char* bytes = buffer.data() + kHeadroom;
                    chunk.plain = workerBusy && IsPlainMasterText(bytes, chunk.size, m_lastByteDot);
                    m_lastByteDot = bytes[chunk.size - 1] == '.';
                }
            }
            catch (const std::bad_alloc&)
            {
                end = true;
                failed = true;
                error = std::make_error_code(std::errc::not_enough_memory);
            }
            chunk.buffer = std::move(buffer);

            {
                std::lock_guard lock(m_mutex);
                if (chunk.size > 0)
                    m_ready.push_back(std::move(chunk));
                m_finished = end;
                m_failed = failed;
                m_error = error;
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

    std::ptrdiff_t ReadAhead::Next(std::vector<char>& buffer, LineEndIndex& lineEnds, RecordLineClasses& classes,
                                   bool& plain)
    {
        plain = false;
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
        classes = std::move(chunk.classes);
        plain = chunk.plain;
        return static_cast<std::ptrdiff_t>(chunk.size);
    }

    void ReadAhead::Recycle(std::vector<char> buffer, LineEndIndex lineEnds, RecordLineClasses classes)
    {
        std::lock_guard lock(m_mutex);
        if (buffer.size() == kBufferSize)
            m_free.push_back(std::move(buffer));
        if (lineEnds.HasStorage())
        {
            lineEnds.clear();
            m_freeLineEnds.push_back(std::move(lineEnds));
        }
        if (classes.prefixes.capacity() > 0)
            m_freeClasses.push_back(std::move(classes));
    }

    std::error_code ReadAhead::Error()
    {
        std::lock_guard lock(m_mutex);
        return m_error;
    }
}
