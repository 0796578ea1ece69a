#include "extraction/ser_string_array.h"

namespace plexor
{
    namespace
    {
        bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b)
        {
            if (a.size() != b.size())
                return false;
            for (std::size_t i = 0; i < a.size(); ++i)
            {
                char x = a[i];
                char y = b[i];
                if (x >= 'a' && x <= 'z')
                    x = static_cast<char>(x - 'a' + 'A');
                if (y >= 'a' && y <= 'z')
                    y = static_cast<char>(y - 'a' + 'A');
                if (x != y)
                    return false;
            }
            return true;
        }
    }

    bool CSerStringArray::AddString(std::string_view text)
    {
        if (uniqueOnly && FindString(text) >= 0)
            return false;
        m_entries.emplace_back(text);
        return true;
    }

    std::int32_t CSerStringArray::FindString(std::string_view text) const
    {
        for (std::size_t i = 0; i < m_entries.size(); ++i)
        {
            const bool equal = compareMode == kCompareIgnoreCase ? EqualIgnoringAsciiCase(m_entries[i], text)
                             : compareMode == kCompareExact      ? m_entries[i] == text
                                                                 : false;
            if (equal)
                return static_cast<std::int32_t>(i);
        }
        return -1;
    }

    std::int32_t CSerStringArray::LoadDelimited(std::string_view text, std::string_view delimiters)
    {
        m_entries.clear();
        while (!text.empty())
        {
            const std::size_t p = text.find_first_of(delimiters);
            if (p == std::string_view::npos)
            {
                AddString(text);
                break;
            }
            if (p > 0)
                AddString(text.substr(0, p));
            text.remove_prefix(p + 1);
        }
        return Count();
    }
}
