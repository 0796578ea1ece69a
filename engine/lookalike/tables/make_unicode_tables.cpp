// Writes the Unicode data that the table-driven look-alike text steps use
// where ICU is not linked (the Windows build): per code point its form and
// its full lower case when they are not the code point itself, the case
// properties of the final-sigma rule, and what IDN label decoding checks
// (validity, the ASCII mappings of input characters, canonical combining
// classes, NFC quick-check and composition pairs, marks, bidi classes,
// joining types). Built and run on the build machine, against ICU.
//
// Usage: make_unicode_tables <output.cpp>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include <unicode/uchar.h>
#include <unicode/uidna.h>
#include <unicode/unorm2.h>
#include <unicode/utf16.h>

#include "lookalike/icu_text.h"
#include "lookalike/unicode_tables.h"

namespace
{
    using plexor::lookalike::IcuText;

    constexpr char32_t kLast = 0x10FFFF;

    namespace t = plexor::lookalike::tables;
    static_assert(unsigned(t::BidiL) == unsigned(U_LEFT_TO_RIGHT) && unsigned(t::BidiR) == unsigned(U_RIGHT_TO_LEFT) && unsigned(t::BidiEN) == unsigned(U_EUROPEAN_NUMBER) &&
                  unsigned(t::BidiES) == unsigned(U_EUROPEAN_NUMBER_SEPARATOR) && unsigned(t::BidiET) == unsigned(U_EUROPEAN_NUMBER_TERMINATOR) &&
                  unsigned(t::BidiAN) == unsigned(U_ARABIC_NUMBER) && unsigned(t::BidiCS) == unsigned(U_COMMON_NUMBER_SEPARATOR) &&
                  unsigned(t::BidiON) == unsigned(U_OTHER_NEUTRAL) && unsigned(t::BidiAL) == unsigned(U_RIGHT_TO_LEFT_ARABIC) &&
                  unsigned(t::BidiNSM) == unsigned(U_DIR_NON_SPACING_MARK) && unsigned(t::BidiBN) == unsigned(U_BOUNDARY_NEUTRAL));
    static_assert(unsigned(t::JoinNone) == unsigned(U_JT_NON_JOINING) && unsigned(t::JoinCausing) == unsigned(U_JT_JOIN_CAUSING) &&
                  unsigned(t::JoinDual) == unsigned(U_JT_DUAL_JOINING) && unsigned(t::JoinLeft) == unsigned(U_JT_LEFT_JOINING) &&
                  unsigned(t::JoinRight) == unsigned(U_JT_RIGHT_JOINING) && unsigned(t::JoinTransparent) == unsigned(U_JT_TRANSPARENT));

    bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

    std::string Utf8(char32_t c)
    {
        std::string out;
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
        return out;
    }

    std::u32string FromUtf8(const std::string& s)
    {
        std::u32string out;
        for (std::size_t i = 0; i < s.size();)
        {
            const auto b = static_cast<unsigned char>(s[i]);
            const int n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
            char32_t c = n == 1 ? b : n == 2 ? (b & 0x1F) : n == 3 ? (b & 0x0F) : (b & 0x07);
            for (int k = 1; k < n; ++k)
                c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
            out += c;
            i += n;
        }
        return out;
    }

    std::u32string FromUtf16(const UChar* s, std::int32_t length)
    {
        std::u32string out;
        for (std::int32_t i = 0; i < length;)
        {
            UChar32 c = 0;
            U16_NEXT(s, i, length, c);
            out += static_cast<char32_t>(c);
        }
        return out;
    }

    // A mapping table: sorted code points with their texts in one pool.
    class MappingWriter
    {
    public:
        explicit MappingWriter(std::string name) : m_name(std::move(name)) {}

        void Add(char32_t c, const std::u32string& text)
        {
            m_rows += "    {0x" + Hex(c) + ", " + std::to_string(m_pool.size()) + ", " + std::to_string(text.size()) +
                      "},\n";
            m_count++;
            m_pool += text;
        }

