#include "count/count_table.h"

#include <charconv>
#include <cstdio>

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

    void WriteCountTable(const CountTable& table, CountForm form, const std::function<void(std::string_view)>& write)
    {
        static constexpr std::size_t kPieceBytes = 64 * 1024;
        std::string out;
        out.reserve(kPieceBytes + 4096);
        if (form == CountForm::Tsv)
        {
            out += RowKind(table.By());
            out += "\tdomains\tshare\n";
        }
        const std::uint64_t total = table.Figures().domainsCounted;
        // Rows come most domains first: the share changes only now and then.
        std::string share;
        // The names lie in the order they were first seen, not in the
        // table's: each is asked for a few rows ahead.
        constexpr std::size_t kAhead = 16;
        for (std::size_t i = 0; i < table.size(); ++i)
        {
#if defined(__GNUC__) || defined(__clang__)
            if (i + kAhead < table.size())
                __builtin_prefetch(table.Name(i + kAhead).data());
#endif
            if (i == 0 || table.Domains(i) != table.Domains(i - 1))
                share = FormatShare(table.Domains(i), total);
            AppendRow(out, table, i, form, share);
            if (out.size() >= kPieceBytes)
            {
                write(out);
                out.clear();
            }
        }
        if (!out.empty())
            write(out);
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
