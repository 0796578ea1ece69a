#include "count/provider_map.h"

#include <cerrno>
#include <fstream>
#include <system_error>

namespace plexor
{
    namespace
    {
        char LowerAscii(char c)
        {
            return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
        }

        std::string Lower(std::string_view text)
        {
            std::string lower(text);
            for (char& c : lower)
                c = LowerAscii(c);
            return lower;
        }

        // The set "[...]" that starts at pattern[at]: whether c is in it, and
        // where the pattern goes on after it; npos when it is not closed.
        std::size_t MatchSet(std::string_view pattern, std::size_t at, char c, bool& inSet)
        {
            std::size_t i = at + 1;
            const bool negated = i < pattern.size() && (pattern[i] == '!' || pattern[i] == '^');
            if (negated)
                ++i;
            bool found = false;
            // A "]" first in the set is one of its characters.
            for (bool first = true; i < pattern.size(); first = false)
            {
                if (pattern[i] == ']' && !first)
                {
                    inSet = found != negated;
                    return i + 1;
                }
                const auto low = static_cast<unsigned char>(pattern[i]);
                if (i + 2 < pattern.size() && pattern[i + 1] == '-' && pattern[i + 2] != ']')
                {
                    const auto high = static_cast<unsigned char>(pattern[i + 2]);
                    const auto u = static_cast<unsigned char>(c);
                    found = found || (u >= low && u <= high);
                    i += 3;
                }
                else
                {
                    found = found || pattern[i] == c;
                    ++i;
                }
            }
            return std::string_view::npos;
        }

        bool IsWildcard(char c)
        {
            return c == '*' || c == '?' || c == '[';
        }

        // Splits a map line into its two words; false when it has another
        // number of them.
        bool SplitLine(std::string_view line, std::string_view& pattern, std::string_view& provider)
        {
            std::string_view words[3];
            std::size_t count = 0;
            std::size_t i = 0;
            while (count < 3)
            {
                while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
                    ++i;
                if (i == line.size())
                    break;
                const std::size_t start = i;
                while (i < line.size() && line[i] != ' ' && line[i] != '\t')
                    ++i;
                words[count++] = line.substr(start, i - start);
            }
            if (count != 2)
                return false;
            pattern = words[0];
            provider = words[1];
            return true;
        }

        bool SetsClosed(std::string_view pattern)
        {
            for (std::size_t i = 0; i < pattern.size(); ++i)
            {
                if (pattern[i] != '[')
                    continue;
                bool unused = false;
                i = MatchSet(pattern, i, '\0', unused);
                if (i == std::string_view::npos)
                    return false;
                --i;
            }
            return true;
        }
    }

    bool GlobMatches(std::string_view pattern, std::string_view text)
    {
        // Iterative matching with one back-track point: the last "*" seen
        // and the text position it has taken up to.
        std::size_t p = 0, t = 0;
        std::size_t starAt = std::string_view::npos, starText = 0;
        while (t < text.size())
        {
            if (p < pattern.size() && pattern[p] == '*')
            {
                starAt = p++;
                starText = t;
                continue;
            }
            if (p < pattern.size() && pattern[p] != '*')
            {
                bool same = false;
                std::size_t next = p + 1;
                if (pattern[p] == '?')
                    same = true;
                else if (pattern[p] == '[')
                {
                    next = MatchSet(pattern, p, text[t], same);
                    if (next == std::string_view::npos)
                        return false;
                }
                else
                    same = pattern[p] == text[t];
                if (same)
                {
                    p = next;
                    ++t;
                    continue;
                }
            }
            if (starAt == std::string_view::npos)
                return false;
            p = starAt + 1;
            t = ++starText;
        }
        while (p < pattern.size() && pattern[p] == '*')
            ++p;
        return p == pattern.size();
    }

    std::optional<std::string> ProviderMap::Parse(std::string_view text)
    {
        m_lines.clear();
        std::size_t number = 0;
        while (!text.empty())
        {
            ++number;
            const std::size_t end = text.find('\n');
            std::string_view line = text.substr(0, end);
            text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            const std::size_t first = line.find_first_not_of(" \t");
            if (first == std::string_view::npos || line[first] == '#')
                continue;
            std::string_view pattern, provider;
            std::string problem;
            if (!SplitLine(line, pattern, provider))
                problem = "expected a host pattern and a provider";
            else if (!SetsClosed(pattern))
                problem = "a \"[\" in the pattern has no \"]\"";
            if (!problem.empty())
            {
                m_lines.clear();
                return "line " + std::to_string(number) + ": " + problem;
            }
            Line entry {Lower(pattern), Lower(provider), {}, {}};
            std::size_t wildcard = 0;
            while (wildcard < entry.pattern.size() && !IsWildcard(entry.pattern[wildcard]))
                ++wildcard;
            entry.prefix = entry.pattern.substr(0, wildcard);
            const std::size_t star = entry.pattern.rfind('*');
            if (star != std::string::npos && entry.pattern.find('[', star) == std::string::npos)
                entry.suffix = entry.pattern.substr(star + 1);
            m_lines.push_back(std::move(entry));
        }
        return std::nullopt;
    }

    std::optional<std::string> ProviderMap::Load(const std::filesystem::path& file)
    {
        const std::u8string utf8 = file.u8string();
        const std::string name(utf8.begin(), utf8.end());
        m_lines.clear();
        std::error_code error;
        if (std::filesystem::is_directory(file, error))
            return "Unable to read the provider map '" + name + "': it is a folder";
        errno = 0;
        std::ifstream in(file, std::ios::binary);
        if (!in)
        {
            const int reason = errno != 0 ? errno : ENOENT;
            return "Unable to read the provider map '" + name + "': " + std::generic_category().message(reason);
        }
        std::string text;
        char block[1 << 16];
        while (in.read(block, sizeof block) || in.gcount() > 0)
            text.append(block, static_cast<std::size_t>(in.gcount()));
        if (in.bad())
            return "Unable to read the provider map '" + name + "'";
        if (std::optional<std::string> problem = Parse(text))
            return "Provider map '" + name + "', " + *problem;
        return std::nullopt;
    }

    const std::string* ProviderMap::ProviderOf(std::string_view host) const
    {
        for (const Line& line : m_lines)
        {
            if (!host.starts_with(line.prefix))
                continue;
            if (!line.suffix.empty())
            {
                // The part after the last "*" must match the host's end,
                // "?" matching any one character.
                if (line.suffix.size() > host.size())
                    continue;
                const std::string_view end = host.substr(host.size() - line.suffix.size());
                bool same = true;
                for (std::size_t i = 0; i < end.size() && same; ++i)
                    same = line.suffix[i] == '?' || line.suffix[i] == end[i];
                if (!same)
                    continue;
            }
            if (GlobMatches(line.pattern, host))
                return &line.provider;
        }
        return nullptr;
    }
}
