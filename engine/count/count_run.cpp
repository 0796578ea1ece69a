#include "count/count_run.h"

#include "output/output_writer.h"

namespace plexor
{
    CountSink::CountSink(CountBy by, CountForm form, const ProviderMap* map)
        : m_by(by)
        , m_form(form)
        , m_tally(map)
    {
    }

    void CountSink::TakeBatch(const Batch& batch, std::size_t count)
    {
        m_entries.clear();
        for (std::size_t i = 0; i < count; ++i)
            m_entries.push_back(batch[i]);
        m_tally.AddEntries(m_entries);
    }

    void CountSink::TakeEntry(const Batch& batch, std::size_t i)
    {
        m_tally.AddEntry(batch[i]);
    }

    void CountSink::WriteResult(OutputWriter& output)
    {
        m_distinctServers = m_tally.DistinctServers();
        m_tallyBytes = m_tally.BytesHeld();
        const CountTable table = m_tally.Finish(m_by);
        WriteCountTable(table, m_form, [&output](std::string_view piece) { output.Write(piece); });
        m_summary = FormatCountFigures(table);
        m_rows = table.size();
    }
}
