#include "lookalike/unicode_name.h"

#include "lookalike/icu_text.h"
#include "lookalike/label_form.h"

namespace plexor::lookalike
{
    std::string UnicodeName(std::string_view name)
    {
        const IcuText& icu = IcuText::Get();
        std::string out;
        std::string text;
        bool decodedAny = false;
        while (true)
        {
            const std::size_t dot = name.find('.');
            const std::string_view label = name.substr(0, dot);
            if (HasIdnPrefix(label) && icu.DecodeIdnLabel(label, text))
            {
                out += text;
                decodedAny = true;
            }
            else
                out += label;
            if (dot == std::string_view::npos)
                break;
            out += '.';
            name.remove_prefix(dot + 1);
        }
        return decodedAny ? out : std::string();
    }
}
