#include "run_messages.h"

namespace plexor
{
    std::string PathText(const std::filesystem::path& path)
    {
        const std::u8string text = path.u8string();
        return std::string(text.begin(), text.end());
    }

    std::string FormatStatusText(std::uint64_t linesRead, std::uint64_t namesExtracted)
    {
        return "[" + std::to_string(linesRead) + " Lines]  [" + std::to_string(namesExtracted) + " Names]";
    }

    std::string UnableToOpenMessage(std::string_view path)
    {
        return "Error: Unable to open '" + std::string(path) + "'";
    }

    std::string UnableToReadMessage(std::string_view path)
    {
        return "Error: Unable to read '" + std::string(path) + "'";
    }

    std::string UnableToWriteMessage(std::string_view path)
    {
        return "Error: Unable to write '" + std::string(path) + "'";
    }

    std::string LineLimitMessage(std::uint64_t lineLimit)
    {
        return "The run stopped at the line limit of " + std::to_string(lineLimit)
             + " lines: the output holds the names found up to there. To read the whole zone, raise the limit or "
               "set it to 0 (no limit).";
    }
}
