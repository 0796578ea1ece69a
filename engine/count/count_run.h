#pragma once

// A count run: the entries of a domain run with servers appended go to a
// ServerTally (server_tally.h) instead of the list, and at the end of the
// run the table by server or by provider goes to the output in one of its
// forms (count_table.h). Whatever chooses the entries chooses the domains
// counted: every filter of the run, and a comparison's changed entries when
// the run compares two zone files. The run must append the servers
// (appendNameServers); an entry without them is a domain without servers.

#include <cstddef>
#include <string>
#include <string_view>
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

        void TakeBatch(const Batch& batch, std::size_t count) override;
        void TakeEntry(const Batch& batch, std::size_t i) override;
        void WriteResult(OutputWriter& output) override;

        // After WriteResult: the concentration figures (FormatCountFigures)
        // and the table's size; empty and 0 before.
        const std::vector<std::string>& SummaryLines() const { return m_summary; }
        std::size_t RowsWritten() const { return m_rows; }
        // The distinct servers seen, and the tally's bytes at its largest
        // (taken when the table is made).
        std::size_t DistinctServers() const { return m_distinctServers; }
        std::size_t TallyBytes() const { return m_tallyBytes; }

    private:
        CountBy m_by;
        CountForm m_form;
        ServerTally m_tally;
        std::vector<std::string_view> m_entries; // of the batch taken
        std::vector<std::string> m_summary;
        std::size_t m_rows = 0;
        std::size_t m_distinctServers = 0;
        std::size_t m_tallyBytes = 0;
    };
}
