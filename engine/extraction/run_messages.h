#pragma once

// The texts the engine and its callers show for a run.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "scan/path_text.h"

namespace plexor
{
    // "[%u Lines]  [%u Names]"
    std::string FormatStatusText(std::uint64_t linesRead, std::uint64_t namesExtracted);
    // The system's reason for a failure ("No such file or directory"), or
    // empty when there is none to give.
    std::string SystemReason(const std::error_code& error);
    // "Error: Unable to open '%s'", and the reason on a second line when
    // there is one.
    std::string UnableToOpenMessage(std::string_view path, std::string_view reason = {});
    // "Error: Unable to read '%s'", and the reason on a second line.
    std::string UnableToReadMessage(std::string_view path, std::string_view reason = {});
    // "Error: Unable to write '%s'", and the reason on a second line.
    std::string UnableToWriteMessage(std::string_view path, std::string_view reason = {});
    // Why an output file that is the zone file itself is refused.
    inline constexpr std::string_view kOutputIsZoneFileReason = "The output file is the zone file itself.";
    // After an aborted comparison.
    inline constexpr std::string_view kComparisonAbortedMessage =
        "The comparison was aborted: the output holds only the changes found up to there, not the complete list.";
    // The note after a run that the line limit ended while the zone file
    // had more lines. Callers add where the limit is changed.
    std::string LineLimitMessage(std::uint64_t lineLimit);
}
