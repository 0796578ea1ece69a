// IcuText from generated tables, for builds without ICU (Windows): the same
// answers as the ICU steps in icu_text.cpp, from data that the build machine
// took from ICU (tables/make_unicode_tables.cpp). A text's form is the
// concatenation of its code points' forms; lower case adds the final-sigma
// rule; IDN decoding maps the label, decodes Punycode and checks the result
// as ICU's UTS #46 processing does (validity, NFC, hyphens, a leading mark,
// the bidi rule, the joiner contexts).

#include "lookalike/icu_text.h"

#include <algorithm>

#include "lookalike/punycode.h"
#include "lookalike/unicode_tables.h"

namespace plexor::lookalike
{
    namespace
    {
        namespace t = tables;

        // Valid UTF-8 (callers check) to code points.
        std::u32string Decode(std::string_view utf8)
        {
            std::u32string out;
            for (std::size_t i = 0; i < utf8.size();)
            {
                const auto b = static_cast<unsigned char>(utf8[i]);
                const std::size_t n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
                char32_t c = n == 1 ? b : n == 2 ? (b & 0x1Fu) : n == 3 ? (b & 0x0Fu) : (b & 0x07u);
                for (std::size_t k = 1; k < n && i + k < utf8.size(); ++k)
                    c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3Fu);
                out.push_back(c);
                i += n;
            }
            return out;
        }

