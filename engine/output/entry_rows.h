#pragma once

// The forms a run's output can take. `list` is the plain list, one entry a
// line, with the run's line end. The two table forms give each entry's parts
// their own columns, so that the output loads as it is into a spreadsheet,
// DuckDB, ClickHouse or jq:
//   tsv    a header line, then one row per entry, fields separated by tabs;
//          a backslash, tab, CR or LF inside a field is written \\, \t, \r
//          or \n, so that every row is one line;
//   jsonl  one JSON object per line with the same fields; `servers` is an
//          array of strings, an empty `unicode`, `term` or `kind` is null.
//          Bytes that are not UTF-8 are written as \u00XX (their Latin-1
//          reading), so every line is valid JSON.
// Both table forms end every line with LF alone.
//
// The columns, in order: name, servers (the entry's name servers, comma-
// separated, in append mode; empty otherwise), unicode (the name with its
// IDN labels decoded, empty when none decodes), and where the run has them:
// term, kind, distance (look-alike runs), zone (runs over several zones).

#include <optional>
#include <string>
#include <string_view>

namespace plexor
{
    enum class OutputForm
    {
        List,
        Tsv,
        Jsonl
    };

    // "list", "tsv" or "jsonl"; nothing for any other text.
    std::optional<OutputForm> ParseOutputForm(std::string_view text);
    const char* OutputFormName(OutputForm form);

    // The optional columns of a table.
    struct EntryColumns
    {
        bool lookalike = false; // term, kind, distance
        bool zone = false;
    };

    // One entry's fields, as written.
    struct EntryFields
    {
        std::string_view name;
        std::string_view servers; // comma-separated
        std::string_view unicode;
        std::string_view term;
        std::string_view kind;
        int distance = 0;
        std::string_view zone;
    };

    // Appends the header line of a tsv table (nothing for the other forms).
    void AppendTableHeader(OutputForm form, const EntryColumns& columns, std::string& out);
    // Appends one entry's row, its line end included (tsv and jsonl only).
    void AppendEntryRow(OutputForm form, const EntryColumns& columns, const EntryFields& fields, std::string& out);

    // A field written for a tsv table: \\, \t, \r and \n for the bytes that
    // would break the row.
    void AppendTsvField(std::string_view text, std::string& out);
    // A JSON string literal, quotes included.
    void AppendJsonString(std::string_view text, std::string& out);
}
