#pragma once

// A count run: the entries of a domain run with servers appended go to a
// ServerTally (server_tally.h) instead of the list, and at the end of the
// run the table by server or by provider goes to the output in one of its
// forms (count_table.h). Whatever chooses the entries chooses the domains
// counted: every filter of the run, and a comparison's changed entries when
// the run compares two zone files. The run must append the servers
// (appendNameServers); an entry without them is a domain without servers.
//
// The tally runs on a thread of its own, so that counting and reading the
// zone go on side by side: the run's thread stages each batch's entries
// into a block (their servers lowered and hashed, EntryStager) and hands it
// over (at most a few blocks wait, so memory stays bounded and a slow tally
// holds the reading back), and the tally counts the blocks in their order.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "count/count_table.h"
#include "count/server_tally.h"
#include "run/entry_sink.h"

namespace plexor
{
    class CountSink final : public EntrySink
    {
    public:
        // `map`, when not null, must outlive the sink.
        CountSink(CountBy by, CountForm form, const ProviderMap* map = nullptr);
        ~CountSink() override;
        CountSink(const CountSink&) = delete;
        CountSink& operator=(const CountSink&) = delete;

        void TakeBatch(const Batch& batch, std::size_t count) override;
        void TakeEntry(const Batch& batch, std::size_t i) override;
        bool WriteResult(OutputWriter& output) override;

        // After WriteResult: the concentration figures (FormatCountFigures);
        // empty before.
        const std::vector<std::string>& SummaryLines() const { return m_summary; }
        // The distinct servers counted, and the tally's bytes at its largest
        // (taken when the table is made).
        std::size_t DistinctServers() const { return m_distinctServers; }
        std::size_t TallyBytes() const { return m_tallyBytes; }

        // The rows kept of the table for a caller that shows them (the
        // window's chart): set before the run, 0 (the default) keeps none.
        struct TopRow
        {
            std::string name;
            std::uint64_t domains = 0;
        };
        void KeepTopRows(std::size_t rows) { m_topRowsKept = rows; }
        // After WriteResult: the first rows of the table, most domains
        // first, and its figures.
        const std::vector<TopRow>& TopRows() const { return m_topRows; }
        const CountFigures& Figures() const { return m_figures; }

    private:
        using Block = StagedEntries;

        Block& Filling();
        void HandOver();
        void CountBlocks();
        // Waits until the tally has counted every block handed over, and
        // ends its thread.
        void StopTally();

        CountBy m_by;
        CountForm m_form;
        ServerTally m_tally;
        EntryStager m_stager; // the run's thread's
        std::unique_ptr<Block> m_filling;
        std::mutex m_mutex;
        std::condition_variable m_blockCame; // the tally waits for a block
        std::condition_variable m_roomMade;  // the run's thread waits for room
        bool m_tallyWaits = false;
        bool m_runWaits = false;
        std::deque<std::unique_ptr<Block>> m_waiting; // handed over, in order
        std::vector<std::unique_ptr<Block>> m_spare;
        bool m_closing = false;
        bool m_failed = false; // the tally ran out of memory
        std::thread m_thread;
        std::vector<std::string> m_summary;
        std::size_t m_distinctServers = 0;
        std::size_t m_tallyBytes = 0;
        std::size_t m_topRowsKept = 0;
        std::vector<TopRow> m_topRows;
        CountFigures m_figures;
    };
}
