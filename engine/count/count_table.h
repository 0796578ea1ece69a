#pragma once

// The table of a count: one row per name server or provider with the number
// of domains that use it, most domains first, ties by name (bytewise), and
// the concentration figures beside it. Made by ServerTally::Finish
// (server_tally.h); written in one of three forms:
//
//   list   cloudflare.com 1234567 13.90%       one row a line
//   tsv    a header line "provider<TAB>domains<TAB>share" (or "server..."),
//          then the rows; the share is a bare number ("13.90") so that a
//          spreadsheet or DuckDB takes it as one. A name holding a tab, a
//          line end or a double quote goes in double quotes, its quotes
//          doubled, as CSV readers expect.
//   jsonl  {"provider":"cloudflare.com","domains":1234567,"share":13.90}
//
// The share is the row's domains as a percentage of the domains counted,
// rounded half up to two decimals. A domain with servers of several
// providers counts once for each, so the shares may add up to more than 100.
// Every line ends with LF.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "count/name_arena.h"

namespace plexor
{
    enum class CountBy
    {
        Server,
        Provider
    };

    enum class CountForm
    {
        List,
        Tsv,
        Jsonl
    };

    struct CountFigures
    {
        std::uint64_t domainsCounted = 0;
        // Domains with at least one server, all of one provider.
        std::uint64_t singleProviderDomains = 0;
        // The smallest number of top rows whose domain counts add up to at
        // least 50 % (90 %) of the domains counted; none when no domain was
        // counted or all rows together fall short (domains without servers).
        std::optional<std::uint64_t> rowsFor50Percent;
        std::optional<std::uint64_t> rowsFor90Percent;
    };

    class CountTable final
    {
    public:
        struct Row
        {
            NameArena::Ref name;
            std::uint64_t domains;
        };
        // The rows in memory from std::malloc or large_pages::Allocate,
        // given back with std::free: the tally's finish writes them over
        // its sort keys, in the same memory.
        struct FreeRows
        {
            void operator()(Row* rows) const { std::free(rows); }
        };
        using Rows = std::unique_ptr<Row[], FreeRows>;

        CountTable() = default;
        CountTable(CountBy by, NameArena names, Rows rows, std::size_t rowCount, CountFigures figures)
            : m_by(by)
            , m_names(std::move(names))
            , m_rows(std::move(rows))
            , m_rowCount(rowCount)
            , m_figures(figures)
        {
        }

        CountBy By() const { return m_by; }
        std::size_t size() const { return m_rowCount; }
        std::string_view Name(std::size_t i) const { return m_names.Get(m_rows[i].name); }
        std::uint64_t Domains(std::size_t i) const { return m_rows[i].domains; }
        const CountFigures& Figures() const { return m_figures; }

    private:
        CountBy m_by = CountBy::Server;
        NameArena m_names;
        Rows m_rows;
        std::size_t m_rowCount = 0;
        CountFigures m_figures;
    };

    // "13.90": the share of `domains` in `total`, in percent, two decimals,
    // rounded half up; "0.00" when total is 0.
    std::string FormatShare(std::uint64_t domains, std::uint64_t total);

    // Writes the table in the form, in pieces of up to about 64 KiB.
    void WriteCountTable(const CountTable& table, CountForm form, const std::function<void(std::string_view)>& write);
    // The whole table as one string (tests, small tables).
    std::string FormatCountTable(const CountTable& table, CountForm form);

    // The concentration figures as lines of text, without line ends:
    //   Domains counted: 1000
    //   Domains on one provider: 870 (87.00%)
    //   Providers covering 50% of domains: 3
    //   Providers covering 90% of domains: 41
    // ("Servers covering ..." in a count by server; "not reached" when the
    // rows fall short).
    std::vector<std::string> FormatCountFigures(const CountTable& table);
}