        void Append(std::string& out, char32_t c)
        {
            if (c < 0x80)
                out += static_cast<char>(c);
            else if (c < 0x800)
                out += {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
            else if (c < 0x10000)
                out += {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
                        static_cast<char>(0x80 | (c & 0x3F))};
            else
                out += {static_cast<char>(0xF0 | (c >> 18)), static_cast<char>(0x80 | ((c >> 12) & 0x3F)),
                        static_cast<char>(0x80 | ((c >> 6) & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
        }

        std::uint32_t Ccc(char32_t c) { return t::CombiningClasses.ValueOf(c); }

        // Final sigma: a capital sigma after a cased letter (case-ignorable
        // characters between) and not before one.
        bool IsFinalSigma(const std::u32string& text, std::size_t at)
        {
            auto skip = [](char32_t c) { return t::CaseIgnorable.ValueOf(c) != 0; };
            bool before = false;
            for (std::size_t i = at; i-- > 0;)
            {
                if (skip(text[i]))
                    continue;
                before = t::Cased.ValueOf(text[i]) != 0;
                break;
            }
            if (!before)
                return false;
            for (std::size_t i = at + 1; i < text.size(); ++i)
            {
                if (skip(text[i]))
                    continue;
                return t::Cased.ValueOf(text[i]) == 0;
            }
            return true;
        }

        // Hangul syllables from their jamo, by the Unicode formula.
        char32_t ComposeHangul(char32_t a, char32_t b)
        {
            constexpr char32_t sBase = 0xAC00, lBase = 0x1100, vBase = 0x1161, tBase = 0x11A7;
            if (a >= lBase && a < lBase + 19 && b >= vBase && b < vBase + 21)
                return sBase + ((a - lBase) * 21 + (b - vBase)) * 28;
            if (a >= sBase && a < sBase + 11172 && (a - sBase) % 28 == 0 && b > tBase && b < tBase + 28)
                return a + (b - tBase);
            return 0;
        }

        bool Composes(char32_t a, char32_t b)
        {
            if (ComposeHangul(a, b) != 0)
                return true;
            for (std::size_t i = 0; i < t::Compositions.count; ++i)
            {
                const std::u32string_view pair = t::Compositions.Text(t::Compositions.rows[i]);
                if (pair[0] == a && pair[1] == b)
                    return true;
            }
            return false;
        }

        // Whether a text of valid code points is in NFC: no character that
        // never is, marks in canonical order, and no unblocked pair that
        // would compose.
        bool IsNfc(const std::u32string& text)
        {
            for (std::size_t i = 0; i < text.size(); ++i)
            {
                const std::uint32_t quick = t::NfcQuickCheck.ValueOf(text[i]);
                if (quick == 1)
                    return false;
                const std::uint32_t ccc = Ccc(text[i]);
                if (i > 0 && ccc != 0 && Ccc(text[i - 1]) > ccc)
                    return false;
                if (quick != 2)
                    continue;
                // The last starter before it, unless something blocks.
                for (std::size_t j = i; j-- > 0;)
                {
                    const std::uint32_t between = Ccc(text[j]);
                    if (between == 0)
                    {
                        if (Composes(text[j], text[i]))
                            return false;
                        break;
                    }
                    if (ccc == 0 || between >= ccc)
                        break;
                }
            }
            return true;
        }

        std::uint32_t BidiOf(char32_t c) { return t::BidiClasses.ValueOf(c) - 1; }
        constexpr std::uint32_t Mask(std::uint32_t bidi) { return 1u << bidi; }

        // The bidi rule on one label: true when it passes or the label has
        // no right-to-left character.
        bool PassesBidiRule(const std::u32string& label)
        {
            if (label.empty())
                return true;
            constexpr std::uint32_t l = Mask(t::BidiL), r = Mask(t::BidiR), al = Mask(t::BidiAL),
                                    en = Mask(t::BidiEN), an = Mask(t::BidiAN), es = Mask(t::BidiES),
                                    cs = Mask(t::BidiCS), et = Mask(t::BidiET), on = Mask(t::BidiON),
                                    bn = Mask(t::BidiBN), nsm = Mask(t::BidiNSM);
            const std::uint32_t first = Mask(BidiOf(label[0]));
            bool ok = (first & ~(l | r | al)) == 0;
            std::size_t end = label.size();
            std::uint32_t last = first;
            while (end > 1)
            {
                const std::uint32_t bidi = BidiOf(label[--end]);
                if (bidi != t::BidiNSM)
                {
                    last = Mask(bidi);
                    break;
                }
            }
            if ((first & l) != 0 ? (last & ~(l | en)) != 0 : (last & ~(r | al | en | an)) != 0)
                ok = false;
            std::uint32_t mask = first | last;
            for (std::size_t i = 1; i < end; ++i)
                mask |= Mask(BidiOf(label[i]));
            if ((first & l) != 0)
            {
                if ((mask & ~(l | en | es | cs | et | on | bn | nsm)) != 0)
                    ok = false;
            }
            else
            {
                if ((mask & ~(r | al | an | en | es | cs | et | on | bn | nsm)) != 0)
                    ok = false;
                if ((mask & (en | an)) == (en | an))
                    ok = false;
            }
            return ok || (mask & (r | al | an)) == 0;
        }

        // Zero-width joiners only after a virama, a non-joiner also between
        // joining letters.
        bool PassesJoinerContexts(const std::u32string& label)
        {
            auto joining = [](char32_t c) { return t::JoiningTypes.ValueOf(c); };
            for (std::size_t i = 0; i < label.size(); ++i)
            {
                if (label[i] != 0x200C && label[i] != 0x200D)
                    continue;
                if (i == 0)
                    return false;
                if (Ccc(label[i - 1]) == 9)
                    continue;
                if (label[i] == 0x200D)
                    return false;
                std::size_t j = i - 1;
                while (joining(label[j]) == t::JoinTransparent)
                {
                    if (j == 0)
                        return false;
                    --j;
                }
                if (joining(label[j]) != t::JoinLeft && joining(label[j]) != t::JoinDual)
                    return false;
                std::size_t k = i + 1;
                while (k < label.size() && joining(label[k]) == t::JoinTransparent)
                    ++k;
                if (k == label.size() || (joining(label[k]) != t::JoinRight && joining(label[k]) != t::JoinDual))
                    return false;
            }
            return true;
        }

        // The checks on a decoded label (hyphens counted in UTF-16 units).
        bool IsValidDecodedLabel(const std::u32string& label)
        {
            if (label.empty())
                return false;
            std::u16string units;
            for (const char32_t c : label)
            {
                if (c == '.' || t::IdnValid.ValueOf(c) == 0)
                    return false;
                if (c >= 0x10000)
                    units += {static_cast<char16_t>(0xD7C0 + (c >> 10)), static_cast<char16_t>(0xDC00 | (c & 0x3FF))};
                else
                    units += static_cast<char16_t>(c);
            }
            if (units.front() == u'-' || units.back() == u'-')
                return false;
            if (units.size() >= 4 && units[2] == u'-' && units[3] == u'-')
                return false;
            if (t::Marks.ValueOf(label[0]) != 0)
                return false;
            return IsNfc(label) && PassesBidiRule(label) && PassesJoinerContexts(label);
        }
    }

    const IcuText& IcuText::Get()
    {
        static const IcuText instance;
        return instance;
    }

    IcuText::IcuText() = default;
    IcuText::~IcuText() = default;

    bool IcuText::DecodeIdnLabel(std::string_view label, std::string& text) const
    {
        // The label mapping: ASCII lower-cased, other characters only where
        // they map to ASCII; anything else cannot be Punycode.
        std::string mapped;
        for (std::size_t i = 0; i < label.size();)
        {
            const auto b = static_cast<unsigned char>(label[i]);
            if (b < 0x80)
            {
                mapped += static_cast<char>(b >= 'A' && b <= 'Z' ? b - 'A' + 'a' : b);
                ++i;
                continue;
            }
            const std::size_t n = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
            const std::string_view sequence = label.substr(i, n);
            const std::u32string c = Decode(sequence);
            std::string check;
            if (b < 0xC2 || b > 0xF4 || sequence.size() != n || c.size() != 1 || (Append(check, c[0]), check != sequence))
                return false;
            const t::MappedChar* row = t::IdnAsciiMappings.Find(c[0]);
            if (row == nullptr)
                return false;
            for (const char32_t m : t::IdnAsciiMappings.Text(*row))
                mapped += static_cast<char>(m);
            i += n;
        }
        if (mapped.size() < 4 || mapped.compare(0, 4, "xn--") != 0)
            return false;
        std::u32string decoded;
        if (!DecodePunycode(std::string_view(mapped).substr(4), decoded) || !IsValidDecodedLabel(decoded))
            return false;
        // Punycode that stands for ASCII only is not an IDN label.
        if (std::all_of(decoded.begin(), decoded.end(), [](char32_t c) { return c < 0x80; }))
            return false;
        text.clear();
        for (const char32_t c : decoded)
            Append(text, c);
        return true;
    }

    Form IcuText::FormOf(std::string_view utf8) const
    {
        Form form;
        for (const char32_t c : Decode(utf8))
        {
            const char32_t lowered = c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
            if (const t::MappedChar* row = t::Forms.Find(lowered))
                form.append(t::Forms.Text(*row));
            else
                form.push_back(lowered);
        }
        return form;
    }

    std::string IcuText::Lower(std::string_view utf8) const
    {
        const std::u32string text = Decode(utf8);
        std::string out;
        for (std::size_t i = 0; i < text.size(); ++i)
        {
            if (text[i] == 0x03A3 && IsFinalSigma(text, i))
                Append(out, 0x03C2);
            else if (const t::MappedChar* row = t::LowerCase.Find(text[i]))
                for (const char32_t c : t::LowerCase.Text(*row))
                    Append(out, c);
            else
                Append(out, text[i]);
        }
        return out;
    }
}
