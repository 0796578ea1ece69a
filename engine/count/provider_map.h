#pragma once

// A provider map: which name-server hosts belong to one provider, for the
// providers whose servers span several registrable domains. A map file holds
// lines of "host-pattern provider", separated by blanks or tabs; blank lines
// and lines whose first non-blank character is "#" are skipped. Patterns are
// globs over the whole host name (lower case, no final dot): "*" matches any
// run of characters, dots included, "?" any one character, "[abc]", "[a-z]"
// one of a set and "[!abc]" (or "[^abc]") one outside it. Patterns and
// providers are compared and shown in lower case. The first line whose
// pattern matches a host gives its provider.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plexor
{
    // Whether the glob pattern matches the whole text; a malformed pattern
    // (an unclosed "[") matches nothing.
    bool GlobMatches(std::string_view pattern, std::string_view text);

    class ProviderMap final
    {
    public:
        // Reads map text; on a malformed line returns its message, naming
        // the line's number (from 1), and leaves the map empty.
        std::optional<std::string> Parse(std::string_view text);
        // Reads a map file; the message of a failure names the file.
        std::optional<std::string> Load(const std::filesystem::path& file);

        // The provider of the first line whose pattern matches the host, or
        // null.
        const std::string* ProviderOf(std::string_view host) const;

        std::size_t size() const { return m_lines.size(); }

    private:
        struct Line
        {
            std::string pattern;
            std::string provider;
            std::string prefix; // the pattern's characters before its first wildcard
            std::string suffix; // after its last "*", when that part has no "[", for a quick refusal
        };
        std::vector<Line> m_lines;
    };
}
