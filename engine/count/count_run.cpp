#include "count/count_run.h"

#include <new>
#include <stdexcept>

#include "output/output_writer.h"

namespace plexor
{
    namespace
    {
        // Entries per block, and blocks that may wait for the tally. A full
        // queue holds the run's thread until the tally has taken all but
        // one block: each wake-up is a system call on both sides, and the
        // tally, the slower side in a zone of many servers, would otherwise
        // wake the run's thread for every block it takes.
        constexpr std::size_t kBlockEntries = 400;
        constexpr std::size_t kWaitingBlocks = 3;
        constexpr std::size_t kWakeAt = 1;
    }

    CountSink::CountSink(CountBy by, CountForm form, const ProviderMap* map)
        : m_by(by)
        , m_form(form)
        , m_tally(map)
    {
    }

    CountSink::~CountSink()
    {
        StopTally();
    }

    void CountSink::TakeBatch(const Batch& batch, std::size_t count)
    {
        if (count == 0)
            return;
        Block& block = Filling();
        for (std::size_t i = 0; i < count; ++i)
            m_stager.StageHeldEntry(batch[i], block);
        m_stager.Release();
        if (block.entries >= kBlockEntries)
            HandOver();
    }

    void CountSink::TakeEntry(const Batch& batch, std::size_t i)
    {
        Block& block = Filling();
        m_stager.StageEntry(batch[i], block);
        if (block.entries >= kBlockEntries)
            HandOver();
    }

    CountSink::Block& CountSink::Filling()
    {
        if (!m_filling)
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (!m_spare.empty())
            {
                m_filling = std::move(m_spare.back());
                m_spare.pop_back();
            }
        }
        if (!m_filling)
            m_filling = std::make_unique<Block>();
        return *m_filling;
    }

    void CountSink::HandOver()
    {
        if (!m_filling || m_filling->entries == 0)
            return;
        std::unique_lock<std::mutex> lock(m_mutex);
        if (!m_thread.joinable())
            m_thread = std::thread(&CountSink::CountBlocks, this);
        if (m_waiting.size() >= kWaitingBlocks)
        {
            m_runWaits = true;
            m_roomMade.wait(lock, [this] { return m_waiting.size() <= kWakeAt; });
            m_runWaits = false;
        }
        m_waiting.push_back(std::move(m_filling));
        if (m_tallyWaits)
            m_blockCame.notify_one();
    }

    // The tally's thread: counts the blocks in their order until the sink
    // closes and none is left.
    void CountSink::CountBlocks()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;)
        {
            if (!m_closing && m_waiting.empty())
            {
                m_tallyWaits = true;
                m_blockCame.wait(lock, [this] { return m_closing || !m_waiting.empty(); });
                m_tallyWaits = false;
            }
            if (m_waiting.empty())
                return;
            std::unique_ptr<Block> block = std::move(m_waiting.front());
            m_waiting.pop_front();
            if (m_runWaits && m_waiting.size() <= kWakeAt)
                m_roomMade.notify_one();
            bool failed = m_failed;
            lock.unlock();
            if (!failed)
            {
                // Out of memory, or past the tally's four thousand million
                // names: the count is lost, the run goes on to its end and
                // fails there (WriteResult).
                try
                {
                    m_tally.AddStaged(*block);
                }
                catch (const std::bad_alloc&)
                {
                    failed = true;
                }
                catch (const std::length_error&)
                {
                    failed = true;
                }
            }
            block->clear();
            lock.lock();
            m_failed = m_failed || failed;
            m_spare.push_back(std::move(block));
        }
    }

    void CountSink::StopTally()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_closing = true;
            m_blockCame.notify_one();
        }
        if (m_thread.joinable())
            m_thread.join();
    }

    bool CountSink::WriteResult(OutputWriter& output)
    {
        HandOver();
        StopTally();
        if (m_failed)
            return false;
        try
        {
            m_distinctServers = m_tally.DistinctServers();
            m_tallyBytes = m_tally.BytesHeld();
            const CountTable table = m_tally.Finish(m_by);
            WriteCountTable(table, m_form, [&output](std::string_view piece) { output.Write(piece); });
            m_summary = FormatCountFigures(table);
            m_figures = table.Figures();
            m_topRows.clear();
            for (std::size_t i = 0; i < table.size() && i < m_topRowsKept; ++i)
                m_topRows.push_back({std::string(table.Name(i)), table.Domains(i)});
        }
        catch (const std::bad_alloc&)
        {
            return false;
        }
        return true;
    }
}
