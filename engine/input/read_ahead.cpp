#include "input/read_ahead.h"

#include <utility>

#include "input/byte_sources.h"

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
            ByteBuffer buffer;
            Chunk chunk;
            if (!TakeStorage(buffer, chunk))
                return;
            ReadEnd readEnd;
            try
            {
                buffer.resize(kBufferSize);
                readEnd = FillChunk(buffer, chunk);
                FindChunkFindings(buffer, chunk);
            }
            catch (const std::bad_alloc&)
            {
                readEnd = {true, true, std::make_error_code(std::errc::not_enough_memory)};
            }
            chunk.buffer = std::move(buffer);
            Publish(std::move(chunk), readEnd);
            if (readEnd.end)
                return;
        }
    }

    bool ReadAhead::TakeStorage(ByteBuffer& buffer, Chunk& chunk)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_stop || m_ready.size() < kDepth; });
        if (m_stop)
            return false;
        if (!m_free.empty())
        {
            buffer = std::move(m_free.back());
            m_free.pop_back();
        }
        if (!m_freeFindings.empty())
        {
            chunk.findings = std::move(m_freeFindings.back());
            m_freeFindings.pop_back();
        }
        return true;
    }

    ReadAhead::ReadEnd ReadAhead::FillChunk(ByteBuffer& buffer, Chunk& chunk)
    {
        ReadEnd readEnd;
        while (chunk.size < kChunkSize)
        {
            const std::ptrdiff_t got = m_source->Read(buffer.data() + kHeadroom + chunk.size, kChunkSize - chunk.size);
            if (got <= 0)
            {
                readEnd.end = true;
                readEnd.failed = got < 0;
                if (readEnd.failed)
                    readEnd.error = m_source->Error();
                break;
            }
            chunk.size += static_cast<std::size_t>(got);
        }
        return readEnd;
    }

    void ReadAhead::FindChunkFindings(const ByteBuffer& buffer, Chunk& chunk)
    {
        // Index the line ends (and find what the layout's scan asks for)
        // here, in parallel with the reader's work on the chunks before, but
        // only while the reader has chunks to go on with: a reader that
        // waits gets the chunk at once and does it itself (or does without).
        // Where inflating keeps this thread the busier one, the reader takes
        // that work. A scan's longer searches ask whether the reader has
        // more to go on with still (ReaderLoad).
        const bool workerBusy = HasReadyChunks();
        const ChunkScan* scan = m_scan.load(std::memory_order_acquire);
        Findings& findings = chunk.findings;
        findings.lineEnds.clear();
        if (findings.layout)
            findings.layout->Clear();
        if (workerBusy && scan != nullptr && chunk.size > 0)
        {
            scan->Prepare(findings.layout);
            const ChunkBytes bytes {buffer.data(), kHeadroom, kHeadroom + chunk.size, 0, m_lastByteDot};
            scan->FindAhead(bytes, findings.lineEnds, *findings.layout, *this);
        }
        else if (workerBusy)
        {
            findings.lineEnds.Add(buffer.data(), kHeadroom, kHeadroom + chunk.size);
        }
        // Whether the next chunk follows a dot, whenever it is scanned: the
        // chunks read before a scan was asked for count too.
        if (chunk.size > 0)
            m_lastByteDot = buffer[kHeadroom + chunk.size - 1] == '.';
    }

    void ReadAhead::Publish(Chunk chunk, const ReadEnd& readEnd)
    {
        {
            std::lock_guard lock(m_mutex);
            if (chunk.size > 0)
                m_ready.push_back(std::move(chunk));
            m_finished = readEnd.end;
            m_failed = readEnd.failed;
            m_error = readEnd.error;
        }
        m_changed.notify_all();
    }

    bool ReadAhead::HasReadyChunks()
    {
        std::lock_guard lock(m_mutex);
        return !m_ready.empty();
    }

    bool ReadAhead::ReaderBusyWithWaitingChunks()
    {
        std::lock_guard lock(m_mutex);
        std::size_t found = 0;
        for (const Chunk& chunk : m_ready)
        {
            if (!chunk.findings.layout || !chunk.findings.layout->spareLineReading)
                return true;
            if (++found == 2)
                return true;
        }
        return false;
    }

    std::ptrdiff_t ReadAhead::Next(ByteBuffer& buffer, Findings& findings)
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
        findings = std::move(chunk.findings);
        return static_cast<std::ptrdiff_t>(chunk.size);
    }

    void ReadAhead::Recycle(ByteBuffer buffer, Findings findings)
    {
        std::lock_guard lock(m_mutex);
        if (buffer.size() == kBufferSize)
            m_free.push_back(std::move(buffer));
        if (findings.lineEnds.HasStorage() || findings.layout)
            m_freeFindings.push_back(std::move(findings));
    }

    std::error_code ReadAhead::Error()
    {
        std::lock_guard lock(m_mutex);
        return m_error;
    }
}
