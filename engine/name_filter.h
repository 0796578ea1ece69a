#pragma once

#include <string_view>

#include "extraction_state.h"

namespace plexor
{
    namespace detail
    {
        // The include-word and excluded-character tests.
        bool PassesWordAndCharacterTests(std::string_view name);
    }

    // True when the name passes the length bounds, the include words and the
    // excluded characters of the current ExtractionSettings, tested in that
    // order. Reads the settings only. Inline for the length test, which is
    // all there is without words and excluded characters.
    inline bool PassesNameFilter(std::string_view name)
    {
        const ExtractionSettings& settings = g_extractionSettings;

        // Length in bytes against both inclusive bounds, as signed numbers.
        const auto length = static_cast<long long>(name.size());
        if (length > settings.maxChars || length < settings.minChars)
            return false;
        if (settings.includeWords.empty() && settings.excludedChars.empty())
            return true;
        return detail::PassesWordAndCharacterTests(name);
    }
}
