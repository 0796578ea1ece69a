#pragma once

// The summary of a run over many zones: one row per zone file, as a TSV
// file for programs and as an aligned table for a terminal, and the run's
// exit code.

#include <cstdint>
#include <string>
#include <vector>

namespace plexor
{
    enum class ZoneResult
    {
        Ok,
        LineLimit,          // stopped at the line limit
        Failed,             // "failed: REASON"
        NoOlderFile,        // compared, but the older folder has no zone of this origin
        OlderFileFailed,    // "older file failed: REASON"
        OnlyInOlderFolder   // a zone of the older folder that today's zones lack
    };

    struct ZoneRow
    {
        std::string file;   // the path as given or listed, UTF-8
        std::string zone;   // the origin or the key it was paired by
        std::string layout; // "gtld", "se", "master", or empty when unknown
        // Whether the zone was read: rows that were not (only in the older
        // folder, or a zone that could not be opened) leave lines, names
        // and seconds empty.
        bool read = true;
        std::uint64_t lines = 0;
        std::uint64_t names = 0;
        double seconds = 0;
        ZoneResult result = ZoneResult::Ok;
        std::string reason; // for Failed and OlderFileFailed
    };

    // "ok", "line-limit", "failed: REASON", "no older file",
    // "older file failed: REASON", "only in the older folder".
    std::string ResultText(const ZoneRow& row);

    // The TSV form: the header line
    // file<TAB>zone<TAB>layout<TAB>lines<TAB>names<TAB>seconds<TAB>result,
    // then one line per row, LF line ends, UTF-8, seconds with three
    // decimals. A tab, CR, LF or other control byte within a field is
    // written as a blank, so that every row stays one line of seven fields.
    std::string SummaryTsv(const std::vector<ZoneRow>& rows);

    // The terminal form: the same columns aligned (numbers to the right,
    // widths counted in characters), then a totals line:
    // "N zones: L lines, M names, S seconds; F failed, K at the line limit".
    std::string SummaryTable(const std::vector<ZoneRow>& rows);

    // 1 when any zone failed (Failed or OlderFileFailed), else 3 when any
    // stopped at the line limit, else 0. "no older file" and "only in the
    // older folder" are findings, not failures.
    int SummaryExitCode(const std::vector<ZoneRow>& rows);
}
