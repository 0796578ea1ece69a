#include "lookalike/icu_text.h"

#include <stdexcept>

#include <unicode/uidna.h>
#include <unicode/unorm2.h>
#include <unicode/uspoof.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>
#include <unicode/uchar.h>

namespace plexor::lookalike
{
    namespace
    {
        // Calls an ICU function of the usual (dest, capacity, ..., status)
        // shape twice when the first buffer is too small.
        template <typename Char, typename Call>
        std::basic_string<Char> Grow(std::size_t guess, Call call)
        {
            std::basic_string<Char> out(guess + 16, Char{});
            UErrorCode status = U_ZERO_ERROR;
            std::int32_t length = call(out.data(), static_cast<std::int32_t>(out.size()), &status);
            if (status == U_BUFFER_OVERFLOW_ERROR)
            {
                out.assign(static_cast<std::size_t>(length) + 1, Char{});
                status = U_ZERO_ERROR;
                length = call(out.data(), static_cast<std::int32_t>(out.size()), &status);
            }
            if (U_FAILURE(status))
                throw std::runtime_error(std::string("ICU failed: ") + u_errorName(status));
            out.resize(static_cast<std::size_t>(length));
            return out;
        }

        std::u16string ToUtf16(std::string_view utf8)
        {
            return Grow<char16_t>(utf8.size(), [&](char16_t* dest, std::int32_t capacity, UErrorCode* status) {
                std::int32_t length = 0;
                u_strFromUTF8(dest, capacity, &length, utf8.data(), static_cast<std::int32_t>(utf8.size()), status);
                return length;
            });
        }

        std::string ToUtf8(std::u16string_view utf16)
        {
            return Grow<char>(utf16.size() * 3, [&](char* dest, std::int32_t capacity, UErrorCode* status) {
                std::int32_t length = 0;
                u_strToUTF8(dest, capacity, &length, utf16.data(), static_cast<std::int32_t>(utf16.size()), status);
                return length;
            });
        }

        std::u16string ToLower(std::u16string_view text)
        {
            return Grow<char16_t>(text.size(), [&](char16_t* dest, std::int32_t capacity, UErrorCode* status) {
                return u_strToLower(dest, capacity, text.data(), static_cast<std::int32_t>(text.size()), "", status);
            });
        }

        void Check(UErrorCode status, const char* what)
        {
            if (U_FAILURE(status))
                throw std::runtime_error(std::string("Cannot open ICU's ") + what + ": " + u_errorName(status));
        }
    }

    const IcuText& IcuText::Get()
    {
        static const IcuText instance;
        return instance;
    }

    IcuText::IcuText()
    {
        UErrorCode status = U_ZERO_ERROR;
        m_spoof = uspoof_open(&status);
        Check(status, "confusables data");
        m_idna = uidna_openUTS46(UIDNA_CHECK_BIDI | UIDNA_CHECK_CONTEXTJ | UIDNA_NONTRANSITIONAL_TO_ASCII |
                                    UIDNA_NONTRANSITIONAL_TO_UNICODE,
                                &status);
        Check(status, "IDNA data");
        m_nfd = unorm2_getNFDInstance(&status);
        Check(status, "normalisation data");
    }

    IcuText::~IcuText()
    {
        uspoof_close(m_spoof);
        uidna_close(m_idna);
    }

    bool IcuText::DecodeIdnLabel(std::string_view label, std::string& text) const
    {
        if (label.size() > 0x7FFFFFF)
            return false;
        std::string out(label.size() * 4 + 16, '\0');
        UIDNAInfo info = UIDNA_INFO_INITIALIZER;
        UErrorCode status = U_ZERO_ERROR;
        const std::int32_t length =
            uidna_labelToUnicodeUTF8(m_idna, label.data(), static_cast<std::int32_t>(label.size()), out.data(),
                                     static_cast<std::int32_t>(out.size()), &info, &status);
        if (U_FAILURE(status) || info.errors != 0)
            return false;
        out.resize(static_cast<std::size_t>(length));
        text = std::move(out);
        return true;
    }

    Form IcuText::FormOf(std::string_view utf8) const
    {
        if (utf8.empty())
            return {};
        std::string asciiLowered(utf8);
        for (char& c : asciiLowered)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        const std::u16string text = ToUtf16(asciiLowered);
        const std::u16string skeleton =
            Grow<char16_t>(text.size() * 2, [&](char16_t* dest, std::int32_t capacity, UErrorCode* status) {
                return uspoof_getSkeleton(m_spoof, 0, text.data(), static_cast<std::int32_t>(text.size()), dest,
                                          capacity, status);
            });
        const std::u16string lowered = ToLower(skeleton);
        const std::u16string decomposed =
            Grow<char16_t>(lowered.size() * 2, [&](char16_t* dest, std::int32_t capacity, UErrorCode* status) {
                return unorm2_normalize(m_nfd, lowered.data(), static_cast<std::int32_t>(lowered.size()), dest,
                                        capacity, status);
            });
        Form form;
        const auto length = static_cast<std::int32_t>(decomposed.size());
        for (std::int32_t i = 0; i < length;)
        {
            UChar32 c = 0;
            U16_NEXT(decomposed.data(), i, length, c);
            if (u_charType(c) != U_NON_SPACING_MARK)
                form.push_back(static_cast<char32_t>(c));
        }
        return form;
    }

    std::string IcuText::Lower(std::string_view utf8) const
    {
        return ToUtf8(ToLower(ToUtf16(utf8)));
    }
}
