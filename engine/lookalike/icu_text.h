#pragma once

// The Unicode steps of the look-alike rules, done by ICU: decoding an IDN
// label (UTS #46, nontransitional), the form of a text (UTS #39 skeleton,
// full lower case, NFD without non-spacing marks) and full lower case. The
// ICU objects are opened once and only read afterwards, so one IcuText may
// be used from any number of threads at once.

#include <string>
#include <string_view>

struct USpoofChecker;
struct UIDNA;
struct UNormalizer2;

namespace plexor::lookalike
{
    // A form: the characters that distances are counted in.
    using Form = std::u32string;

    class IcuText
    {
    public:
        // The one instance; throws std::runtime_error when ICU's data
        // cannot be opened.
        static const IcuText& Get();

        ~IcuText();
        IcuText(const IcuText&) = delete;
        IcuText& operator=(const IcuText&) = delete;

        // The Unicode text of an "xn--" label, as uidna_labelToUnicode gives
        // it. False when ICU reports any error for the label.
        bool DecodeIdnLabel(std::string_view label, std::string& text) const;

        // The form of valid UTF-8 text: ASCII letters lower-cased, the
        // skeleton, full lower case (root locale), NFD, then every
        // character of general category Mn removed.
        Form FormOf(std::string_view utf8) const;

        // Full lower case of valid UTF-8 text in the root locale.
        std::string Lower(std::string_view utf8) const;

    private:
        IcuText();

        USpoofChecker* m_spoof = nullptr;
        UIDNA* m_idna = nullptr;
        const UNormalizer2* m_nfd = nullptr;
    };
}
