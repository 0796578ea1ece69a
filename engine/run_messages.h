#pragma once

// The texts the engine and its callers show for a run.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace plexor
{
    // A path as UTF-8 text, for messages.
    std::string PathText(const std::filesystem::path& path);
    // "[%u Lines]  [%u Names]"
    std::string FormatStatusText(std::uint64_t linesRead, std::uint64_t namesExtracted);
    // "Error: Unable to open '%s'"
    std::string UnableToOpenMessage(std::string_view path);
    // "Error: Unable to read '%s'"
    std::string UnableToReadMessage(std::string_view path);
    // "Error: Unable to write '%s'"
    std::string UnableToWriteMessage(std::string_view path);
    // The note after a run that the line limit ended while the zone file
    // had more lines. Callers add where the limit is changed.
    std::string LineLimitMessage(std::uint64_t lineLimit);
}
