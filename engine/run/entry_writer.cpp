#include "run/entry_writer.h"

#include "output/output_writer.h"
#include "run/entry_sink.h"

#ifdef PLEXOR_HAVE_LOOKALIKE
#include "lookalike/matcher.h"
#include "lookalike/unicode_name.h"
#endif

namespace plexor
{
    EntryParts SplitEntry(std::string_view entry, bool serversAppended)
    {
        if (!serversAppended)
            return {entry, {}};
        const std::size_t colon = entry.find(": ");
        if (colon == std::string_view::npos)
            return {entry, {}};
        return {entry.substr(0, colon), entry.substr(colon + 2)};
    }

    EntryWriter::EntryWriter(OutputWriter& output, OutputForm form, bool serversAppended,
                             const lookalike::Matcher* matcher, EntrySink* sink)
        : m_output(output)
        , m_form(form)
        , m_serversAppended(serversAppended)
        , m_matcher(matcher)
        , m_sink(sink)
    {
        m_columns.lookalike = matcher != nullptr;
    }

    void EntryWriter::ForZone(const std::optional<std::string>& zone, bool header)
    {
        m_columns.zone = zone.has_value();
        m_zone = zone.value_or(std::string());
        m_header = header;
    }

    void EntryWriter::Start()
    {
        if (m_sink != nullptr)
            return;
        m_rows.clear();
        if (!m_header)
            return;
        AppendTableHeader(m_form, m_columns, m_rows);
        if (!m_rows.empty())
            m_output.Write(m_rows);
    }

    bool EntryWriter::WriteBatch(const Batch& batch, std::size_t count)
    {
        if (count == 0)
            return !m_output.Failed();
        if (m_sink != nullptr)
        {
            m_sink->TakeBatch(batch, count);
            return true;
        }
        if (m_form == OutputForm::List)
        {
            m_output.WriteAndFlush(batch.Lines(count));
            return !m_output.Failed();
        }
        m_rows.clear();
        for (std::size_t i = 0; i < count; ++i)
            AppendRow(batch[i]);
        m_output.WriteAndFlush(m_rows);
        return !m_output.Failed();
    }

    void EntryWriter::WriteEntry(const Batch& batch, std::size_t i)
    {
        if (m_sink != nullptr)
        {
            m_sink->TakeEntry(batch, i);
            return;
        }
        if (m_form == OutputForm::List)
        {
            m_output.Write({batch.Bytes() + batch.Offset(i), batch.Offset(i + 1) - batch.Offset(i)});
            return;
        }
        m_rows.clear();
        AppendRow(batch[i]);
        m_output.Write(m_rows);
    }

    bool EntryWriter::End()
    {
        return m_sink == nullptr || m_sink->WriteResult(m_output);
    }

    void EntryWriter::AppendRow(std::string_view entry)
    {
        const EntryParts parts = SplitEntry(entry, m_serversAppended);
        EntryFields fields;
        fields.name = parts.name;
        fields.servers = parts.servers;
        fields.zone = m_zone;
#ifdef PLEXOR_HAVE_LOOKALIKE
        const std::string unicode = lookalike::UnicodeName(parts.name);
        fields.unicode = unicode;
        if (m_matcher != nullptr)
        {
            if (const auto match = m_matcher->MatchName(parts.name))
            {
                fields.term = m_matcher->Terms().Terms()[match->term].label;
                fields.kind = lookalike::KindName(match->kind);
                fields.distance = static_cast<int>(match->distance);
            }
        }
#endif
        AppendEntryRow(m_form, m_columns, fields, m_rows);
    }
}
