#pragma once

// The records of a czds-form zone, for the single file of --layout czds and
// for every zone of a CZDS-like folder (czds_pull.cpp).

#include <cstdint>
#include <string_view>

#include "own_servers.h"
#include "random.h"
#include "writers.h"

namespace make_zone
{
    // Exactly `lines` lines of the zone of top-level domain `tld` (without
    // dots: "com"), every domain named once.
    void WriteCzdsRecords(BlockWriter& out, Random& random, OwnServerShare& own, std::string_view tld, std::uint64_t lines);
}
