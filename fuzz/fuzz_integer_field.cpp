// Fuzz target: the parser of the dialog's number fields against a reference
// model written the plain way: cut the text after 31 characters, drop the
// blanks and tabs around it, then demand an optional sign and digits only.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "integer_field.h"

namespace
{
    // The first `count` characters of UTF-8 text: a character starts at
    // every byte that is not a continuation byte (10xxxxxx).
    std::string_view FirstCharacters(std::string_view text, std::size_t count)
    {
        std::size_t characters = 0;
        for (std::size_t i = 0; i < text.size(); ++i)
        {
            const auto byte = static_cast<unsigned char>(text[i]);
            if ((byte & 0xC0) != 0x80)
            {
                if (characters == count)
                    return text.substr(0, i);
                ++characters;
            }
        }
        return text;
    }

    std::optional<std::int32_t> ReferenceParse(std::string_view text)
    {
        text = FirstCharacters(text, plexor::kIntegerFieldMaxChars);
        const std::size_t first = text.find_first_not_of(" \t");
        if (first == std::string_view::npos)
            return std::nullopt;
        const std::size_t last = text.find_last_not_of(" \t");
        std::string_view body = text.substr(first, last - first + 1);

        bool negative = false;
        bool signed_ = false;
        if (body.front() == '+' || body.front() == '-')
        {
            negative = body.front() == '-';
            signed_ = true;
            body.remove_prefix(1);
        }
        if (body.empty() || body.find_first_not_of("0123456789") != std::string_view::npos)
            return std::nullopt;

        // The value, from the significant digits only.
        const std::size_t significant = body.find_first_not_of('0');
        const std::string_view digits =
            significant == std::string_view::npos ? std::string_view() : body.substr(significant);
        if (digits.empty())
        {
            // Zero counts only when written without a sign.
            if (signed_)
                return std::nullopt;
            return 0;
        }
        constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
        constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
        if (digits.size() > 10)
            return negative ? kMin : kMax;
        const long long magnitude = std::stoll(std::string(digits));
        const long long value = negative ? -magnitude : magnitude;
        if (value > kMax)
            return kMax;
        if (value < kMin)
            return kMin;
        return static_cast<std::int32_t>(value);
    }

    // The text as a number field holds it: well-formed UTF-8. A byte that
    // does not begin a well-formed sequence becomes U+FFFD, as when Qt
    // decodes it.
    std::string WellFormedUtf8(std::string_view bytes)
    {
        std::string text;
        for (std::size_t i = 0; i < bytes.size();)
        {
            const auto lead = static_cast<unsigned char>(bytes[i]);
            std::size_t length = 0;
            if (lead < 0x80)
                length = 1;
            else if (lead >= 0xC2 && lead <= 0xDF)
                length = 2;
            else if (lead >= 0xE0 && lead <= 0xEF)
                length = 3;
            else if (lead >= 0xF0 && lead <= 0xF4)
                length = 4;
            bool wellFormed = length > 0 && i + length <= bytes.size();
            for (std::size_t k = 1; wellFormed && k < length; ++k)
                wellFormed = (static_cast<unsigned char>(bytes[i + k]) & 0xC0) == 0x80;
            if (wellFormed)
            {
                text.append(bytes.substr(i, length));
                i += length;
            }
            else
            {
                text.append("\xEF\xBF\xBD");
                ++i;
            }
        }
        return text;
    }
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Any bytes must be safe to parse; the verdict is checked on the text a
    // field can really hold.
    (void)plexor::ParseIntegerField(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::string field = WellFormedUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::string_view text = field;
    const std::optional<std::int32_t> parsed = plexor::ParseIntegerField(text);
    const std::optional<std::int32_t> expected = ReferenceParse(text);
    if (parsed != expected)
    {
        std::fprintf(stderr, "text '%.*s': parsed %s%d, expected %s%d\n", static_cast<int>(text.size()), text.data(),
                     parsed ? "" : "nothing/", parsed.value_or(0), expected ? "" : "nothing/",
                     expected.value_or(0));
    }
    PLEXOR_FUZZ_CHECK(parsed == expected);
    return 0;
}
