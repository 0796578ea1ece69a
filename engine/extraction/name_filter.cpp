#include "extraction/name_filter.h"

#include "extraction/extraction_state.h"

#ifdef PLEXOR_HAVE_LOOKALIKE
#include "lookalike/matcher.h"
#endif

namespace plexor
{
    bool detail::PassesWordAndCharacterTests(const ExtractionSettings& settings, std::string_view name)
    {

        if (!settings.includeWords.empty())
        {
            bool found = false;
            for (const std::string& word : settings.includeWords)
            {
                if (name.find(word) != std::string_view::npos)
                {
                    found = true;
                    break;
                }
            }
            if (!found)
                return false;
        }

        if (!settings.excludedChars.empty())
        {
            for (const char c : name)
            {
                if (settings.excludedBytes[static_cast<unsigned char>(c)])
                    return false;
            }
            for (const std::string& sequence : settings.excludedSequences)
            {
                if (name.find(sequence) != std::string_view::npos)
                    return false;
            }
        }

        // Last, as the dearest test: the name resembles a watched term.
#ifdef PLEXOR_HAVE_LOOKALIKE
        if (settings.lookalike != nullptr && !settings.lookalike->MatchName(name))
            return false;
#endif
        return true;
    }
}
