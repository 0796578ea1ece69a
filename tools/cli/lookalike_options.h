#pragma once

// The watched terms of a command-line run, turned into the run's matcher:
// the terms of --like and of --like-file together, --like-distance and the
// names of --like-except, checked before anything is opened.

#include <memory>
#include <string>

#include "cli/command_line.h"

namespace plexor
{
    struct LookalikeSetup
    {
        // Null without terms, and on error.
        std::shared_ptr<const lookalike::Matcher> matcher;
        // Empty when usable; else one sentence for a usage error.
        std::string error;
    };

    // The matcher of the request (null when it asks for no terms), or the
    // reason it cannot be made: an empty list, a bad term, an unreadable
    // term file, or a build without look-alike matching.
    LookalikeSetup MakeLookalikeMatcher(const LookalikeRequest& request);
}
