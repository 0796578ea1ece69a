#pragma once

// A name's label as the look-alike rules see it. The label is the text
// before the first dot; an "xn--" label (in any case) that ICU decodes is
// replaced by its Unicode text, any other label stays as it is. Its form is
// IcuText::FormOf of that text when the text is valid UTF-8; otherwise each
// byte is one character: ASCII bytes lower-cased, every other byte b the
// character kRawByteBase + b, outside Unicode, so that it equals only the
// same byte.
//
// AsciiFormTable is the fast path for labels of ASCII bytes, which are
// nearly all labels of a zone: the form of such a label is the forms of its
// bytes one after the other, so a table of 128 entries, each taken from ICU
// once, gives it without calling ICU per label.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "lookalike/icu_text.h"

namespace plexor::lookalike
{
    inline constexpr char32_t kRawByteBase = 0x110000;

    // Whether the label begins with "xn--" in any case.
    bool HasIdnPrefix(std::string_view label);

    // The label's text: decoded when it is an IDN label that decodes.
    std::string LabelText(const IcuText& icu, std::string_view label);

    // The form of a label's text (after decoding), as described above.
    Form FormOfText(const IcuText& icu, std::string_view text);

    // The text lower-cased for telling "exact" from "homoglyph": full lower
    // case when valid UTF-8, ASCII letters only otherwise.
    std::string LowerText(const IcuText& icu, std::string_view text);

    // ASCII letters lower-cased, other bytes as they are.
    std::string AsciiLower(std::string_view text);

    class AsciiFormTable
    {
    public:
        // The most characters the form of one ASCII byte has.
        static constexpr std::size_t kMaxPerByte = 4;

        explicit AsciiFormTable(const IcuText& icu);

        // Appends the form of ASCII byte c (below 0x80) at out; returns the
        // number of characters written (0 to kMaxPerByte).
        std::size_t Append(unsigned char c, char32_t* out) const
        {
            const Entry& entry = m_entries[c];
            for (std::size_t i = 0; i < kMaxPerByte; ++i)
                out[i] = entry.chars[i];
            return entry.length;
        }

    private:
        struct Entry
        {
            std::array<char32_t, kMaxPerByte> chars{};
            std::size_t length = 0;
        };
        std::array<Entry, 128> m_entries{};
    };
}
