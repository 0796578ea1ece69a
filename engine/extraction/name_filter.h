#pragma once

#include <cstddef>
#include <string_view>

#include "extraction/extraction_state.h"

namespace plexor
{
    namespace detail
    {
        // The include-word and excluded-character tests.
        bool PassesWordAndCharacterTests(std::string_view name);

        // Length in bytes against both inclusive bounds, as signed numbers.
        inline bool PassesNameLength(std::size_t size)
        {
            const ExtractionSettings& settings = g_extractionSettings;
            const auto length = static_cast<long long>(size);
            return length <= settings.maxChars && length >= settings.minChars;
        }

        // Whether there are include words or excluded characters to test.
        inline bool HasWordOrCharacterTests()
        {
            const ExtractionSettings& settings = g_extractionSettings;
            return !settings.includeWords.empty() || !settings.excludedChars.empty();
        }
    }

    // True when the name passes the length bounds, the include words and the
    // excluded characters of the current ExtractionSettings, tested in that
    // order. Reads the settings only. Inline for the length test, which is
    // all there is without words and excluded characters.
    inline bool PassesNameFilter(std::string_view name)
    {
        if (!detail::PassesNameLength(name.size()))
            return false;
        if (!detail::HasWordOrCharacterTests())
            return true;
        return detail::PassesWordAndCharacterTests(name);
    }
}
