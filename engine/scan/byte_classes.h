#pragma once

// The byte classes of zone-file text, one byte at a time: the definitions
// every faster search in the engine must agree with.

namespace plexor::scan
{
    // Bytes that separate fields. A CR that is not part of a line end
    // separates too: it cannot be part of a name.
    constexpr bool IsSeparator(char c)
    {
        return c == ' ' || c == '\t' || c == '\r';
    }

    // Bytes with a meaning beyond the plain fields of one line of a master
    // file: parentheses, quote, escape and comment.
    constexpr bool IsSpecial(char c)
    {
        return c == '(' || c == ')' || c == '"' || c == '\\' || c == ';';
    }

    constexpr bool IsDigit(char c)
    {
        return c >= '0' && c <= '9';
    }

    constexpr bool IsUpperAscii(char c)
    {
        return c >= 'A' && c <= 'Z';
    }

    constexpr char LowerAscii(char c)
    {
        return IsUpperAscii(c) ? static_cast<char>(c - 'A' + 'a') : c;
    }
}
