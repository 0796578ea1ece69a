#pragma once

// Reading a number field of the main dialog.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace plexor
{
    // Only this many leading characters of a number field are looked at.
    inline constexpr std::size_t kIntegerFieldMaxChars = 31;

    // The integer in the text of a number field (UTF-8), or nothing when the
    // field does not hold one. Of the text only the first
    // kIntegerFieldMaxChars characters count. Valid is: blanks and tabs, an
    // optional sign, one or more decimal digits, then only blanks and tabs.
    // A value of zero counts only when it is written starting with the digit
    // 0, so "-0" and "+0" are refused. A value beyond the signed 32-bit range
    // gives the nearest limit.
    std::optional<std::int32_t> ParseIntegerField(std::string_view text);
}
