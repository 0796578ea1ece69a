#include "cli/program_arguments.h"

#include <cstdint>

namespace plexor
{
    namespace
    {
        void AppendUtf8(std::string& out, std::uint32_t codePoint)
        {
            if (codePoint < 0x80)
            {
                out += static_cast<char>(codePoint);
            }
            else if (codePoint < 0x800)
            {
                out += static_cast<char>(0xC0 | (codePoint >> 6));
                out += static_cast<char>(0x80 | (codePoint & 0x3F));
            }
            else if (codePoint < 0x10000)
            {
                out += static_cast<char>(0xE0 | (codePoint >> 12));
                out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
                out += static_cast<char>(0x80 | (codePoint & 0x3F));
            }
            else
            {
                out += static_cast<char>(0xF0 | (codePoint >> 18));
                out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
                out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
                out += static_cast<char>(0x80 | (codePoint & 0x3F));
            }
        }

        bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
        bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }
    }

    std::string Utf8FromUtf16(std::u16string_view text)
    {
        constexpr std::uint32_t kReplacement = 0xFFFD;
        std::string out;
        out.reserve(text.size());
        for (std::size_t i = 0; i < text.size(); ++i)
        {
            const char16_t unit = text[i];
            if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1]))
            {
                const std::uint32_t high = unit - 0xD800u;
                const std::uint32_t low = text[++i] - 0xDC00u;
                AppendUtf8(out, 0x10000 + (high << 10) + low);
            }
            else if (IsHighSurrogate(unit) || IsLowSurrogate(unit))
            {
                AppendUtf8(out, kReplacement);
            }
            else
            {
                AppendUtf8(out, unit);
            }
        }
        return out;
    }

    std::filesystem::path PathFromArgument(std::string_view argument)
    {
#ifdef _WIN32
        // A path made from `char` text would read it in the ANSI code page.
        return std::filesystem::path(std::u8string(argument.begin(), argument.end()));
#else
        return std::filesystem::path(argument);
#endif
    }
}
