#include "count/count_table.h"

#include <algorithm>
#include <charconv>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <exception>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "scan/prefetch.h"

namespace plexor
{
    namespace
    {
        const char* RowKind(CountBy by)
        {
            return by == CountBy::Provider ? "provider" : "server";
        }

        void AppendNumber(std::string& out, std::uint64_t value)
        {
            char digits[24];
            const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
            out.append(digits, end);
        }

        bool NeedsQuotes(std::string_view name)
        {
            return name.find_first_of("\t\r\n\"") != std::string_view::npos;
        }

        void AppendTsvName(std::string& out, std::string_view name)
        {
            if (!NeedsQuotes(name))
            {
                out += name;
                return;
            }
            out += '"';
            for (const char c : name)
            {
                if (c == '"')
                    out += '"';
                out += c;
            }
            out += '"';
        }

        // Length of the valid UTF-8 sequence at text[i], or 0.
        std::size_t Utf8SequenceAt(std::string_view text, std::size_t i)
        {
            const auto lead = static_cast<unsigned char>(text[i]);
            const std::size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
            if (length == 0 || lead >= 0xF5 || i + length > text.size())
                return 0;
            for (std::size_t k = 1; k < length; ++k)
            {
                if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                    return 0;
            }
            const auto second = static_cast<unsigned char>(text[i + 1]);
            if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) || (lead == 0xF0 && second < 0x90)
                || (lead == 0xF4 && second >= 0x90))
                return 0; // overlong, a surrogate, or past U+10FFFF
            return length;
        }

        // A JSON string. Valid UTF-8 goes in as it is; a byte that is not
        // part of it is written as the character of that number (\u00XX,
        // as if the name were Latin-1), so every name gives valid JSON.
        void AppendJsonName(std::string& out, std::string_view name)
        {
            out += '"';
            for (std::size_t i = 0; i < name.size();)
            {
                const auto c = static_cast<unsigned char>(name[i]);
                if (c >= 0x80)
                {
                    const std::size_t length = Utf8SequenceAt(name, i);
                    if (length != 0)
                    {
                        out.append(name.substr(i, length));
                        i += length;
                        continue;
                    }
                }
                if (c == '"' || c == '\\')
                {
                    out += '\\';
                    out += static_cast<char>(c);
                }
                else if (c < 0x20 || c >= 0x7F)
                {
                    char escape[8];
                    std::snprintf(escape, sizeof escape, "\\u%04x", c);
                    out += escape;
                }
                else
                    out += static_cast<char>(c);
                ++i;
            }
            out += '"';
        }

        void AppendRow(std::string& out, const CountTable& table, std::size_t i, CountForm form, std::string_view share)
        {
            switch (form)
            {
            case CountForm::List:
                out += table.Name(i);
                out += ' ';
                AppendNumber(out, table.Domains(i));
                out += ' ';
                out += share;
                out += "%\n";
                break;
            case CountForm::Tsv:
                AppendTsvName(out, table.Name(i));
                out += '\t';
                AppendNumber(out, table.Domains(i));
                out += '\t';
                out += share;
                out += '\n';
                break;
            case CountForm::Jsonl:
                out += "{\"";
                out += RowKind(table.By());
                out += "\":";
                AppendJsonName(out, table.Name(i));
                out += ",\"domains\":";
                AppendNumber(out, table.Domains(i));
                out += ",\"share\":";
                out += share;
                out += "}\n";
                break;
            }
        }

        std::string Covering(const std::optional<std::uint64_t>& rows)
        {
            return rows ? std::to_string(*rows) : std::string("not reached");
        }
    }

    std::string FormatShare(std::uint64_t domains, std::uint64_t total)
    {
        if (total == 0)
            return "0.00";
        // Hundredths of a percent, rounded half up, in integers: no
        // floating-point rounding at the half. Exact while total stays
        // below 2^64 / 20000 (about 9e14 domains).
        const std::uint64_t whole = domains / total;
        const std::uint64_t rest = domains % total;
        const std::uint64_t hundredths = whole * 10000 + (rest * 20000 + total) / (2 * total);
        std::string text;
        AppendNumber(text, hundredths / 100);
        text += '.';
        text += static_cast<char>('0' + hundredths % 100 / 10);
        text += static_cast<char>('0' + hundredths % 10);
        return text;
    }

    namespace
    {
        // Rows [first, last) appended to `out` in the form.
        void AppendRows(std::string& out, const CountTable& table, std::size_t first, std::size_t last, CountForm form)
        {
            const std::uint64_t total = table.Figures().domainsCounted;
            // Rows come most domains first: the share changes only now and then.
            std::string share;
            // The names lie in the order they were first seen, not in the
            // table's: each is asked for a few rows ahead.
            constexpr std::size_t kAhead = 16;
            for (std::size_t i = first; i < last; ++i)
            {
                if (i + kAhead < last)
                    scan::Prefetch(table.Name(i + kAhead).data());
                if (i == first || table.Domains(i) != table.Domains(i - 1))
                    share = FormatShare(table.Domains(i), total);
                AppendRow(out, table, i, form, share);
            }
        }

        // The rows in pieces of kPieceRows, the odd ones made on a second
        // thread while this one makes the even ones and writes them all in
        // their order. At most kWaiting pieces wait to be written, so the
        // text of a table of millions of rows is never held whole.
        class TwoThreadRows final
        {
        public:
            static constexpr std::size_t kPieceRows = 2048;

            TwoThreadRows(const CountTable& table, CountForm form)
                : m_table(table)
                , m_form(form)
                , m_pieces((table.size() + kPieceRows - 1) / kPieceRows)
            {
            }

            ~TwoThreadRows()
            {
                {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    m_stopping = true;
                }
                m_changed.notify_all();
                if (m_thread.joinable())
                    m_thread.join();
            }

            TwoThreadRows(const TwoThreadRows&) = delete;
            TwoThreadRows& operator=(const TwoThreadRows&) = delete;

            // False when no second thread could be had: nothing written.
            bool Write(const std::function<void(std::string_view)>& write)
            {
                try
                {
                    m_thread = std::thread(&TwoThreadRows::MakeOddPieces, this);
                }
                catch (const std::system_error&)
                {
                    return false;
                }
                std::string own;
                for (std::size_t piece = 0; piece < m_pieces; ++piece)
                {
                    if (piece % 2 == 0)
                    {
                        own.clear();
                        AppendRows(own, m_table, First(piece), Last(piece), m_form);
                        write(own);
                        continue;
                    }
                    Piece made;
                    {
                        std::unique_lock<std::mutex> lock(m_mutex);
                        m_changed.wait(lock, [this] { return !m_made.empty(); });
                        made = std::move(m_made.front());
                        m_made.pop_front();
                    }
                    m_changed.notify_all();
                    // The second thread's failure (out of memory) is this
                    // call's: no row may go missing from a table said to
                    // be written.
                    if (made.failure)
                        std::rethrow_exception(made.failure);
                    write(made.text);
                }
                return true;
            }

        private:
            static constexpr std::size_t kWaiting = 4;

            std::size_t First(std::size_t piece) const { return piece * kPieceRows; }
            std::size_t Last(std::size_t piece) const { return std::min(m_table.size(), (piece + 1) * kPieceRows); }

            void MakeOddPieces()
            {
                for (std::size_t piece = 1; piece < m_pieces; piece += 2)
                {
                    std::string made;
                    std::exception_ptr failure;
                    try
                    {
                        AppendRows(made, m_table, First(piece), Last(piece), m_form);
                    }
                    catch (...)
                    {
                        failure = std::current_exception();
                    }
                    std::unique_lock<std::mutex> lock(m_mutex);
                    m_changed.wait(lock, [this] { return m_stopping || m_made.size() < kWaiting; });
                    if (m_stopping)
                        return;
                    m_made.push_back({std::move(made), failure});
                    lock.unlock();
                    m_changed.notify_all();
                    if (failure)
                        return;
                }
            }

            const CountTable& m_table;
            const CountForm m_form;
            const std::size_t m_pieces;
            std::mutex m_mutex;
            std::condition_variable m_changed;
            struct Piece
            {
                std::string text;
                std::exception_ptr failure;
            };
            std::deque<Piece> m_made; // odd pieces made, in order
            bool m_stopping = false;
            std::thread m_thread;
        };
    }

    void WriteCountTable(const CountTable& table, CountForm form, const std::function<void(std::string_view)>& write)
    {
        if (form == CountForm::Tsv)
            write(std::string(RowKind(table.By())) + "\tdomains\tshare\n");
        // A large table is made on two threads: its reading is over, both
        // cores are free, and making the rows takes longer than writing them.
        constexpr std::size_t kTwoThreadsFrom = 16 * TwoThreadRows::kPieceRows;
        if (table.size() >= kTwoThreadsFrom && TwoThreadRows(table, form).Write(write))
            return;
        static constexpr std::size_t kPieceRows = TwoThreadRows::kPieceRows;
        std::string out;
        for (std::size_t first = 0; first < table.size(); first += kPieceRows)
        {
            out.clear();
            AppendRows(out, table, first, std::min(table.size(), first + kPieceRows), form);
            write(out);
        }
    }

    std::string FormatCountTable(const CountTable& table, CountForm form)
    {
        std::string all;
        WriteCountTable(table, form, [&all](std::string_view piece) { all += piece; });
        return all;
    }

    std::vector<std::string> FormatCountFigures(const CountTable& table)
    {
        const CountFigures& figures = table.Figures();
        const std::string rows = table.By() == CountBy::Provider ? "Providers" : "Servers";
        return {
            "Domains counted: " + std::to_string(figures.domainsCounted),
            "Domains on one provider: " + std::to_string(figures.singleProviderDomains) + " ("
                + FormatShare(figures.singleProviderDomains, figures.domainsCounted) + "%)",
            rows + " covering 50% of domains: " + Covering(figures.rowsFor50Percent),
            rows + " covering 90% of domains: " + Covering(figures.rowsFor90Percent),
        };
    }
}
