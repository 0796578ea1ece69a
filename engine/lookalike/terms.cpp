#include "lookalike/terms.h"

#include <cerrno>
#include <cstring>
#include <cstdint>
#include <cstdio>

#ifndef PLEXOR_UNICODE_TABLES
#include <unicode/utf8.h>
#endif

namespace plexor::lookalike
{
    namespace
    {
        bool IsSpace(char c)
        {
            return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
        }

        std::string_view Trim(std::string_view text)
        {
            while (!text.empty() && IsSpace(text.front()))
                text.remove_prefix(1);
            while (!text.empty() && IsSpace(text.back()))
                text.remove_suffix(1);
            return text;
        }

        std::size_t CodePoints(std::string_view utf8)
        {
            std::size_t count = 0;
            for (const char c : utf8)
                count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
            return count;
        }

        // Checks one trimmed, non-empty term and adds its first label;
        // `where` names it in a message ("Term \"x\"" or "Line 3").
        bool AddTerm(std::string_view term, const std::string& where, TermList& list)
        {
            if (!IsValidUtf8(term))
            {
                list.error = where + " is not valid UTF-8 text.";
                return false;
            }
            const std::string_view label = FirstLabel(term);
            if (label.empty())
            {
                list.error = where + " has an empty first label.";
                return false;
            }
            if (CodePoints(label) > kMaxTermCodePoints)
            {
                list.error = where + " is longer than " + std::to_string(kMaxTermCodePoints) + " characters.";
                return false;
            }
            list.terms.emplace_back(label);
            return true;
        }

        TermList Failed(TermList list)
        {
            list.terms.clear();
            return list;
        }
    }

#ifdef PLEXOR_UNICODE_TABLES
    // Without ICU: well-formed UTF-8 as Unicode defines it (no overlong
    // forms, no surrogates, nothing beyond U+10FFFF), what U8_NEXT accepts.
    bool IsValidUtf8(std::string_view text)
    {
        for (std::size_t i = 0; i < text.size();)
        {
            const auto b = static_cast<unsigned char>(text[i]);
            if (b < 0x80)
            {
                ++i;
                continue;
            }
            const std::size_t n = b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
            if (n == 0 || i + n > text.size())
                return false;
            const auto second = static_cast<unsigned char>(text[i + 1]);
            const unsigned char low = b == 0xE0 ? 0xA0 : b == 0xF0 ? 0x90 : 0x80;
            const unsigned char high = b == 0xED ? 0x9F : b == 0xF4 ? 0x8F : 0xBF;
            if (second < low || second > high)
                return false;
            for (std::size_t k = 2; k < n; ++k)
                if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                    return false;
            i += n;
        }
        return true;
    }
#else
    bool IsValidUtf8(std::string_view text)
    {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
        const auto length = static_cast<std::int32_t>(text.size());
        if (text.size() > 0x7FFFFFFF)
            return false;
        for (std::int32_t i = 0; i < length;)
        {
            UChar32 c = 0;
            U8_NEXT(bytes, i, length, c);
            if (c < 0)
                return false;
        }
        return true;
    }
#endif

    std::string_view FirstLabel(std::string_view name)
    {
        return name.substr(0, name.find('.'));
    }

    TermList ParseTermList(std::string_view text)
    {
        TermList list;
        while (true)
        {
            const std::size_t comma = text.find(',');
            const std::string_view term = Trim(text.substr(0, comma));
            if (!term.empty() && !AddTerm(term, "The term \"" + std::string(term) + "\"", list))
                return Failed(std::move(list));
            if (comma == std::string_view::npos)
                break;
            text.remove_prefix(comma + 1);
        }
        if (list.terms.empty())
            list.error = "The list of look-alike terms is empty.";
        return list;
    }

    TermList ParseTermLines(std::string_view text)
    {
        TermList list;
        for (std::size_t lineNumber = 1; !text.empty(); ++lineNumber)
        {
            const std::size_t end = text.find('\n');
            const std::string_view term = Trim(text.substr(0, end));
            text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
            if (term.empty() || term.front() == '#')
                continue;
            if (!AddTerm(term, "Line " + std::to_string(lineNumber) + " of the term file", list))
                return Failed(std::move(list));
        }
        if (list.terms.empty())
            list.error = "The term file holds no look-alike terms.";
        return list;
    }

    TermList ReadTermFile(const std::filesystem::path& path)
    {
        const auto u8 = path.u8string();
        const std::string shown(u8.begin(), u8.end());
        errno = 0;
#ifdef _WIN32
        std::FILE* file = _wfopen(path.c_str(), L"rb");
#else
        std::FILE* file = std::fopen(path.c_str(), "rb");
#endif
        std::string text;
        int reason = errno;
        if (file != nullptr)
        {
            char buffer[65536];
            std::size_t got = 0;
            while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
                text.append(buffer, got);
            reason = std::ferror(file) ? (errno != 0 ? errno : EIO) : 0;
            std::fclose(file);
        }
        if (file == nullptr || reason != 0)
        {
            TermList list;
            list.error = "Cannot read the term file \"" + shown + "\": " +
                         (reason != 0 ? std::strerror(reason) : "unknown error") + ".";
            return list;
        }
        return ParseTermLines(text);
    }

    std::vector<std::string> ParseExceptionList(std::string_view text)
    {
        std::vector<std::string> names;
        while (true)
        {
            const std::size_t comma = text.find(',');
            const std::string_view name = Trim(text.substr(0, comma));
            if (!name.empty())
                names.emplace_back(name);
            if (comma == std::string_view::npos)
                break;
            text.remove_prefix(comma + 1);
        }
        return names;
    }
}
