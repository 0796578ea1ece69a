#include "integer_field.h"

#include <limits>

namespace plexor
{
    namespace
    {
        bool IsBlank(char c)
        {
            return c == ' ' || c == '\t';
        }

        bool IsDigit(char c)
        {
            return c >= '0' && c <= '9';
        }
    }

    std::optional<std::int32_t> ParseIntegerField(std::string_view text)
    {
        // Every character that can make a field valid is ASCII, so cutting
        // at a byte count gives the same verdict as cutting at a character
        // count: a multi-byte character anywhere in the cut part is invalid
        // either way.
        text = text.substr(0, kIntegerFieldMaxChars);

        std::size_t pos = 0;
        while (pos < text.size() && IsBlank(text[pos]))
            ++pos;
        const std::size_t start = pos;

        bool negative = false;
        if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        {
            negative = text[pos] == '-';
            ++pos;
        }

        // Accumulate the magnitude, saturating well above the 32-bit range
        // so that any number of digits is safe.
        constexpr std::int64_t kSaturated = std::int64_t {1} << 40;
        std::int64_t magnitude = 0;
        const std::size_t firstDigit = pos;
        while (pos < text.size() && IsDigit(text[pos]))
        {
            if (magnitude < kSaturated)
                magnitude = magnitude * 10 + (text[pos] - '0');
            ++pos;
        }
        if (pos == firstDigit)
            return std::nullopt;

        while (pos < text.size() && IsBlank(text[pos]))
            ++pos;
        if (pos != text.size())
            return std::nullopt;

        if (magnitude == 0 && text[start] != '0')
            return std::nullopt;

        const std::int64_t value = negative ? -magnitude : magnitude;
        if (value > std::numeric_limits<std::int32_t>::max())
            return std::numeric_limits<std::int32_t>::max();
        if (value < std::numeric_limits<std::int32_t>::min())
            return std::numeric_limits<std::int32_t>::min();
        return static_cast<std::int32_t>(value);
    }
}
