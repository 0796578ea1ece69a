// The czds form: a standard master file as ICANN's zone files are written
// (one record a line, one tab between fields, lower case, fully qualified
// names), exactly the number of lines asked for, every domain named once.

#include "czds_form.h"

#include "layouts.h"
#include "names.h"
#include "own_servers.h"
#include "random.h"
#include "writers.h"

namespace make_zone
{
    namespace
    {
        // The SOA and the apex's servers: .com's own, or a registry's
        // a..d.nic.<tld>. for any other top-level domain.
        void WriteCzdsApex(BlockWriter& out, std::string_view tld, const std::function<bool()>& room)
        {
            const bool com = tld == "com";
            out.Put(tld);
            if (com)
                out.Line(".\t900\tin\tsoa\ta.gtld-servers.net. nstld.verisign-grs.com. 1765238400 1800 900 604800 900");
            else
            {
                out.Put(".\t900\tin\tsoa\ta.nic.");
                out.Put(tld);
                out.Put(". hostmaster.nic.");
                out.Put(tld);
                out.Line(". 1765238400 1800 900 604800 900");
            }
            for (char server = 'a'; server <= (com ? 'm' : 'd') && room(); ++server)
            {
                out.Put(tld);
                out.Put(".\t172800\tin\tns\t");
                out.Put(std::string_view(&server, 1));
                if (com)
                    out.Line(".gtld-servers.net.");
                else
                {
                    out.Put(".nic.");
                    out.Put(tld);
                    out.Line(".");
                }
            }
        }
    }

    void WriteCzdsRecords(BlockWriter& out, Random& random, OwnServerShare& own, std::string_view tld, std::uint64_t lines)
    {
        const auto room = [&] { return out.lines() < lines; };
        std::string scratch;
        // ".com." behind a label, and the other zone an out-of-zone
        // server's name ends in.
        const std::string dotted = "." + std::string(tld) + ".";
        const std::string_view elsewhere = tld == "net" ? ".com." : ".net.";

        if (!room())
            return;
        WriteCzdsApex(out, tld, room);
        if (room())
        {
            scratch = std::string(tld) + ".\t86400\tin\tdnskey\t257 3 13 ";
            AppendBase64(scratch, random, 64);
            out.Line(scratch);
        }
        if (room())
        {
            out.Put(tld);
            out.Line(".\t86400\tin\tnsec3param\t1 0 0 -");
        }

        const std::vector<std::string> hosters = LowerCaseHosters();
        UniqueLabels labels(random, lines / 3);
        std::string label;
        while (room())
        {
            labels.Next(label);
            const unsigned servers = ServerCount(random);
            const unsigned kind = random.Below(16);
            const bool glued = own.Decide(kind < 2);
            const bool outOfZone = !glued && kind == 2;
            const std::string_view hoster = hosters[random.Below(static_cast<unsigned>(hosters.size()))];
            for (unsigned i = 1; i <= servers && room(); ++i)
            {
                out.Put(label);
                out.Put(dotted);
                out.Put("\t172800\tin\tns\tns");
                out.PutNumber(i);
                out.Put(".");
                if (glued || outOfZone)
                {
                    out.Put(label);
                    out.Put(glued ? std::string_view(dotted) : elsewhere);
                }
                else
                {
                    out.Put(hoster);
                }
                out.EndLine();
            }
            if (random.Below(10) == 0)
            {
                if (room())
                {
                    scratch = label;
                    scratch += dotted;
                    scratch += "\t86400\tin\tds\t";
                    scratch += std::to_string(random.Below(65536));
                    scratch += " 13 2 ";
                    AppendHex(scratch, random, 64);
                    out.Line(scratch);
                }
                if (room())
                {
                    scratch.clear();
                    AppendBase32Hex(scratch, random, 32);
                    scratch += dotted;
                    scratch += "\t86400\tin\tnsec3\t1 1 0 - ";
                    AppendBase32Hex(scratch, random, 32);
                    scratch += " ns ds rrsig";
                    out.Line(scratch);
                }
            }
            for (unsigned i = 1; glued && i <= servers && room(); ++i)
            {
                out.Put("ns");
                out.PutNumber(i);
                out.Put(".");
                out.Put(label);
                out.Put(dotted);
                out.Put("\t172800\tin\ta\t");
                out.Line(Ipv4(random));
                if (i == 1 && random.Below(3) == 0 && room())
                {
                    out.Put("ns1.");
                    out.Put(label);
                    out.Put(dotted);
                    out.Put("\t172800\tin\taaaa\t2001:db8::");
                    scratch.clear();
                    AppendHex(scratch, random, 4);
                    out.Line(Lower(scratch));
                }
            }
        }
    }

    int WriteCzdsZone(const ZoneRequest& request)
    {
        return WriteZoneFile(request.output, [&](std::FILE* file) {
            Random random(request.seed);
            BlockWriter writer(file, request.crlf);
            OwnServerShare own(request.seed, request.ownServersPercent);
            WriteCzdsRecords(writer, random, own, "com", request.lines);
            writer.Flush();
        });
    }
}
