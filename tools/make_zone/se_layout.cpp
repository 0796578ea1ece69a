// The .SE layout of the old registry files: records of three lines (the
// name, a creation date, one name server or address), then empty lines up to
// the count asked for.

#include <iterator>

#include "layouts.h"
#include "names.h"
#include "own_servers.h"
#include "random.h"
#include "writers.h"

namespace make_zone
{
    namespace
    {
        void WriteSe(LineWriter& out, Random& random, LabelSource& labels, OwnServerShare& own, std::uint64_t lines)
        {
            const auto record = [&](const std::string& name, const std::string& detail) {
                out.Line("- Name=" + name);
                out.Line("    Created=20" + std::to_string(10 + random.Below(15)) + "-0" + std::to_string(1 + random.Below(9))
                         + "-1" + std::to_string(random.Below(10)));
                out.Line("    " + detail);
            };
            out.Line("# Synthetic .SE-layout zone made by make_zone");
            record("se", "Name Server=a.ns.se");
            while (out.lines() + 3 <= lines)
            {
                const std::string domain = labels.Next() + ".se";
                const unsigned servers = 2 + random.Below(2);
                const bool ownServers = own.Decide(random.Below(6) == 0);
                const std::string hoster = Lower(std::string(kHosters[random.Below(std::size(kHosters))]));
                for (unsigned i = 1; i <= servers && out.lines() + 3 <= lines; ++i)
                {
                    const std::string server = "ns" + std::to_string(i) + "." + (ownServers ? domain : hoster);
                    record(domain, "Name Server=" + server);
                }
                for (unsigned i = 1; ownServers && i <= servers && out.lines() + 3 <= lines; ++i)
                {
                    record("ns" + std::to_string(i) + "." + domain,
                           "IP Address=192.0." + std::to_string(random.Below(256)) + "." + std::to_string(1 + random.Below(254)));
                }
            }
            while (out.lines() < lines)
                out.Line("");
        }
    }

    int WriteSeZone(const ZoneRequest& request)
    {
        return WriteZoneFile(request.output, [&](std::FILE* file) {
            Random random(request.seed);
            LineWriter writer(file, request.crlf);
            LabelSource labels(random, request.unique);
            OwnServerShare own(request.seed, request.ownServersPercent);
            WriteSe(writer, random, labels, own, request.lines);
        });
    }
}
