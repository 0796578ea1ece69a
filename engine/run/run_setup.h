#pragma once

// Loads a run's filters into the engine, in the order job control uses at
// the start of every run.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "extraction/extraction_state.h"

namespace plexor
{
    // The filter values a user sees on first start.
    inline constexpr std::int32_t kDefaultMaxChars = 18;
    inline constexpr std::int32_t kDefaultMinChars = 5;
    inline constexpr std::string_view kDefaultExcludedChars = "xyz-";
    // kDefaultLineLimit: extraction_state.h

    struct RunFilters
    {
        std::int32_t maxChars = kDefaultMaxChars;
        std::int32_t minChars = kDefaultMinChars;
        std::string excludedChars {kDefaultExcludedChars};
        std::string includeWordsText;
        std::string nameServerText;
        std::int32_t appendNameServers = 0;
        std::uint64_t lineLimit = kDefaultLineLimit;
        // The watched terms of a look-alike run; null without terms.
        std::shared_ptr<const lookalike::Matcher> lookalike;
    };

    // The name-server text upper-cased and split at commas through a
    // CSerStringArray: no empty and no repeated entries, blanks kept.
    std::vector<std::string> BuildNameServerList(std::string_view nameServerText);

    // ResetRunState, ApplyFilterSettings, then SetNameServerList with the
    // list built from the name-server text; then the run's line limit and its
    // watched terms: all on the calling thread's current run.
    void PrepareRun(const RunFilters& filters);
}
