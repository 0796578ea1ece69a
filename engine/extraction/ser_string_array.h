#pragma once

// The program's string list: a growable array of strings that can refuse
// repeats and compares either ignoring ASCII case or byte for byte. Job
// control uses it to split the name-server text into a list.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plexor
{
    class CSerStringArray final
    {
    public:
        static constexpr std::uint8_t kCompareIgnoreCase = 0;
        static constexpr std::uint8_t kCompareExact = 1;

        // Appends the text unless uniqueOnly is set and FindString finds it.
        bool AddString(std::string_view text);
        // Index of the first entry equal to the text under compareMode, or -1.
        std::int32_t FindString(std::string_view text) const;
        // Empties the list, then adds the non-empty pieces of the text between
        // any of the delimiter characters (through AddString). Returns the
        // number of entries afterwards.
        std::int32_t LoadDelimited(std::string_view text, std::string_view delimiters);

        const std::vector<std::string>& Entries() const { return m_entries; }
        std::int32_t Count() const { return static_cast<std::int32_t>(m_entries.size()); }

        std::int32_t currentIndex = -1;
        bool uniqueOnly = true;
        std::uint8_t compareMode = kCompareIgnoreCase;
        bool loadedFromStorage = false;

    private:
        std::vector<std::string> m_entries;
    };
}
