#pragma once

#include <cstddef>
#include <string_view>

#include "extraction/extraction_state.h"

namespace plexor
{
    namespace detail
    {
        // The include-word and excluded-character tests, then the look-alike
        // test of a run with watched terms.
        bool PassesWordAndCharacterTests(const ExtractionSettings& settings, std::string_view name);

        // Length in bytes against both inclusive bounds, as signed numbers.
        inline bool PassesNameLength(const ExtractionSettings& settings, std::size_t size)
        {
            const auto length = static_cast<long long>(size);
            return length <= settings.maxChars && length >= settings.minChars;
        }

        // Whether there are include words, excluded characters or watched
        // terms to test.
        inline bool HasWordOrCharacterTests(const ExtractionSettings& settings)
        {
            return !settings.includeWords.empty() || !settings.excludedChars.empty() || settings.lookalike != nullptr;
        }
    }

    // True when the name passes the length bounds, the include words, the
    // excluded characters and the watched terms of `settings` (the run's),
    // tested in that order. Reads the settings only. Inline for the length
    // test, which is all there is without words, excluded characters and
    // terms.
    inline bool PassesNameFilter(const ExtractionSettings& settings, std::string_view name)
    {
        if (!detail::PassesNameLength(settings, name.size()))
            return false;
        if (!detail::HasWordOrCharacterTests(settings))
            return true;
        return detail::PassesWordAndCharacterTests(settings, name);
    }

    // The same with the calling thread's current run's settings.
    inline bool PassesNameFilter(std::string_view name)
    {
        return PassesNameFilter(CurrentSettings(), name);
    }
}
