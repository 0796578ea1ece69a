#include "zones/zone_summary.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace plexor
{
    namespace
    {
        constexpr std::size_t kColumns = 7;
        constexpr std::array<const char*, kColumns> kHeader {"file", "zone", "layout", "lines", "names", "seconds",
                                                             "result"};

        std::string Seconds(double seconds)
        {
            // Not through the C locale: a decimal point always.
            char text[64];
            const auto [end, error] = std::to_chars(text, text + sizeof text, seconds, std::chars_format::fixed, 3);
            return error == std::errc() ? std::string(text, end) : std::string("0.000");
        }

        std::string Field(std::string_view text)
        {
            std::string field(text);
            for (char& c : field)
            {
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
                    c = ' ';
            }
            return field;
        }

        std::array<std::string, kColumns> Cells(const ZoneRow& row)
        {
            return {Field(row.file),
                    Field(row.zone),
                    Field(row.layout),
                    row.read ? std::to_string(row.lines) : std::string(),
                    row.read ? std::to_string(row.names) : std::string(),
                    row.read ? Seconds(row.seconds) : std::string(),
                    Field(ResultText(row))};
        }

        // Characters of UTF-8 text: every byte that does not continue one.
        std::size_t Width(std::string_view text)
        {
            return static_cast<std::size_t>(
                std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
        }

        bool IsFailure(ZoneResult result) { return result == ZoneResult::Failed || result == ZoneResult::OlderFileFailed; }
    }

    std::string ResultText(const ZoneRow& row)
    {
        switch (row.result)
        {
        case ZoneResult::Ok:
            return "ok";
        case ZoneResult::LineLimit:
            return "line-limit";
        case ZoneResult::Failed:
            return "failed: " + row.reason;
        case ZoneResult::NoOlderFile:
            return "no older file";
        case ZoneResult::OlderFileFailed:
            return "older file failed: " + row.reason;
        case ZoneResult::OnlyInOlderFolder:
            break;
        }
        return "only in the older folder";
    }

    std::string SummaryTsv(const std::vector<ZoneRow>& rows)
    {
        std::string text;
        const auto line = [&text](const auto& cells) {
            for (std::size_t i = 0; i < kColumns; ++i)
            {
                text += cells[i];
                text += i + 1 < kColumns ? '\t' : '\n';
            }
        };
        line(kHeader);
        for (const ZoneRow& row : rows)
            line(Cells(row));
        return text;
    }

    std::string SummaryTable(const std::vector<ZoneRow>& rows)
    {
        std::vector<std::array<std::string, kColumns>> table;
        table.push_back({});
        std::copy(kHeader.begin(), kHeader.end(), table.back().begin());
        for (const ZoneRow& row : rows)
            table.push_back(Cells(row));
        std::array<std::size_t, kColumns> widths {};
        for (const auto& cells : table)
        {
            for (std::size_t i = 0; i < kColumns; ++i)
                widths[i] = std::max(widths[i], Width(cells[i]));
        }
        std::string text;
        for (const auto& cells : table)
        {
            std::string line;
            for (std::size_t i = 0; i < kColumns; ++i)
            {
                const std::string padding(widths[i] - Width(cells[i]), ' ');
                const bool number = i >= 3 && i <= 5;
                line += number ? padding + cells[i] : cells[i] + (i + 1 < kColumns ? padding : std::string());
                if (i + 1 < kColumns)
                    line += "  ";
            }
            text += line + '\n';
        }
        std::uint64_t lines = 0;
        std::uint64_t names = 0;
        double seconds = 0;
        std::size_t failed = 0;
        std::size_t limited = 0;
        for (const ZoneRow& row : rows)
        {
            lines += row.read ? row.lines : 0;
            names += row.read ? row.names : 0;
            seconds += row.read ? row.seconds : 0;
            failed += IsFailure(row.result) ? 1 : 0;
            limited += row.result == ZoneResult::LineLimit ? 1 : 0;
        }
        text += std::to_string(rows.size()) + " zones: " + std::to_string(lines) + " lines, " + std::to_string(names)
            + " names, " + Seconds(seconds) + " seconds; " + std::to_string(failed) + " failed, "
            + std::to_string(limited) + " at the line limit\n";
        return text;
    }

    int SummaryExitCode(const std::vector<ZoneRow>& rows)
    {
        if (std::any_of(rows.begin(), rows.end(), [](const ZoneRow& row) { return IsFailure(row.result); }))
            return 1;
        if (std::any_of(rows.begin(), rows.end(), [](const ZoneRow& row) { return row.result == ZoneResult::LineLimit; }))
            return 3;
        return 0;
    }
}
