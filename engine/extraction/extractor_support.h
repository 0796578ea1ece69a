#pragma once

// Small pieces the extractors share: the per-line pause and abort poll.

#include <chrono>
#include <thread>

#include "extraction/extraction_state.h"

namespace plexor
{
    // How long a paused run sleeps between looks at the pause flag: the
    // worker between batches, an extractor before a line.
    inline constexpr unsigned kWorkerPausePollMs = 1000;
    inline constexpr unsigned kExtractorPausePollMs = 100;
}

namespace plexor::detail
{
    // Called before every line: false when the run is to end. While the run
    // is paused it sleeps in short steps without reading.
    inline bool ContinueBeforeLine(const RunState& state)
    {
        if (state.abortRequested.load(std::memory_order_relaxed))
            return false;
        while (state.paused.load(std::memory_order_relaxed))
            std::this_thread::sleep_for(std::chrono::milliseconds(kExtractorPausePollMs));
        return true;
    }
}
