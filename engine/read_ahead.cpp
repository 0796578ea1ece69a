#include "read_ahead.h"

#include <utility>

#include "byte_sources.h"

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
            }

            Chunk chunk;
            bool end = false;
            bool failed = false;
            try
            {
                buffer.resize(kHeadroom + kChunkSize);
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

    std::ptrdiff_t ReadAhead::Next(std::vector<char>& buffer)
    {
        std::unique_lock lock(m_mutex);
        if (buffer.capacity() > 0)
            m_free.push_back(std::move(buffer));
        buffer = std::vector<char>();
        m_changed.wait(lock, [this] { return !m_ready.empty() || m_finished; });
        if (m_ready.empty())
            return m_failed ? -1 : 0;
        Chunk chunk = std::move(m_ready.front());
        m_ready.pop_front();
        lock.unlock();
        m_changed.notify_all();
        buffer = std::move(chunk.buffer);
        return static_cast<std::ptrdiff_t>(chunk.size);
    }
}
