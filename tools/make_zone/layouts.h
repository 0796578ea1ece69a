#pragma once

// The zone layouts make_zone writes (--layout NAME). Each is one function in
// a unit of its own that writes the whole zone file of a request; adding a
// layout is a new unit and one line in MAKE_ZONE_LAYOUTS.

#include <cstdint>
#include <string>

namespace make_zone
{
    // What the command line asks of a layout.
    struct ZoneRequest
    {
        std::uint64_t lines = 0;
        std::uint64_t seed = 1;
        bool crlf = false;
        bool unique = false;
        // The share of domains on servers of their own, in percent; -1
        // leaves the layout's own mix (see own_servers.h).
        int ownServersPercent = -1;
        std::string output;
    };

    // Writes the zone of `request` to request.output; returns the program's
    // exit code (0, or 1 after a message on standard error).
    using LayoutWriter = int (*)(const ZoneRequest& request);

    struct Layout
    {
        const char* name;
        LayoutWriter write;
    };

// Every layout: its --layout name and its writer, in the order the usage
// line lists them.
#define MAKE_ZONE_LAYOUTS(LAYOUT)                                                                                     \
    LAYOUT("gtld", WriteGtldZone)                                                                                     \
    LAYOUT("se", WriteSeZone)                                                                                         \
    LAYOUT("czds", WriteCzdsZone)                                                                                     \
    LAYOUT("axfr", WriteAxfrZone)                                                                                     \
    LAYOUT("czds-pull", WriteCzdsPull)

#define MAKE_ZONE_DECLARE_LAYOUT(name, writer) int writer(const ZoneRequest& request);
    MAKE_ZONE_LAYOUTS(MAKE_ZONE_DECLARE_LAYOUT)
#undef MAKE_ZONE_DECLARE_LAYOUT

#define MAKE_ZONE_LAYOUT_ENTRY(name, writer) Layout {name, writer},
    inline constexpr Layout kLayouts[] = {MAKE_ZONE_LAYOUTS(MAKE_ZONE_LAYOUT_ENTRY)};
#undef MAKE_ZONE_LAYOUT_ENTRY
}
