#include "lookalike/label_form.h"

#include <stdexcept>

#include "lookalike/terms.h"

namespace plexor::lookalike
{
    bool HasIdnPrefix(std::string_view label)
    {
        return label.size() >= 4 && (label[0] | 0x20) == 'x' && (label[1] | 0x20) == 'n' && label[2] == '-' &&
               label[3] == '-';
    }

    std::string LabelText(const IcuText& icu, std::string_view label)
    {
        std::string text;
        if (HasIdnPrefix(label) && icu.DecodeIdnLabel(label, text))
            return text;
        return std::string(label);
    }

    Form FormOfText(const IcuText& icu, std::string_view text)
    {
        if (IsValidUtf8(text))
            return icu.FormOf(text);
        Form form;
        for (const char byte : text)
        {
            const auto b = static_cast<unsigned char>(byte);
            form.push_back(b >= 0x80 ? kRawByteBase + b : (b >= 'A' && b <= 'Z') ? b - 'A' + 'a' : b);
        }
        return form;
    }

    std::string AsciiLower(std::string_view text)
    {
        std::string out(text);
        for (char& c : out)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        return out;
    }

    std::string LowerText(const IcuText& icu, std::string_view text)
    {
        return IsValidUtf8(text) ? icu.Lower(text) : AsciiLower(text);
    }

    AsciiFormTable::AsciiFormTable(const IcuText& icu)
    {
        for (unsigned c = 0; c < 128; ++c)
        {
            const char byte = static_cast<char>(c);
            const Form form = icu.FormOf(std::string_view(&byte, 1));
            if (form.size() > kMaxPerByte)
                throw std::runtime_error("The form of an ASCII character is longer than the table allows.");
            Entry& entry = m_entries[c];
            entry.length = form.size();
            for (std::size_t i = 0; i < form.size(); ++i)
                entry.chars[i] = form[i];
        }
    }
}
