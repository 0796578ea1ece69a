#include "extraction/run_messages.h"

namespace plexor
{
    std::string FormatStatusText(std::uint64_t linesRead, std::uint64_t namesExtracted)
    {
        return "[" + std::to_string(linesRead) + " Lines]  [" + std::to_string(namesExtracted) + " Names]";
    }

    namespace
    {
        std::string FailureMessage(std::string_view verb, std::string_view path, std::string_view reason)
        {
            std::string message = "Error: Unable to " + std::string(verb) + " '" + std::string(path) + "'";
            if (!reason.empty())
                message.append("\n").append(reason);
            return message;
        }
    }

    std::string SystemReason(const std::error_code& error)
    {
        return error ? error.message() : std::string();
    }

    std::string UnableToOpenMessage(std::string_view path, std::string_view reason)
    {
        return FailureMessage("open", path, reason);
    }

    std::string UnableToReadMessage(std::string_view path, std::string_view reason)
    {
        return FailureMessage("read", path, reason);
    }

    std::string UnableToWriteMessage(std::string_view path, std::string_view reason)
    {
        return FailureMessage("write", path, reason);
    }

    std::string LineLimitMessage(std::uint64_t lineLimit)
    {
        return "The run stopped at the line limit of " + std::to_string(lineLimit)
             + " lines: the output holds the names found up to there. To read the whole zone, raise the limit or "
               "set it to 0 (no limit).";
    }
}
