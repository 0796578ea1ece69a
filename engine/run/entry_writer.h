#pragma once

// Writes a run's entries to its output file in the run's form (see
// output/entry_rows.h): the plain list as the batch's bytes, one block per
// batch; a table row by row, its header first. An append-mode entry
// ("NAME: S1,S2") is split into the name and its servers; the term, kind
// and distance of a look-alike run come from asking the run's matcher again
// about each written entry, so that only written entries pay for them.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "extraction/batch.h"
#include "output/entry_rows.h"

namespace plexor
{
    class EntrySink;
    class OutputWriter;

    namespace lookalike
    {
        class Matcher;
    }

    // An entry's name and servers: "NAME: S1,S2" in append mode, else the
    // whole entry and no servers.
    struct EntryParts
    {
        std::string_view name;
        std::string_view servers;
    };
    EntryParts SplitEntry(std::string_view entry, bool serversAppended);

    class EntryWriter
    {
    public:
        // `matcher` (null without terms) and `sink` (null: the list is
        // written) must outlive the writer.
        EntryWriter(OutputWriter& output, OutputForm form, bool serversAppended, const lookalike::Matcher* matcher,
                    EntrySink* sink = nullptr);

        // A run over several zones: each row names `zone` (a zone column,
        // when given) and, without `header`, Start writes no header line.
        void ForZone(const std::optional<std::string>& zone, bool header);
        // The table's header line, for a tsv run; written once, before the
        // first entry (nothing for the other forms).
        void Start();
        // The first `count` entries of the batch, then a flush; false when
        // the output has failed.
        bool WriteBatch(const Batch& batch, std::size_t count);
        // Entry i of the batch, without a flush (a comparison picks its
        // entries one by one).
        void WriteEntry(const Batch& batch, std::size_t i);
        // After the last entry of a run that went well: the sink's result
        // (nothing without a sink); false when memory ran out for it.
        bool End();

    private:
        void AppendRow(std::string_view entry);

        OutputWriter& m_output;
        OutputForm m_form;
        bool m_serversAppended;
        const lookalike::Matcher* m_matcher;
        EntrySink* m_sink;
        EntryColumns m_columns;
        std::string m_zone;
        bool m_header = true;
        std::string m_rows;
    };
}
