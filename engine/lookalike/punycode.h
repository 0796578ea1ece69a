#pragma once

// Punycode decoding (RFC 3492), for IDN labels where ICU is not linked.

#include <string>
#include <string_view>

namespace plexor::lookalike
{
    // The code points that the Punycode text (without "xn--") stands for;
    // false when it is not valid Punycode (a non-basic character, a bad
    // digit, an overflow, a code point beyond Unicode or a surrogate).
    bool DecodePunycode(std::string_view text, std::u32string& out);
}
