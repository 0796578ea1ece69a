#pragma once

#include <cstdint>
#include <string>


namespace make_zone
{
    // Writes to `output` the czds zone `previousDay` as published a day later
    // (see next_day.cpp); a folder of NAME.txt.gz zones gives a folder of
    // their next days. Returns the exit code: 0, or 1 after a message on
    // standard error when either file fails.
    int WriteNextDayZone(const std::string& previousDay, const std::string& output, std::uint64_t seed);
}
