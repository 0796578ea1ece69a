#pragma once

#include <string_view>

namespace plexor
{
    // True when the name passes the length bounds, the include words and the
    // excluded characters of the current ExtractionSettings, tested in that
    // order. Reads the settings only.
    bool PassesNameFilter(std::string_view name);
}
