#pragma once

// The watched terms of a look-alike search as the user writes them: a
// comma-separated list, or a file with one term per line, and the names that
// are never reported. Parsing only: each term is trimmed and checked, and a
// term written as a domain name stands for its first label.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace plexor::lookalike
{
    // The longest term label accepted, in code points (a DNS label's limit).
    inline constexpr std::size_t kMaxTermCodePoints = 63;

    struct TermList
    {
        // The terms' first labels, in the order given; empty on error.
        std::vector<std::string> terms;
        // Empty on success, else one sentence naming the bad term or line.
        std::string error;
    };

    // "paypal, micr0soft,münchen.de": the terms between the commas.
    TermList ParseTermList(std::string_view text);

    // The text of a term file: one term per line; blank lines and lines
    // beginning with '#' are skipped. Line ends may be LF or CR LF.
    TermList ParseTermLines(std::string_view text);

    // Reads and parses a term file; the error names the file and the
    // system's reason when it cannot be read.
    TermList ReadTermFile(const std::filesystem::path& path);

    // The names never reported: comma-separated labels ("paypal") or whole
    // names ("paypal.com"), empty entries skipped. Not validated: an entry
    // that matches no name does no harm.
    std::vector<std::string> ParseExceptionList(std::string_view text);

    // The text up to the first dot ("paypal.com" -> "paypal").
    std::string_view FirstLabel(std::string_view name);

    // Whether the bytes are well-formed UTF-8 (no overlong forms, no
    // surrogates, nothing above U+10FFFF).
    bool IsValidUtf8(std::string_view text);
}
