// The .COM layout of the old registry files: one NS or A record a line, in
// upper case, names relative to COM., a domain's own servers followed by
// their glue.

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
        void WriteGtld(LineWriter& out, Random& random, LabelSource& labels, OwnServerShare& own, std::uint64_t lines)
        {
            out.Line("; Synthetic .COM-layout zone made by make_zone");
            out.Line("$ORIGIN COM.");
            out.Line("$TTL 172800");
            for (char server = 'A'; server <= 'D'; ++server)
                out.Line(std::string("COM. NS ") + server + ".GTLD-SERVERS.NET.");
            while (out.lines() < lines)
            {
                const std::string domain = Upper(labels.Next());
                const unsigned servers = 2 + random.Below(3);
                const bool ownServers = own.Decide(random.Below(6) == 0);
                const std::string hoster(kHosters[random.Below(std::size(kHosters))]);
                for (unsigned i = 1; i <= servers && out.lines() < lines; ++i)
                {
                    if (ownServers)
                        out.Line(domain + " NS NS" + std::to_string(i) + "." + domain);
                    else
                        out.Line(domain + " NS NS" + std::to_string(i) + "." + hoster + ".");
                }
                for (unsigned i = 1; ownServers && i <= servers && out.lines() < lines; ++i)
                {
                    out.Line("NS" + std::to_string(i) + "." + domain + " A 192.0." + std::to_string(random.Below(256))
                             + "." + std::to_string(1 + random.Below(254)));
                }
                if (random.Below(500) == 0 && out.lines() < lines)
                    out.Line("; comment between delegations");
            }
        }
    }

    int WriteGtldZone(const ZoneRequest& request)
    {
        return WriteZoneFile(request.output, [&](std::FILE* file) {
            Random random(request.seed);
            LineWriter writer(file, request.crlf);
            LabelSource labels(random, request.unique);
            OwnServerShare own(request.seed, request.ownServersPercent);
            WriteGtld(writer, random, labels, own, request.lines);
        });
    }
}