        void Write(std::ostream& out) const
        {
            out << "const char32_t k" << m_name << "Pool[] = {";
            for (std::size_t i = 0; i < m_pool.size(); ++i)
                out << (i % 12 == 0 ? "\n    " : " ") << "0x" << Hex(m_pool[i]) << ",";
            out << "\n    0};\n";
            out << "const MappedChar k" << m_name << "[] = {\n" << m_rows << "};\n";
            out << "const UnicodeTable<MappedChar> " << m_name << "{k" << m_name << ", " << m_count << ", k" << m_name
                << "Pool};\n\n";
        }

        static std::string Hex(char32_t c)
        {
            char buffer[16];
            std::snprintf(buffer, sizeof buffer, "%X", static_cast<unsigned>(c));
            return buffer;
        }

    private:
        std::string m_name;
        std::string m_rows;
        std::size_t m_count = 0;
        std::u32string m_pool;
    };

    // Ranges of code points with one value each (value 0 is left out).
    template <typename Value>
    void WriteRanges(std::ostream& out, const std::string& name, Value value)
    {
        std::string rows;
        std::size_t count = 0;
        char32_t first = 0;
        unsigned current = value(0);
        auto flush = [&](char32_t last) {
            if (current != 0)
            {
                rows += "    {0x" + MappingWriter::Hex(first) + ", 0x" + MappingWriter::Hex(last) + ", " +
                        std::to_string(current) + "},\n";
                count++;
            }
        };
        for (char32_t c = 1; c <= kLast; ++c)
        {
            const unsigned v = value(c);
            if (v != current)
            {
                flush(c - 1);
                first = c;
                current = v;
            }
        }
        flush(kLast);
        out << "const CharRange k" << name << "[] = {\n" << rows << "};\n";
        out << "const UnicodeTable<CharRange> " << name << "{k" << name << ", " << count << ", nullptr};\n\n";
    }

    constexpr std::uint32_t kContextErrors = UIDNA_ERROR_LEADING_HYPHEN | UIDNA_ERROR_TRAILING_HYPHEN |
                                             UIDNA_ERROR_LEADING_COMBINING_MARK | UIDNA_ERROR_BIDI |
                                             UIDNA_ERROR_CONTEXTJ | UIDNA_ERROR_CONTEXTO_PUNCTUATION |
                                             UIDNA_ERROR_CONTEXTO_DIGITS;

