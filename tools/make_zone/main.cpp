// make_zone: writes a synthetic zone file, the same bytes for the same
// arguments on every machine. Used by the benchmarks and to make the sample
// zones.
//
//   make_zone --layout gtld|se|czds|axfr|czds-pull --lines N [--seed S] [--crlf] [--unique]
//             [--own-servers PERCENT] OUTPUT
//   make_zone --next-day-of ZONE_OR_FOLDER [--seed S] OUTPUT
//
// gtld and se are the two line layouts of the old registry files. czds and
// axfr are standard master files: czds as ICANN's zone files are written (one
// record a line, one tab between fields, lower case, fully qualified names);
// axfr as `dig AXFR` writes a zone transfer, with a hand-maintained part
// ($ORIGIN, relative names, continued owners, records over several lines).
// Each layout is a unit of its own, listed in layouts.h.
//
// The czds form has exactly N lines; the axfr form ends within a few lines of
// N (its fixed parts take about 110 lines).
//
// --unique gives every domain one block of lines, as in a published zone;
// without it a short random name may come up again later in the file. The
// czds and axfr forms always name every domain once (up to 67 million
// domains), whatever --unique says.
//
// --own-servers PERCENT puts that share of the domains on name servers of
// their own (ns1.<domain>, ns2.<domain>, ..., with their glue where the
// layout writes glue); without it each layout keeps its mix and its bytes
// (own_servers.h).
//
// czds-pull writes a folder OUTPUT like a pull of ICANN's zone data service:
// 521 gzip-compressed czds-form zones of their own origins, the largest of
// N lines (czds_pull.cpp).
//
// --next-day-of writes the czds zone ZONE as the registry might publish it a
// day later (next_day.cpp); given a czds-pull folder, it writes a folder.

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "layouts.h"
#include "next_day.h"

namespace
{
    using make_zone::kLayouts;
    using make_zone::Layout;

    const Layout* FindLayout(std::string_view name)
    {
        for (const Layout& layout : kLayouts)
        {
            if (name == layout.name)
                return &layout;
        }
        return nullptr;
    }

    int Usage()
    {
        std::string names;
        for (const Layout& layout : kLayouts)
        {
            if (!names.empty())
                names += '|';
            names += layout.name;
        }
        std::fprintf(stderr,
                     "usage: make_zone --layout %s --lines N [--seed S] [--crlf] [--unique]\n"
                     "                 [--own-servers PERCENT] OUTPUT\n"
                     "       make_zone --next-day-of ZONE_OR_FOLDER [--seed S] OUTPUT\n",
                     names.c_str());
        return 2;
    }

    struct Arguments
    {
        std::string layout;
        make_zone::ZoneRequest request;
        std::string previousDay;
    };

    // False when an argument is unknown, a number is not one, or an option
    // lacks its value.
    bool ParseArguments(int argc, char** argv, Arguments& arguments)
    {
        make_zone::ZoneRequest& request = arguments.request;
        for (int i = 1; i < argc; ++i)
        {
            const std::string_view arg = argv[i];
            const auto number = [&](std::uint64_t& target) {
                if (i + 1 >= argc)
                    return false;
                const std::string_view text = argv[++i];
                return std::from_chars(text.data(), text.data() + text.size(), target).ec == std::errc();
            };
            if (arg == "--layout" && i + 1 < argc)
                arguments.layout = argv[++i];
            else if (arg == "--lines")
            {
                if (!number(request.lines))
                    return false;
            }
            else if (arg == "--seed")
            {
                if (!number(request.seed))
                    return false;
            }
            else if (arg == "--own-servers")
            {
                std::uint64_t percent = 0;
                if (!number(percent) || percent > 100)
                    return false;
                request.ownServersPercent = static_cast<int>(percent);
            }
            else if (arg == "--crlf")
                request.crlf = true;
            else if (arg == "--unique")
                request.unique = true;
            else if (arg == "--next-day-of" && i + 1 < argc)
                arguments.previousDay = argv[++i];
            else if (!arg.starts_with("--") && request.output.empty())
                request.output = arg;
            else
                return false;
        }
        return true;
    }
}

int main(int argc, char** argv)
{
    Arguments arguments;
    if (!ParseArguments(argc, argv, arguments))
        return Usage();
    const make_zone::ZoneRequest& request = arguments.request;
    if (!arguments.previousDay.empty() && !request.output.empty())
        return make_zone::WriteNextDayZone(arguments.previousDay, request.output, request.seed);
    const Layout* layout = FindLayout(arguments.layout);
    if (layout == nullptr || request.output.empty())
        return Usage();
    return layout->write(request);
}