    void Fail(const char* what, UErrorCode status)
    {
        if (U_FAILURE(status))
        {
            std::cerr << "ICU failed (" << what << "): " << u_errorName(status) << "\n";
            std::exit(1);
        }
    }
}

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::cerr << "usage: make_unicode_tables <output.cpp>\n";
        return 2;
    }
    const IcuText& icu = IcuText::Get();
    UErrorCode status = U_ZERO_ERROR;
    UIDNA* idna = uidna_openUTS46(UIDNA_CHECK_BIDI | UIDNA_CHECK_CONTEXTJ | UIDNA_NONTRANSITIONAL_TO_ASCII |
                                      UIDNA_NONTRANSITIONAL_TO_UNICODE,
                                  &status);
    Fail("IDNA", status);
    const UNormalizer2* uts46 = unorm2_getInstance(nullptr, "uts46", UNORM2_COMPOSE, &status);
    Fail("uts46", status);
    const UNormalizer2* nfc = unorm2_getNFCInstance(&status);
    Fail("NFC", status);

    MappingWriter forms("Forms"), lower("LowerCase"), asciiMap("IdnAsciiMappings"), pairs("Compositions");
    std::vector<bool> idnValid(kLast + 1, false);
    for (char32_t c = 0; c <= kLast; ++c)
    {
        if (IsSurrogate(c))
            continue;
        const std::string text = Utf8(c);
        const std::u32string form = plexor::lookalike::Form(icu.FormOf(text));
        if (form != std::u32string(1, c))
            forms.Add(c, form);
        const std::u32string lowered = FromUtf8(icu.Lower(text));
        if (lowered != std::u32string(1, c))
            lower.Add(c, lowered);

        // Valid in a decoded label: ICU keeps it as it is and reports no
        // error beyond those that depend on its neighbours.
        std::string decoded(64, '\0');
        UIDNAInfo info = UIDNA_INFO_INITIALIZER;
        status = U_ZERO_ERROR;
        const std::int32_t length = uidna_labelToUnicodeUTF8(idna, text.data(), static_cast<std::int32_t>(text.size()),
                                                             decoded.data(), 64, &info, &status);
        decoded.resize(U_SUCCESS(status) ? static_cast<std::size_t>(length) : 0);
        idnValid[c] = U_SUCCESS(status) && decoded == text && (info.errors & ~kContextErrors) == 0;

        // Input characters that the label mapping turns into ASCII (or
        // removes): only those can stand in an "xn--" label that decodes.
        if (c >= 0x80)
        {
            UChar source[2];
            std::int32_t sourceLength = 0;
            U16_APPEND_UNSAFE(source, sourceLength, static_cast<UChar32>(c));
            UChar mapped[32];
            status = U_ZERO_ERROR;
            const std::int32_t mappedLength = unorm2_normalize(uts46, source, sourceLength, mapped, 32, &status);
            if (U_SUCCESS(status))
            {
                const std::u32string m = FromUtf16(mapped, mappedLength);
                bool ascii = true;
                for (const char32_t x : m)
                    ascii = ascii && x < 0x80;
                if (ascii)
                    asciiMap.Add(c, m);
            }
        }

        // Canonical pairs that compose (Hangul syllables are composed by
        // their formula).
        if (!(c >= 0xAC00 && c <= 0xD7A3))
        {
            UChar raw[8];
            status = U_ZERO_ERROR;
            const std::int32_t rawLength = unorm2_getRawDecomposition(nfc, static_cast<UChar32>(c), raw, 8, &status);
            if (U_SUCCESS(status) && rawLength > 0)
            {
                const std::u32string parts = FromUtf16(raw, rawLength);
                if (parts.size() == 2 &&
                    unorm2_composePair(nfc, static_cast<UChar32>(parts[0]), static_cast<UChar32>(parts[1])) ==
                        static_cast<UChar32>(c))
                    pairs.Add(c, parts);
            }
        }
    }

    std::ofstream out(argv[1], std::ios::binary);
    out << "// Generated by make_unicode_tables from ICU " << U_ICU_VERSION << "; do not edit.\n\n"
        << "#include \"lookalike/unicode_tables.h\"\n\n"
        << "namespace plexor::lookalike::tables\n{\n";
    forms.Write(out);
    lower.Write(out);
    asciiMap.Write(out);
    pairs.Write(out);
    WriteRanges(out, "Cased", [](char32_t c) { return unsigned(u_hasBinaryProperty(c, UCHAR_CASED) ? 1 : 0); });
    WriteRanges(out, "CaseIgnorable",
                [](char32_t c) { return unsigned(u_hasBinaryProperty(c, UCHAR_CASE_IGNORABLE) ? 1 : 0); });
    WriteRanges(out, "IdnValid", [&](char32_t c) { return unsigned(idnValid[c] ? 1 : 0); });
    WriteRanges(out, "CombiningClasses", [](char32_t c) { return unsigned(u_getCombiningClass(c)); });
    // Stored plus one, so that the common value (yes) is the one left out.
    WriteRanges(out, "NfcQuickCheck", [](char32_t c) {
        const auto qc = u_getIntPropertyValue(c, UCHAR_NFC_QUICK_CHECK);
        return unsigned(qc == UNORM_YES ? 0 : qc == UNORM_NO ? 1 : 2);
    });
    WriteRanges(out, "Marks", [](char32_t c) { return unsigned((U_GET_GC_MASK(c) & U_GC_M_MASK) != 0 ? 1 : 0); });
    // Stored plus one: left-to-right is a class too.
    WriteRanges(out, "BidiClasses", [](char32_t c) { return unsigned(u_charDirection(c)) + 1; });
    WriteRanges(out, "JoiningTypes", [](char32_t c) {
        return unsigned(u_getIntPropertyValue(c, UCHAR_JOINING_TYPE));
    });
    out << "}\n";
    uidna_close(idna);
    return out ? 0 : 1;
}
